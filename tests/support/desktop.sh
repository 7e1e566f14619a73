#!/usr/bin/env bash
# Runs a window test on a desktop of its own: Xvfb on a display number that
# the server picks as free, and the openbox window manager on it. Both stop
# when the test ends; no other display is touched.
#   tests/support/desktop.sh <test executable> [arguments...]
set -euo pipefail
work=$(mktemp -d)
xvfb="" wm=""
stop() {
  [ -z "$wm" ] || kill "$wm" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap stop EXIT
# Xvfb writes the display number it took once it accepts connections.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
if ! read -r -t 30 number <"$work/display"; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$number"
unset XAUTHORITY WAYLAND_DISPLAY
# The stock configuration, not one in the home directory.
XDG_CONFIG_HOME="$work" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 "$wm" 2>/dev/null || break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  echo "openbox did not start on $DISPLAY:" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi
QT_QPA_PLATFORM=xcb "$@"
