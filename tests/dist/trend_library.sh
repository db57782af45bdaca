#!/usr/bin/env bash
# The trend's library on the real program: the executable does not need Qt
# Charts or Qt OpenGL to start; Ctrl+T loads the library from beside the
# executable and opens the trend; a copy of the executable without the library
# says so in a box when the trend is opened, and goes on.
# usage: trend_library.sh <qz5801 executable> <simulator folder>
set -euo pipefail

app="$1"
simulator="$2"

needed="$(readelf -d "$app" | awk '/NEEDED/ {print $5}')"
if grep -Ei 'Qt6Charts|Qt6OpenGL' <<<"$needed"; then
  echo "the executable needs the libraries above at start"; exit 1
fi

if [ -z "${QZ_UNDER_XVFB:-}" ]; then
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool not found: skipped"; exit 77; }
  done
  QZ_UNDER_XVFB=1 exec "$(dirname "$0")/../../scripts/with-xvfb" "$0" "$@"
fi

work="$(mktemp -d)"
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to 30 s for a visible window of the program whose title matches; prints its id.
wait_for() {
  local name="$1" found=
  for _ in $(seq 1 300); do
    found="$(xdotool search --onlyvisible --pid "$pid" --name "$name" 2>/dev/null | head -n1 || true)"
    [ -n "$found" ] && { echo "$found"; return 0; }
    kill -0 "$pid" 2>/dev/null || { echo "the program ended early" >&2; return 1; }
    sleep 0.1
  done
  echo "no window '$name' after 30 s" >&2
  return 1
}

# Starts the given executable, opens the trend with Ctrl+T.
open_trend() {
  local program="$1" run="$2"
  mkdir -p "$work/$run/config" "$work/$run/runtime"
  chmod 700 "$work/$run/runtime"
  QT_QPA_PLATFORM=xcb LD_LIBRARY_PATH="$simulator" \
    XDG_CONFIG_HOME="$work/$run/config" XDG_RUNTIME_DIR="$work/$run/runtime" \
    "$program" >"$work/$run.log" 2>&1 &
  pid=$!
  window="$(wait_for '^QZ5801 User Software$')" || { cat "$work/$run.log"; exit 1; }
  # no window manager: the pointer over the window gives it the keyboard
  xdotool mousemove --window "$window" 270 300 sleep 0.3 key ctrl+t
}

stop() { kill "$pid"; wait "$pid" 2>/dev/null || true; pid=; }

open_trend "$app" with
wait_for '^Trend - QZ5801 User Software$' >/dev/null || { cat "$work/with.log"; exit 1; }
stop
echo "the trend opened from the library beside the executable"

mkdir -p "$work/alone"
cp "$app" "$work/alone/"
ln -s "$(dirname "$app")/language" "$work/alone/language"
open_trend "$work/alone/$(basename "$app")" without
wait_for '^Error$' >/dev/null || { cat "$work/without.log"; exit 1; }
kill -0 "$pid" || { echo "the program ended without its library"; exit 1; }
names="$(for w in $(xdotool search --onlyvisible --pid "$pid" --name '.' 2>/dev/null); do xdotool getwindowname "$w"; done)"
if grep -q '^Trend - ' <<<"$names"; then
  echo "a trend window opened without the library"; exit 1
fi
grep -q '^QZ5801 User Software$' <<<"$names" || { echo "the main window is gone"; exit 1; }
stop
echo "without the library: a box, and the program goes on"
