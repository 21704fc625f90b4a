#!/usr/bin/env bash
# A remembered clip source plays at start-up, detection runs on it and every
# detection is logged in Dziennik.log.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"
clip="$E2E_WORK/ball.avi"
make_snow_clip "$clip" 120
export QUISK_EXTRA_SOURCES="$clip"
crlf_lines "[Ruch]" "Alarm=0" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=0" >"$app/ustawienia.ini"

"$app/quisk-motion-detector" &
pid=$!
E2E_PIDS+=("$pid")
log="$app/Dziennik.log"
logged_lines() { [ -f "$log" ] && [ "$(grep -c '' "$log")" -ge 10 ]; }
wait_until 60 logged_lines || fail "no detections logged"
stop_program "$pid"

pattern=$'^Wykryto ruch dnia [0-9]{1,2}\\.[0-9]{1,2}\\.[0-9]{4} o godzinie [0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2} \\([0-9]{1,3} ms\\)\r$'
bad=$(grep -cvE "$pattern" "$log" || true)
[ "$bad" -eq 0 ] || fail "malformed log lines: $(cat -A "$log" | head)"
grep -q $'^Ostatnie urzadzenie=0\r$' "$app/ustawienia.ini" || fail "device not stored"
echo "clip detection: ok ($(grep -c '' "$log") lines)"
