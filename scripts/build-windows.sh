#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the cross compiler if missing and builds build-windows/blinkolux.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh cmake make mingw-w64 icoutils librsvg2-bin
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DBLINKOLUX_TESTS=OFF >/dev/null
cmake --build build-windows --target blinkolux -j"$(nproc)"
ls -l build-windows/blinkolux.exe
