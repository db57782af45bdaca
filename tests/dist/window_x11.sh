#!/usr/bin/env bash
# Starts the real window on an X server (Xvfb) against the simulated
# transmitter and checks what the desktop sees of it: the program icon in
# _NET_WM_ICON; the client area 536 pixels wide at scale 1, also on a screen
# that asks for 200 % (Xft.dpi 192, as desktops set it); twice the size in
# device pixels when the user asks: QT_SCALE_FACTOR=2, or on that screen
# QT_ENABLE_HIGHDPI_SCALING=1.
# usage: window_x11.sh <qz5801 executable> <simulator folder>
set -euo pipefail

app="$1"
simulator="$2"

if [ -z "${QZ_UNDER_XVFB:-}" ]; then
  for tool in Xvfb xprop xwininfo xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool not found: skipped"; exit 77; }
  done
  QZ_UNDER_XVFB=1 exec "$(dirname "$0")/../../scripts/with-xvfb" -s "-noreset -screen 0 2560x1600x24" "$0" "$@"
fi

work="$(mktemp -d)"
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Starts the window with the given scale factor, or "screen": as it starts
# on the screen by default, or "screen-scaled": with the screen's scaling
# asked for; sets pid and window.
start() {
  local scale="$1"
  mkdir -p "$work/$scale/config" "$work/$scale/runtime"
  chmod 700 "$work/$scale/runtime"
  local factor=()
  case "$scale" in
    screen) ;;
    screen-scaled) factor=(QT_ENABLE_HIGHDPI_SCALING=1) ;;
    *) factor=(QT_SCALE_FACTOR="$scale") ;;
  esac
  env -u QT_ENABLE_HIGHDPI_SCALING -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS \
    "${factor[@]}" QT_QPA_PLATFORM=xcb LD_LIBRARY_PATH="$simulator" \
    XDG_CONFIG_HOME="$work/$scale/config" XDG_RUNTIME_DIR="$work/$scale/runtime" \
    "$app" >"$work/$scale.log" 2>&1 &
  pid=$!
  window=
  for _ in $(seq 1 300); do
    window="$(xdotool search --onlyvisible --pid "$pid" --name '^QZ5801 User Software$' 2>/dev/null | head -n1 || true)"
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || { echo "the window ended early:"; cat "$work/$scale.log"; exit 1; }
    sleep 0.1
  done
  [ -n "$window" ] || { echo "no window after 30 s (scale $scale)"; cat "$work/$scale.log"; exit 1; }
}

stop() {
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
}

size_of() {
  xwininfo -id "$1" | awk '/^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print w, h}'
}

start 1
read -r width1 height1 < <(size_of "$window")
icons="$(xprop -id "$window" _NET_WM_ICON)"
stop
echo "scale 1: ${width1}x${height1}"
echo "$icons" | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u
for size in 16 32 48; do
  grep -q "Icon ($size x $size)" <<<"$icons" || { echo "_NET_WM_ICON lacks the $size x $size icon"; exit 1; }
done

start 2
read -r width2 height2 < <(size_of "$window")
stop
echo "scale 2: ${width2}x${height2}"

xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "$(printf 'Xft.dpi:\t192')"
start screen
read -r width3 height3 < <(size_of "$window")
stop
echo "200 % screen: ${width3}x${height3}"
start screen-scaled
read -r width4 height4 < <(size_of "$window")
stop
echo "200 % screen, scaling asked for: ${width4}x${height4}"

[ "$width1" -eq 536 ] || { echo "width at scale 1 is $width1, not 536"; exit 1; }
[ "$width2" -eq $((2 * width1)) ] || { echo "width at scale 2 is $width2, not $((2 * width1))"; exit 1; }
[ "$height2" -eq $((2 * height1)) ] || { echo "height at scale 2 is $height2, not $((2 * height1))"; exit 1; }
[ "$width3" -eq "$width1" ] && [ "$height3" -eq "$height1" ] ||
  { echo "on a 200 % screen the window is ${width3}x${height3}, not ${width1}x${height1}"; exit 1; }
[ "$width4" -eq "$width2" ] && [ "$height4" -eq "$height2" ] ||
  { echo "with scaling asked for on a 200 % screen the window is ${width4}x${height4}, not ${width2}x${height2}"; exit 1; }
echo "icon and scaling as expected"
