#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. The tests that need an X server get one
# of their own, started here and stopped at the end, so the desktop's lamps are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ make cmake qt6-base-dev libqt6gui6 libx11-dev fonts-dejavu-extra \
  libgtest-dev libbenchmark-dev xvfb x11-xkb-utils x11-xserver-utils xdotool

cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"

source scripts/xvfb.sh

ctest --test-dir build --output-on-failure -j"$(nproc)"
