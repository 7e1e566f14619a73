#!/usr/bin/env bash
# Installs what is missing, builds an optimised program, lays out a program
# directory in build/demo/ and starts Vellumark there. Without a display it
# runs the program under Xvfb and saves a screenshot of the menu window.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -Wno-dev
cmake --build build --target vellumark screenshots

demo="$top/build/demo"
mkdir -p "$demo"
# The program keeps its files beside itself, so it runs from its own copy.
cp -f build/vellumark "$demo/vellumark"
scripts/demo-data.sh "$demo"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$demo/vellumark"
fi

shot="$top/build/menu-screenshot.png"
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  "$1/vellumark" & pid=$!
  for i in $(seq 1 50); do
    id=$(xwininfo -root -tree 2>/dev/null | awk "/Vellumark\\( Ver/ {print \$1; exit}")
    [ -n "$id" ] && break
    sleep 0.2
  done
  sleep 1
  if [ -n "$id" ]; then import -window "$id" "$2"; else import -window root "$2"; fi
  kill $pid
' _ "$demo" "$shot"
echo "No display: Vellumark ran under Xvfb. Screenshot of the menu window: $shot"
