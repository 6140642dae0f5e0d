# SPDX-License-Identifier: MIT
# Sourced: starts an X server of our own on a free display, exports DISPLAY, stops it on exit.
# -noreset: Xvfb would reset its keyboard state whenever its last client leaves.
display_file=$(mktemp)
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; rm -f "$display_file"' EXIT
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$display_file")"
# Not the desktop's session: Blinkolux would drive the kernel's lamps, the real ones, there.
unset WAYLAND_DISPLAY
export XDG_SESSION_TYPE=x11
