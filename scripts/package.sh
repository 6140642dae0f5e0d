#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds Blinkolux in build/ (as the other scripts do) and makes its
# Debian package there with CPack. The package's path is the last line printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ make cmake qt6-base-dev libqt6gui6 libx11-dev libxi-dev libxrandr-dev libsystemd-dev \
  pkgconf fonts-dejavu-extra librsvg2-bin dpkg-dev
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DBLINKOLUX_TESTS=OFF -DBLINKOLUX_BENCH=OFF >/dev/null
cmake --build build --target blinkolux desktop_files -j"$(nproc)" >/dev/null
(cd build && cpack -G DEB >/dev/null)
realpath build/blinkolux_*.deb | tail -n 1
