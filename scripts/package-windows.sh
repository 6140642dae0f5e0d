#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing and makes the Windows downloads from the cross build in build-windows/:
# blinkolux-<version>-windows-x64.zip (blinkolux.exe, README.txt, LICENSE.txt) and a per-user MSI,
# made offline with wixl. The two paths are the last lines printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh cmake make mingw-w64 icoutils librsvg2-bin wixl msitools zip
[ -f build-windows/CMakeCache.txt ] ||
  cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DBLINKOLUX_TESTS=OFF \
    -DBLINKOLUX_BENCH=OFF >/dev/null
cmake --build build-windows --target blinkolux -j"$(nproc)" >/dev/null
version=$(sed -n 's/^project(blinkolux VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="blinkolux-$version-windows-x64"
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cp build-windows/blinkolux.exe "$staging/"
sed 's/$/\r/' data/windows/README.txt >"$staging/README.txt"  # Notepad's line ends
sed 's/$/\r/' LICENSE >"$staging/LICENSE.txt"
rm -f "build-windows/$name.zip" "build-windows/$name.msi"
(cd "$staging" && zip -q -X "$OLDPWD/build-windows/$name.zip" blinkolux.exe README.txt LICENSE.txt)
wixl -a x64 -D Version="$version.0" -D Exe=build-windows/blinkolux.exe \
  -D Icon=build-windows/blinkolux.ico -o "build-windows/$name.msi" data/windows/blinkolux.wxs
realpath "build-windows/$name.zip" "build-windows/$name.msi"
