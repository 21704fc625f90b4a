#!/usr/bin/env bash
# A remembered clip source plays at start-up, detection runs on it and every
# detection is logged in Dziennik.log. The power action after each detection
# is refused by logind: the program goes on watching. At the end a quit
# signal ends it at once, although its settings cannot be written.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
start_refusing_logind
app="$E2E_WORK/app"
install_program "$exe" "$app"
clip="$E2E_WORK/ball.avi"
make_snow_clip "$clip" 120
export QUISK_EXTRA_SOURCES="$clip"
crlf_lines "[Ruch]" "Alarm=0" "Tryb pracy=1" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=0" \
    >"$app/ustawienia.ini"

"$app/quisk-motion-detector" 2>"$E2E_WORK/stderr" &
pid=$!
E2E_PIDS+=("$pid")
log="$app/Dziennik.log"
logged_lines() { [ -f "$log" ] && [ "$(grep -c '' "$log")" -ge 10 ]; }
wait_until 60 logged_lines || fail "no detections logged: $(cat "$E2E_WORK/stderr")"
kill -0 "$pid" || fail "the program ended after a refused power action"
grep -q 'Access denied' "$E2E_WORK/stderr" || fail "logind's refusal not reported: $(cat "$E2E_WORK/stderr")"

# The end of the session cannot wait for a box nobody answers.
chmod a-w "$app/ustawienia.ini"
started=$(date +%s%N)
stop_program "$pid"
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
((elapsed_ms < 2000)) || fail "SIGTERM took $elapsed_ms ms with write-protected settings"
grep -q "Unable to write to $app/ustawienia.ini" "$E2E_WORK/stderr" || fail "the failed write not reported"

pattern=$'^Wykryto ruch dnia [0-9]{1,2}\\.[0-9]{1,2}\\.[0-9]{4} o godzinie [0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2} \\([0-9]{1,3} ms\\)\r$'
bad=$(grep -cvE "$pattern" "$log" || true)
[ "$bad" -eq 0 ] || fail "malformed log lines: $(cat -A "$log" | head)"
grep -q $'^Ostatnie urzadzenie=0\r$' "$app/ustawienia.ini" || fail "device not stored"
echo "clip detection: ok ($(grep -c '' "$log") lines)"
