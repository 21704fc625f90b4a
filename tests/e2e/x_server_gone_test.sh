#!/usr/bin/env bash
# The X server goes away while the alarm sounds on the frame thread, as when a
# session ends before it asks the program to quit: Qt ends the process with
# status 1, and nothing the frame thread still uses is destroyed under it.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
x_server=${E2E_PIDS[-1]}
app="$E2E_WORK/app"
install_program "$exe" "$app"
clip="$E2E_WORK/snow.avi"
make_snow_clip "$clip" 300
export QUISK_EXTRA_SOURCES="$clip"
crlf_lines "[Ruch]" "Alarm=1" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=0" >"$app/ustawienia.ini"

"$app/quisk-motion-detector" 2>"$E2E_WORK/stderr" &
pid=$!
E2E_PIDS+=("$pid")
alarm_sounding() { [ -s "$QUISK_AUDIO_FILE" ]; }
wait_until 60 alarm_sounding || fail "the alarm did not sound"
kill -TERM "$x_server"
wait_until 30 process_ended "$pid" || fail "the program did not end without its X server"
status=0
wait "$pid" || status=$?
if grep -q "Sanitizer" "$E2E_WORK/stderr" || [ "$status" -ne 1 ]; then
    cat "$E2E_WORK/stderr" >&2
    fail "the program ended with status $status"
fi
echo "X server gone: ok"
