#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds Blinkolux and starts it on the desktop's X display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ make cmake qt6-base-dev libqt6gui6 libx11-dev libxi-dev libxrandr-dev \
  libsystemd-dev pkgconf fonts-dejavu-extra
cmake -S . -B build -DBLINKOLUX_TESTS=OFF -DBLINKOLUX_BENCH=OFF >/dev/null
cmake --build build --target blinkolux -j"$(nproc)"
exec build/blinkolux
