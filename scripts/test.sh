#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs every test: the Linux build against an X server of
# its own (started here and stopped at the end, so the desktop's lamps are never touched), the unit
# tests under sanitizers, a bounded fuzzing run, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ make cmake qt6-base-dev libqt6gui6 libx11-dev libxi-dev libxrandr-dev \
  libsystemd-dev pkgconf fonts-dejavu-extra \
  libgtest-dev libbenchmark-dev xvfb x11-xkb-utils x11-xserver-utils xdotool imagemagick openbox \
  mingw-w64 wine wine64 icoutils librsvg2-bin wixl msitools zip unzip clang libclang-rt-14-dev \
  umockdev libumockdev-dev gir1.2-umockdev-1.0 python3-dbusmock dbus-daemon weston xwayland \
  lintian appstream desktop-file-utils man-db dpkg-dev

echo "== Linux"
cmake -S . -B build -DBLINKOLUX_TESTS=ON -DBLINKOLUX_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
source scripts/xvfb.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
echo "== The Debian package"
tests/package_test.sh

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
dpi() {  # the prefix's DPI, taken up by the next start of Wine
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -w
}
(
  source scripts/wine.sh null
  ctest --test-dir build-windows --output-on-failure
  for setting in 120 144; do  # the window again, laid out at other DPI settings
    dpi "$setting"
    BLINKOLUX_DPI=$setting wine build-windows/tests/win32_tests.exe --gtest_brief=1 \
      --gtest_filter='Win32WindowTest.*'
  done
  dpi 96
  tests/package_test.sh windows
)
# As a user sees it on the X server, at 96 and 144 DPI: the whole window, by its own geometry.
(
  source scripts/wine.sh x11
  for setting in 96 144; do
    dpi "$setting"
    wine build-windows/blinkolux.exe &
    window=$(xdotool search --sync --name '^Blinkolux$' | head -n 1)
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "build-windows/window-${setting}dpi.png"
    wine taskkill /im blinkolux.exe >/dev/null 2>&1
    wait
  done
  dpi 96
)
echo "Windows window: build-windows/window-96dpi.png, build-windows/window-144dpi.png"
