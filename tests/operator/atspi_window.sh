#!/usr/bin/env bash
# Runs the AT-SPI test on an X server of its own and a session bus of its own,
# whose accessibility bus (at-spi-bus-launcher, at-spi2-registryd) is started
# when first asked for, as on a desktop.
# usage: atspi_window.sh <test executable> [ARGS...]
set -euo pipefail

if [ -z "${QZ_UNDER_XVFB:-}" ]; then
  for tool in Xvfb xdotool dbus-run-session dbus-send; do
    command -v "$tool" >/dev/null || { echo "$tool not found: skipped"; exit 77; }
  done
  [ -x /usr/libexec/at-spi-bus-launcher ] || { echo "at-spi2-core not installed: skipped"; exit 77; }
  QZ_UNDER_XVFB=1 exec "$(dirname "$0")/../../scripts/with-xvfb" dbus-run-session -- "$0" "$@"
fi
# The accessibility bus started and turned on, as a running screen reader
# leaves it: a program finds it at start and sends its events.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
  string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null
export QT_QPA_PLATFORM=xcb
exec "$@"
