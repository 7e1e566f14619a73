#!/usr/bin/env bash
# Installs the Debian packages that building, running, testing or fuzzing needs and
# that are not there yet. Usage: scripts/deps.sh run|test|fuzz
set -euo pipefail

common=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev fonts-ipafont-gothic)
run=(xvfb xauth x11-utils imagemagick python3)
# The window manager test runs openbox on Xvfb of its own and reads the
# windows' places with xwininfo and xprop (x11-utils) and drags with xdotool.
# dbus-daemon and systemd: the notification on a private bus and the check of the daily timer.
test=(python3 nginx-light tinyproxy curl clang-format xvfb openbox x11-utils xdotool dbus-daemon systemd)
# clang and its sanitizer runtimes build the fuzz targets (fuzz/fuzz.sh).
fuzz=(clang libclang-rt-14-dev)

want=("${common[@]}")
case "${1:-test}" in
  run) want+=("${run[@]}") ;;
  test) want+=("${test[@]}") ;;
  fuzz) want+=("${fuzz[@]}") ;;
  *) echo "usage: $0 run|test|fuzz" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
