#!/usr/bin/env bash
# The desktop's session manager: a checkpoint (a save that ends nothing)
# leaves the program running; the end of the session ends it with the
# settings written.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
manager=$2
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"
crlf_lines "[Ruch]" "Czulosc=140" >"$app/ustawienia.ini"

mkfifo "$E2E_WORK/sm-in"
"$manager" <"$E2E_WORK/sm-in" >"$E2E_WORK/sm-out" 2>&1 &
E2E_PIDS+=($!)
exec 4>"$E2E_WORK/sm-in"
manager_says() { grep -qx "$1" "$E2E_WORK/sm-out"; }
wait_until 10 test -s "$E2E_WORK/sm-out" || fail "the session manager did not start"
SESSION_MANAGER=$(head -n 1 "$E2E_WORK/sm-out")
export SESSION_MANAGER

"$app/quisk-motion-detector" &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 has_visible_main_window || fail "no window"
wait_until 20 manager_says ready || fail "the program did not register: $(cat "$E2E_WORK/sm-out")"
xdotool search --onlyvisible --name '^Quisk Motion Detector$' windowmove --sync 200 150 >/dev/null

echo checkpoint >&4
wait_until 20 manager_says saved || fail "the checkpoint was not answered"
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "a checkpoint ended the program"
has_visible_main_window || fail "a checkpoint closed the window"

echo logout >&4
wait_until 20 manager_says died || fail "the end of the session was not answered"
wait_until 2 process_ended "$pid" || fail "the program did not end within 2 s of the session's end"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
grep -q $'^Czulosc=140\r$' "$app/ustawienia.ini" || fail "settings not written: $(cat -A "$app/ustawienia.ini")"
grep -q $'^Pozycja X=200\r$' "$app/ustawienia.ini" || fail "position not written: $(cat -A "$app/ustawienia.ini")"
echo "session manager: ok"
