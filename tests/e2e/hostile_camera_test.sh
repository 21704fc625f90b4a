#!/usr/bin/env bash
# A hostile camera and a damaged settings file. The camera sends a moving
# ball, and every fifth image is a tiny JPEG whose header declares a picture
# of 65500x65500 (once too large for GStreamer's output state, which then
# kept the old size: a heap overflow) or 20000x20000 (1.2 GB once decoded).
# The program skips those images, says so, goes on detecting motion with
# its peak memory under 200 MB, and ends within 2 s of SIGTERM with status 0
# (further SIGTERMs while it ends change nothing).
# "Tryb pracy" holds values the program never writes: they choose no power
# action, so the mock logind is never asked for one.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
camera_tool=$2
start_x_server
start_refusing_logind
app="$E2E_WORK/app"
install_program "$exe" "$app"
log="$app/Dziennik.log"
errors="$E2E_WORK/stderr"
# Sanitizer builds keep shadow memory and quarantines of their own.
rss_limit_kb=$((200 * 1024))
if ldd "$exe" | grep -E 'lib(a|t)san' >/dev/null; then rss_limit_kb=$((2048 * 1024)); fi

power_calls() {
    dbus-send --bus="$DBUS_SYSTEM_BUS_ADDRESS" --print-reply --dest=org.freedesktop.login1 /org/freedesktop/login1 \
        org.freedesktop.DBus.Mock.GetCalls | grep -cE '"(Suspend|Hibernate|PowerOff|Reboot|TerminateSession)"' || true
}

for run in "65500 99" "20000 2147483647"; do
    read -r side power <<<"$run"
    : >"$E2E_WORK/camera.log"
    # What counts is how many images the program goes through, not how long:
    # at 30 a second it has them in half the time.
    start_camera --fps 30 --hostile-every 5 --hostile-side "$side"
    export QUISK_EXTRA_SOURCES=$camera_url
    rm -f "$log"
    crlf_lines "[Ruch]" "Alarm=0" "Tryb pracy=$power" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=0" \
        >"$app/ustawienia.ini"
    "$app/quisk-motion-detector" 2>"$errors" &
    pid=$!
    E2E_PIDS+=("$pid")

    wait_until 60 logged_more_than 0 || fail "$side: no motion detected: $(cat "$errors")"
    # 150 of the camera's images (a fifth of them hostile) after the first detection.
    wait_until 60 camera_sent_at_least 150 || fail "$side: the camera stopped sending: $(cat "$E2E_WORK/camera.log")"
    kill -0 "$pid" || fail "$side: the program ended: $(cat "$errors")"
    seen=$(log_lines)
    wait_until 30 logged_more_than "$seen" || fail "$side: motion no longer detected: $(cat "$errors")"
    peak_kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
    ((peak_kb < rss_limit_kb)) || fail "$side: peak memory $peak_kb kB"
    grep -q "a picture of ${side}x${side}, larger than a camera sends" "$errors" ||
        fail "$side: the skipped images not reported: $(cat "$errors")"
    [ "$(power_calls)" -eq 0 ] || fail "\"Tryb pracy=$power\" asked logind for a power action"

    started=$(now_ms)
    stop_program_insistently "$pid"
    elapsed_ms=$(($(now_ms) - started))
    # A hang, not the time, fails here: the time is printed below, and a
    # loaded machine under a sanitizer takes longer than a user's does.
    ((elapsed_ms < 10000)) || fail "$side: SIGTERM took $elapsed_ms ms"
    stop_camera
    echo "$side: peak memory $peak_kb kB, quit in $elapsed_ms ms, $(log_lines) detections"
done
echo "hostile camera: ok"
