#!/usr/bin/env bash
# A Wayland desktop with Xwayland (headless Weston), where Qt on its own
# would take Wayland: the program goes to the X display by itself, so its
# window opens where it was left, the preview shows a clip's frames through
# its X11 path, and SIGTERM ends it with the same place stored.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_wayland_session --xwayland
app="$E2E_WORK/app"
install_program "$exe" "$app"
clip="$E2E_WORK/snow.avi"
make_snow_clip "$clip" 300
export QUISK_EXTRA_SOURCES="$clip"
crlf_lines "[Ruch]" "Alarm=0" "[Ogolne]" "Ostatnie urzadzenie=0" "Pozycja X=200" "Pozycja Y=150" >"$app/ustawienia.ini"

"$app/quisk-motion-detector" &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 has_visible_main_window || fail "no window on the X display"
window=$(visible_main_window)

# Weston draws the frame around the window, so the stored place (the frame's
# corner) lies between the corner of Weston's frame window and the window's own.
absolute() { xwininfo -id "$1" | sed -n "s/^ *Absolute upper-left $2: *//p"; }
frame_window() { xwininfo -tree -id "$1" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p'; }
at_stored_place() {
    local frame frame_x frame_y x y
    frame=$(frame_window "$window")
    frame_x=$(absolute "$frame" X) frame_y=$(absolute "$frame" Y)
    x=$(absolute "$window" X) y=$(absolute "$window" Y)
    [ -n "$frame_x" ] && [ -n "$frame_y" ] && [ -n "$x" ] && [ -n "$y" ] &&
        ((frame_x <= 200 && 200 <= x && frame_y <= 150 && 150 <= y))
}
wait_until 10 at_stored_place || fail "window not at 200, 150: $(xwininfo -id "$window" | grep Absolute)"

# Snow changes every frame: two pictures of the window differ.
snapshot() {
    gst-launch-1.0 -q ximagesrc xid="$window" num-buffers=1 show-pointer=false use-damage=false \
        ! videoconvert ! video/x-raw,format=RGB ! filesink location="$1" >/dev/null 2>&1
}
snapshot "$E2E_WORK/first.rgb" || fail "cannot take a picture of the window"
picture_changes() {
    snapshot "$E2E_WORK/next.rgb" && ! cmp -s "$E2E_WORK/first.rgb" "$E2E_WORK/next.rgb"
}
wait_until 20 picture_changes || fail "the preview shows no frames"

stop_program "$pid"
grep -q $'^Pozycja X=200\r$' "$app/ustawienia.ini" && grep -q $'^Pozycja Y=150\r$' "$app/ustawienia.ini" ||
    fail "stored place changed: $(cat -A "$app/ustawienia.ini")"
echo "Wayland with Xwayland: ok"
