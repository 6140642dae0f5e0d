#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian package, built from build/: its contents, lintian (no errors), the desktop entry and
# the AppStream metadata validated. Where installing harms nobody (CI=true, and no blinkolux
# package installed), it is also installed, run on the test X server ($DISPLAY), and purged. With
# `windows`, the Windows zip and MSI instead.
set -euo pipefail
cd "$(dirname "$0")/.."

# `package_test.sh windows`, under Wine (scripts/wine.sh): the zip holds its three files; the MSI
# is per user (under LocalAppDataFolder, no ALLUSERS), upgrades by its fixed code, installs the exe
# and a Start-menu shortcut with msiexec, and its uninstall takes both away.
if [ "${1:-}" = windows ]; then
  readarray -t made < <(scripts/package-windows.sh 2>/dev/null | tail -n 2)
  zip=${made[0]} msi=${made[1]}
  [ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "LICENSE.txt README.txt blinkolux.exe " ]
  table() { msiinfo export "$msi" "$1"; }
  grep -q $'^UserPrograms\tLocalAppDataFolder\tPrograms' <<<"$(table Directory)"
  grep -qi '^{FD6B4CC5-F849-4DFC-8A34-E571B7E15AAE}' <<<"$(table Upgrade)"
  grep -q $'^StartMenuShortcut\tProgramMenuFolder\tBlinkolux' <<<"$(table Shortcut)"
  if grep -q '^ALLUSERS' <<<"$(table Property)"; then echo "the MSI sets ALLUSERS"; exit 1; fi
  user="$WINEPREFIX/drive_c/users/$(id -un)/AppData"
  exe="$user/Local/Programs/Blinkolux/blinkolux.exe"
  shortcut="$user/Roaming/Microsoft/Windows/Start Menu/Programs/Blinkolux.lnk"
  wine msiexec /i "$msi" /qn
  [ -f "$exe" ] && [ -f "$shortcut" ] && cmp -s "$exe" build-windows/blinkolux.exe
  wine msiexec /x "$msi" /qn
  [ ! -e "$exe" ] && [ ! -e "$shortcut" ]
  # Terminal-Server aware, and the same bytes when built again elsewhere (no time stamp, no path).
  grep -q TERMINAL_SERVICE_AWARE <<<"$(x86_64-w64-mingw32-objdump -p build-windows/blinkolux.exe)"
  again=$(mktemp -d)
  trap 'rm -rf "$again"' EXIT
  cmake -S . -B "$again" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DBLINKOLUX_TESTS=OFF \
    >/dev/null
  cmake --build "$again" --target blinkolux -j"$(nproc)" >/dev/null
  cmp build-windows/blinkolux.exe "$again/blinkolux.exe"
  echo "Windows: the zip holds its three files; the MSI installs per user and uninstalls; the exe"
  echo "is Terminal-Server aware, and built again elsewhere, the same bytes"
  exit 0
fi

deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/blinkolux \
  ./usr/share/applications/io.github.blinkolux.Blinkolux.desktop \
  ./usr/share/icons/hicolor/scalable/apps/io.github.blinkolux.Blinkolux.svg \
  ./usr/share/icons/hicolor/48x48/apps/io.github.blinkolux.Blinkolux.png \
  ./usr/share/metainfo/io.github.blinkolux.Blinkolux.metainfo.xml \
  ./usr/share/man/man1/blinkolux.1.gz \
  ./usr/share/doc/blinkolux/copyright ./usr/share/doc/blinkolux/changelog.gz; do
  grep -qx "$file" <<<"$contents" || { echo "missing from the package: $file"; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q fonts-dejavu-extra
# Errors fail, warnings are shown.
found=$(lintian --tag-display-limit 0 "$deb" 2>&1)
echo "$found"
if grep -q '^E:' <<<"$found"; then echo "lintian found errors"; exit 1; fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/io.github.blinkolux.Blinkolux.desktop"
appstreamcli validate --no-net \
  "$unpacked/usr/share/metainfo/io.github.blinkolux.Blinkolux.metainfo.xml"

if [ "${CI:-}" != true ] || dpkg-query -W blinkolux >/dev/null 2>&1; then
  echo "Not installing it: that happens only under CI=true, with no blinkolux package installed"
  exit 0
fi
trap 'dpkg --purge blinkolux >/dev/null 2>&1 || true; rm -rf "$unpacked"' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >/dev/null
man -w blinkolux
before=$(xset q | grep -o 'LED mask: *[0-9a-f]*')
/usr/bin/blinkolux &
pid=$!
xdotool search --sync --name '^Blinkolux$' >/dev/null
sleep 0.5
kill -TERM "$pid"
wait "$pid"
[ "$(xset q | grep -o 'LED mask: *[0-9a-f]*')" = "$before" ] || { echo "lamps not put back"; exit 1; }
dpkg --purge blinkolux >/dev/null
left=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}' | while read -r file; do
  [ ! -e "$file" ] || echo "$file"
done)
[ -z "$left" ] || { echo "left after purging: $left"; exit 1; }
echo "installed, ran, and purged without a trace"
