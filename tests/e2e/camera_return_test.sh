#!/usr/bin/env bash
# A network camera that goes away and comes back on the same address, three
# times in one run: a still scene that is another still picture after the
# return sets off nothing; a moving scene is detected again within seconds
# of its return; a quit while the camera is away ends the program at once.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
camera_tool=$2
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"
log="$app/Dziennik.log"
errors="$E2E_WORK/stderr"

camera_pid=
camera_port=0
# start_camera ARGS...: the loopback camera on camera_port (the first time on
# a port the kernel chooses, kept from then on).
start_camera() {
    local url="$E2E_WORK/camera.url"
    rm -f "$url"
    "$camera_tool" --port "$camera_port" --width 160 --height 120 --fps 15 --frames-in-loop 30 "$@" \
        >"$url" 2>>"$E2E_WORK/camera.log" &
    camera_pid=$!
    E2E_PIDS+=("$camera_pid")
    wait_until 10 test -s "$url" || fail "the camera did not start"
    camera_url=$(head -n 1 "$url")
    camera_port=${camera_url#http://127.0.0.1:}
    camera_port=${camera_port%%/*}
}
stop_camera() {
    kill -TERM "$camera_pid"
    wait "$camera_pid" || fail "the camera failed: $(cat "$E2E_WORK/camera.log")"
}
count() { grep -c "$1" "$errors" || true; }
lost_times() { [ "$(count 'the camera is lost')" -ge "$1" ]; }
back_times() { [ "$(count 'the camera is back')" -ge "$1" ]; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

start_camera --still-shade 40
export QUISK_EXTRA_SOURCES=$camera_url
crlf_lines "[Ruch]" "Alarm=0" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=0" >"$app/ustawienia.ini"
"$app/quisk-motion-detector" 2>"$errors" &
pid=$!
E2E_PIDS+=("$pid")

# 1. Dark still scene, away, back as a bright still scene: no motion.
# The program has watched once the camera has streamed to it for a while: a
# starved machine may take seconds to start it.
wait_until 60 camera_sent_at_least 20 ||
    fail "the program did not watch the camera: $(cat "$E2E_WORK/camera.log")"
stop_camera
wait_until 10 lost_times 1 || fail "the loss was not noticed: $(cat "$errors")"
start_camera --still-shade 200
wait_until 15 back_times 1 || fail "the still camera did not come back: $(cat "$errors")"
sleep 1.5
[ "$(log_lines)" -eq 0 ] || fail "the changed still scene was taken for motion: $(cat "$log")"

# 2. Away for 5 s, back with a moving ball: detections again.
stop_camera
wait_until 10 lost_times 2 || fail "the second loss was not noticed: $(cat "$errors")"
sleep 5
start_camera
returned=$(now_ms)
wait_until 15 logged_more_than 0 || fail "no detection after the camera came back: $(cat "$errors")"
echo "detections again $(($(now_ms) - returned)) ms after the camera's return"
wait_until 5 back_times 2 || fail "the return not written to standard error: $(cat "$errors")"
kill -0 "$pid" || fail "the program ended"

# 3. A quit while the camera is away (and being asked for again).
stop_camera
wait_until 10 lost_times 3 || fail "the third loss was not noticed: $(cat "$errors")"
sleep 1.2
started=$(now_ms)
stop_program "$pid"
elapsed_ms=$(($(now_ms) - started))
((elapsed_ms < 2000)) || fail "SIGTERM while the camera was away took $elapsed_ms ms"
echo "camera return: ok (quit in $elapsed_ms ms)"
