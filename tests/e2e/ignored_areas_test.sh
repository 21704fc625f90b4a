#!/usr/bin/env bash
# Areas to ignore, end to end: a loopback camera whose only moving object, a
# ball, goes round the picture's border. With obszary.txt covering the ring
# the ball runs in (and a line the program cannot read, which it reports once
# and leaves in the file), nothing is detected; the same camera without the
# file is detected.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
camera_tool=$2
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"
log="$app/Dziennik.log"
errors="$E2E_WORK/stderr"

start_camera
export QUISK_EXTRA_SOURCES=$camera_url
crlf_lines "[Ruch]" "Alarm=0" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=0" >"$app/ustawienia.ini"
# Everything but the middle of the picture, which the ball never reaches.
areas=$'0 0 1 0.35\n0 0.65 1 0.35\n0 0.35 0.3 0.3\n0.7 0.35 0.3 0.3\nna calym obrazie\n'
printf '%s' "$areas" >"$app/obszary.txt"

# 1. With the areas: the camera streams to the program for a while (60
# frames, four times round the ring), and nothing is logged.
"$app/quisk-motion-detector" 2>"$errors" &
pid=$!
E2E_PIDS+=("$pid")
# The camera counts what it sent to its one client, this program.
wait_until 60 camera_sent_at_least 60 ||
    fail "the program did not watch the camera: $(cat "$E2E_WORK/camera.log")"
[ "$(log_lines)" -eq 0 ] || fail "motion in the ignored areas was detected: $(cat "$log")"
[ "$(grep -c 'na calym obrazie' "$errors")" -eq 1 ] || fail "the unreadable line not reported once: $(cat "$errors")"
stop_program "$pid"
[ "$(cat "$app/obszary.txt")" == "$(printf '%s' "$areas")" ] || fail "obszary.txt was rewritten"

# 2. Without the file: the ball is detected.
rm "$app/obszary.txt"
"$app/quisk-motion-detector" 2>"$errors" &
pid=$!
E2E_PIDS+=("$pid")
wait_until 60 logged_more_than 2 || fail "no detection without the areas: $(cat "$errors")"
stop_program "$pid"
echo "ignored areas: ok"
