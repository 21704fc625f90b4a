#!/usr/bin/env bash
# The remembered source fails at start-up and its error box waits for an
# answer: SIGTERM still ends the program at once, in order, with status 0.
# Out of file descriptors, where the box cannot be made (making it blocked
# for good in the X connection), the error goes to standard error and the
# program ends with status 1, leaving the single-instance lock free.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"
printf 'not a video\n' >"$E2E_WORK/notes.avi"
export QUISK_EXTRA_SOURCES="$E2E_WORK/notes.avi"
crlf_lines "[Ruch]" "Czulosc=120" "[Ogolne]" "Ostatnie urzadzenie=0" >"$app/ustawienia.ini"

"$app/quisk-motion-detector" 2>"$E2E_WORK/stderr" &
pid=$!
E2E_PIDS+=("$pid")
# The box carries the program's title too: two windows of that name.
error_box_open() { [ "$(xdotool search --onlyvisible --name '^Quisk Motion Detector$' 2>/dev/null | wc -l)" -ge 2 ]; }
wait_until 30 error_box_open || fail "no error box at start-up: $(cat "$E2E_WORK/stderr")"

started=$(date +%s%N)
stop_program "$pid"
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
((elapsed_ms < 2000)) || fail "SIGTERM took $elapsed_ms ms with the start-up error box open"
grep -q $'^Czulosc=120\r$' "$app/ustawienia.ini" || fail "settings not written: $(cat -A "$app/ustawienia.ini")"
echo "start-up error and SIGTERM: ok"

(
    ulimit -n 24
    exec "$app/quisk-motion-detector" 2>"$E2E_WORK/stderr"
) &
pid=$!
E2E_PIDS+=("$pid")
wait_until 60 process_ended "$pid" || fail "out of descriptors, the start-up hangs: $(cat "$E2E_WORK/stderr")"
status=0
wait "$pid" || status=$?
[ "$status" -eq 1 ] || fail "out of descriptors, the program ended with status $status: $(cat "$E2E_WORK/stderr")"
grep -q '^Quisk Motion Detector: ' "$E2E_WORK/stderr" || fail "the error not on standard error: $(cat "$E2E_WORK/stderr")"
echo "start-up error out of descriptors: ok"
