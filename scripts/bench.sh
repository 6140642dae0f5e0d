#!/usr/bin/env bash
# Installs what is missing, builds, and runs the benchmarks against an X server of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ make cmake qt6-base-dev libqt6gui6 libx11-dev fonts-dejavu-extra \
  libgtest-dev libbenchmark-dev xvfb
cmake -S . -B build -DBLINKOLUX_TESTS=ON -DBLINKOLUX_BENCH=ON >/dev/null
cmake --build build --target tick_bench -j"$(nproc)"
source scripts/xvfb.sh
build/bench/tick_bench "$@"
