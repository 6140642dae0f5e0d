#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs the benchmarks on an X server of their own: the cost
# of one running-light tick, the real program against a plain reference (about 4 minutes; the
# table also goes to build/bench/program_bench.json), and the Windows clock under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ make cmake qt6-base-dev libqt6gui6 libx11-dev libxi-dev libxrandr-dev \
  libsystemd-dev pkgconf fonts-dejavu-extra \
  libgtest-dev libbenchmark-dev xvfb xdotool mingw-w64 wine wine64
cmake -S . -B build -DBLINKOLUX_TESTS=ON -DBLINKOLUX_BENCH=ON >/dev/null
cmake --build build --target tick_bench program_bench -j"$(nproc)"
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DBLINKOLUX_BENCH=ON \
  >/dev/null
cmake --build build-windows --target windows_clock_bench -j"$(nproc)"
source scripts/xvfb.sh

echo "== One running-light tick"
build/bench/tick_bench
echo "== Blinkolux against the reference"
build/bench/program_bench build/blinkolux build/bench/reference_blinker \
  build/bench/program_bench.json 2>/dev/null
echo "== The Windows clock, under Wine"
(
  source scripts/wine.sh null
  wine build-windows/bench/windows_clock_bench.exe 2>/dev/null
  wineserver -k 2>/dev/null || true
)
