#!/usr/bin/env bash
# "-t" starts straight into the tray: with a tray host running, the program's
# icon is embedded in it and no window of the program is ever shown.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"

start_x11_tray
start_in_x11_tray "$app"

stop_program "$pid"
echo "tray start: ok"
