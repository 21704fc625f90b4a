#!/usr/bin/env bash
# A second start shows the running program: with the first one hidden in the
# X11 tray, under a window manager, the second start ends with 0 and the first
# one's window is shown again, its icon gone from the tray. A second start
# while the window is shown keeps it shown.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
start_window_manager
app="$E2E_WORK/app"
install_program "$exe" "$app"

start_x11_tray
start_in_x11_tray "$app"
icons_in_tray=$(tray_embedded_windows)

status=0
timeout 30 "$app/quisk-motion-detector" 2>"$E2E_WORK/second.stderr" || status=$?
[ "$status" -eq 0 ] || fail "the second start ended with $status: $(cat "$E2E_WORK/second.stderr")"
wait_until 30 has_visible_main_window || fail "the hidden window was not shown"
icon_gone() { [ "$(tray_embedded_windows)" -lt "$icons_in_tray" ]; }
wait_until 30 icon_gone || fail "the icon stayed in the tray"
kill -0 "$pid" || fail "the first program ended"

status=0
timeout 30 "$app/quisk-motion-detector" -t || status=$?
[ "$status" -eq 0 ] || fail "a second start with -t ended with $status"
has_visible_main_window || fail "a second start hid the window"

stop_program "$pid"
echo "second start: ok"
