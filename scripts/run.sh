#!/usr/bin/env bash
# Installs what is missing, builds an optimised program, lays out a program
# directory in build/demo/ with the sample data set, serves the sample daily
# status pages on 127.0.0.1 with Python's http.server and starts Vellumark
# there; the server stops when the program ends. Without a display it runs
# the program under Xvfb and saves a screenshot of the menu window.
#
# Kept between runs: everything in build/demo/ except the daily pages in
# build/demo/provider/daily/, which are written anew at each start for the
# last 14 days up to today. The data set files are placed again when a build
# has used them up. VELLUMARK_DEMO_PORT picks the server's port on the first
# run (default 8471); later runs use the port that build/demo/url.dat names.
# The demo keeps its per-user settings in build/demo/config/ (Qt's
# XDG_CONFIG_HOME), so trying it leaves a real installation's settings alone.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -Wno-dev
cmake --build build --target vellumark demodata screenshots

demo="$top/build/demo"
www="$demo/provider"
mkdir -p "$demo/config"
export XDG_CONFIG_HOME="$demo/config"
# The program keeps its files beside itself, so it runs from its own copy
# (the front, vellumark, and the windows it hands over to).
cp -f build/vellumark build/vellumark-windows "$demo/"

port_is_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

url=""
[ -f "$demo/url.dat" ] && url=$(head -n 1 "$demo/url.dat" | tr -d '\r')
port=""
case "$url" in
  "")
    port=${VELLUMARK_DEMO_PORT:-8471}
    if port_is_taken "$port"; then
      port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    fi
    url="http://127.0.0.1:$port/daily/"
    ;;
  http://127.0.0.1:*/daily/)
    port=${url#http://127.0.0.1:}
    port=${port%%/*}
    ;;
esac

build/tools/demodata "$demo" "$www/daily" "$url"

if [ -n "$port" ]; then
  if port_is_taken "$port"; then
    echo "Port $port on 127.0.0.1 is taken, so the sample pages cannot be served there." >&2
    echo "Free it, or delete $demo/url.dat to let the next run pick a port." >&2
    exit 1
  fi
  python3 -m http.server --bind 127.0.0.1 "$port" --directory "$www" >"$top/build/demo-server.log" 2>&1 &
  server=$!
  trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
  for _ in $(seq 1 50); do
    port_is_taken "$port" && break
    kill -0 "$server" 2>/dev/null || { cat "$top/build/demo-server.log" >&2; exit 1; }
    sleep 0.1
  done
  echo "Sample data provider: $url (serving $www, log in build/demo-server.log)"
else
  echo "build/demo/url.dat names $url: no sample server is started."
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$demo/vellumark"
  exit 0
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
