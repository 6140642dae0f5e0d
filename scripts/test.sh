#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the Linux build against an X server of
# its own (started here and stopped at the end, so the desktop's lamps are never touched), the unit
# tests under sanitizers, a bounded fuzzing run, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ make cmake qt6-base-dev libqt6gui6 libx11-dev libxi-dev \
  libsystemd-dev pkgconf fonts-dejavu-extra \
  libgtest-dev libbenchmark-dev xvfb x11-xkb-utils x11-xserver-utils xdotool imagemagick openbox \
  mingw-w64 wine wine64 clang libclang-rt-14-dev \
  umockdev libumockdev-dev gir1.2-umockdev-1.0 python3-dbusmock dbus-daemon weston xwayland

echo "== Linux"
cmake -S . -B build -DBLINKOLUX_TESTS=ON -DBLINKOLUX_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
source scripts/xvfb.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer; the form fuzzed"
CC=clang CXX=clang++ cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DBLINKOLUX_FUZZ=ON \
  -DBLINKOLUX_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fsanitize=fuzzer-no-link" \
  >/dev/null
cmake --build build-sanitize --target unit_tests form_fuzz -j"$(nproc)"
build-sanitize/tests/unit_tests --gtest_brief=1
build-sanitize/tests/form_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -print_final_stats=1 2>&1 |
  tail -n 3

echo "== Windows, under Wine"
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DBLINKOLUX_TESTS=ON >/dev/null
cmake --build build-windows -j"$(nproc)"
(
  source scripts/wine.sh null
  ctest --test-dir build-windows --output-on-failure
  wineserver -k 2>/dev/null || true
)
# As a user sees it: the window on the X server, kept as build-windows/window.png.
(
  source scripts/wine.sh x11
  wine build-windows/blinkolux.exe &
  xdotool search --sync --name '^Blinkolux$' >/dev/null
  sleep 1
  import -window root -crop 480x80+0+0 build-windows/window.png
  wine taskkill /im blinkolux.exe >/dev/null 2>&1
  wait
  wineserver -k 2>/dev/null || true
)
echo "Windows window: build-windows/window.png"
