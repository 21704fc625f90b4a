#!/usr/bin/env bash
# Minimising into the tray under a real window manager (the second argument:
# openbox or metacity), with "Minimalizuj do Traya" on, once with the X11
# tray and once with the StatusNotifier tray: the window manager's minimise
# leaves nothing of the window on screen, and a press on the icon brings the
# whole window back, as often as the user does it.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
wm=$2
start_x_server
start_window_manager "$wm"
app="$E2E_WORK/app"
install_program "$exe" "$app"
crlf_lines "[Ruch]" "Minimalizuj do Traya=1" >"$app/ustawienia.ini"

main_window=
window_state() { xprop -id "$main_window" WM_STATE 2>/dev/null | sed -n 's/^[[:space:]]*window state: //p'; }
window_size() { xwininfo -id "$main_window" | sed -n 's/^ *\(Width\|Height\): //p' | tr '\n' x; }
shown_whole() { has_visible_main_window && [ "$(window_state)" = Normal ] && [ "$(window_size)" = "$size" ]; }

not() { ! "$@"; }

# press_until_shown PRESS_ICON: presses the icon until the window is back,
# as a user presses again when nothing happened: a press that reaches a just
# embedded icon before the tray has mapped it is lost on a busy machine.
press_until_shown() {
    local press
    for press in 1 2 3 4 5 6; do
        "$1"
        wait_until 5 shown_whole && return 0
    done
    return 1
}

# minimise_and_restore ICON_SHOWN PRESS_ICON: three times, the window
# manager's minimise, then a press on the icon.
minimise_and_restore() {
    local round
    for round in 1 2 3; do
        xdotool windowminimize "$main_window"
        wait_until 30 "$1" || fail "round $round: no icon after the minimise"
        # The fault showed the window again right after it went.
        if wait_until 1 has_visible_main_window; then
            fail "round $round: the window is still on screen ($(window_state))"
        fi
        [ "$(window_state)" != Normal ] || fail "round $round: the window manager still shows the window"
        press_until_shown "$2" ||
            fail "round $round: the window did not come back whole: $(window_state) $(window_size), was $size"
        wait_until 30 not "$1" || fail "round $round: the icon stayed after the window came back"
    done
}

# The X11 tray: the program starts in it, its icon is pressed with the mouse.
start_x11_tray
empty_tray=$(tray_embedded_windows)
icon_in_x11_tray() { [ "$(tray_embedded_windows)" -gt "$empty_tray" ]; }
start_in_x11_tray "$app"
press_x11_icon() {
    xdotool mousemove --window "$(tray_icon_window)" 4 4 click 1
}
press_x11_icon
wait_until 30 has_visible_main_window || fail "the icon did not bring the window"
main_window=$(visible_main_window)
wait_until 30 test "$(window_state)" = Normal || fail "the window manager does not show the window"
size=$(window_size)
wait_until 30 not icon_in_x11_tray || fail "the icon stayed after the window came back"
minimise_and_restore icon_in_x11_tray press_x11_icon
stop_program "$pid"
kill -TERM "$tray_pid"

# The StatusNotifier tray: the icon is activated over the bus, as the panel does.
start_session_bus
start_watcher
items() {
    property org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems | sed -n 's/^ *string "\(.*\)"$/\1/p'
}
# The watcher keeps items that are gone on its list: the program's is the one with an owner.
live_item() {
    local item
    for item in $(items); do
        if has_owner "$item"; then
            echo "$item"
            return
        fi
    done
}
icon_registered() { [ -n "$(live_item)" ]; }
activate_icon() {
    bus_call --dest="$(live_item)" /StatusNotifierItem org.kde.StatusNotifierItem.Activate int32:0 int32:0 \
        >/dev/null || fail "the icon cannot be activated"
}
"$app/quisk-motion-detector" &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 icon_registered || fail "no icon registered with the watcher"
has_visible_main_window && fail "a window is shown"
activate_icon
wait_until 30 has_visible_main_window || fail "the icon did not bring the window"
main_window=$(visible_main_window)
wait_until 30 not icon_registered || fail "the icon stayed after the window came back"
minimise_and_restore icon_registered activate_icon
stop_program "$pid"
echo "tray under $wm: ok"
