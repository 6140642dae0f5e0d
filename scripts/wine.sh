# SPDX-License-Identifier: MIT
# Sourced: a Wine prefix of our own under build-windows/, made on first use, so the user's ~/.wine
# is never touched. $1 is its display driver: null (no display at all) or x11.
export WINEPREFIX="$PWD/build-windows/wine-$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  [ "$1" = null ] && wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # The 95-family keyboard tests run where Wine reports Windows 98.
  wine reg add 'HKCU\Software\Wine\AppDefaults\win95_keyboard_tests.exe' /v Version /d win98 /f \
    >/dev/null 2>&1
  wineserver -w
fi
