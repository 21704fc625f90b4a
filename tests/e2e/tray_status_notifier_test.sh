#!/usr/bin/env bash
# The tray of KDE and of GNOME's AppIndicator extension: a StatusNotifier
# watcher with a host on the session bus, no X11 tray. "-t" starts with the
# program's icon registered there, with the program's tip, and no window;
# activating the icon brings the window back and takes the icon away. A tray
# that goes away while the window is in it gives the window back, minimised.
# With no tray host at all, "-t" leaves the window minimised, within reach.
# A watcher without a host leaves the icon to an X11 tray, which is watched
# on its own: when it goes, the window comes back, minimised.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
start_session_bus
app="$E2E_WORK/app"
install_program "$exe" "$app"

start_watcher

"$app/quisk-motion-detector" -t &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 item_registered || fail "no icon registered with the watcher"
item=$(registered_item)
has_visible_main_window && fail "a window is shown"
item_property() { property "$item" /StatusNotifierItem org.kde.StatusNotifierItem "$1"; }
pixmaps=$(item_property IconPixmap) && grep -q 'array of bytes' <<<"$pixmaps" || fail "the icon has no picture"
tip=$(item_property ToolTip) && grep -qF '"Quisk Motion Detector - program wykrywający ruch"' <<<"$tip" ||
    fail "the icon's tip: $tip"
status=$(item_property Status) && grep -q '"Active"' <<<"$status" || fail "the icon is not shown: $status"

bus_call --dest="$item" /StatusNotifierItem org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null ||
    fail "the icon cannot be activated"
wait_until 30 has_visible_main_window || fail "activating the icon did not bring the window back"
wait_until 10 has_no_owner "$item" || fail "the icon stayed after the window came back"
stop_program "$pid"

minimised() {
    local hints
    hints=$(xprop -id "$(visible_main_window)" WM_HINTS)
    grep -q 'Initial state is Iconic State' <<<"$hints" || fail "without a tray host the window is not minimised: $hints"
}

# The tray goes away while the window is in it: the program hears it from the
# bus and brings the window back, minimised.
# The watcher keeps the first program's item on its list.
second_item_registered() {
    [ "$(property org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems | grep -c '^ *string "')" -ge 2 ]
}
"$app/quisk-motion-detector" -t &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 second_item_registered || fail "no icon registered with the watcher"
has_visible_main_window && fail "a window is shown"
kill -TERM "$watcher"
wait_until 10 has_no_owner org.kde.StatusNotifierWatcher || fail "the watcher did not end"
wait_until 30 has_visible_main_window || fail "the window stayed hidden after the tray went away"
minimised
stop_program "$pid"

# No tray host of either kind.
"$app/quisk-motion-detector" -t &
pid=$!
E2E_PIDS+=("$pid")
x_server_answers() { xdpyinfo >/dev/null 2>&1; }
x_server_answers || fail "the X server went away after the first program ended"
wait_until 30 has_visible_main_window || fail "without a tray host the window is out of reach"
minimised
stop_program "$pid"

# A watcher whose host has not come, and an X11 tray that holds the icon and
# then goes away.
start_watcher '{"host": false}'
start_x11_tray
start_in_x11_tray "$app"
# Past the program's first look at the tray (2 s), after which a tray
# followed by its signals would be asked no more.
sleep 2.5
kill -TERM "$tray_pid"
wait_until 30 has_visible_main_window || fail "the window stayed hidden after the X11 tray went away"
minimised
stop_program "$pid"
echo "StatusNotifier tray: ok"
