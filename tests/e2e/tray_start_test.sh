#!/usr/bin/env bash
# "-t" starts straight into the tray: with a tray host running, the program's
# icon is embedded in it and no window of the program is ever shown.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"

start_x11_tray
before=$(tray_embedded_windows)

"$app/quisk-motion-detector" -t &
pid=$!
E2E_PIDS+=("$pid")
icon_embedded() { [ "$(tray_embedded_windows)" -gt "$before" ]; }
wait_until 30 icon_embedded || fail "no icon in the tray"
kill -0 "$pid" || fail "the program ended"
has_visible_main_window && fail "a window is shown"

stop_program "$pid"
echo "tray start: ok"
