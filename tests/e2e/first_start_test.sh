#!/usr/bin/env bash
# The program copied alone into an empty directory: the window at its design
# place, one instance only, SIGTERM closes it in order and leaves the
# settings in CR LF lines.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"

"$app/quisk-motion-detector" &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 has_visible_main_window || fail "no window titled Quisk Motion Detector"
window=$(visible_main_window)
geometry=$(xwininfo -id "$window")
grep -q 'Absolute upper-left X:  480$' <<<"$geometry" || fail "window not at x 480: $geometry"
grep -q 'Absolute upper-left Y:  266$' <<<"$geometry" || fail "window not at y 266: $geometry"

# A second start leaves at once and the first goes on.
started=$(date +%s%N)
timeout 10 "$app/quisk-motion-detector" || fail "the second start failed"
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
((elapsed_ms < 2000)) || fail "the second start took $elapsed_ms ms"
kill -0 "$pid" || fail "the first instance ended"
has_visible_main_window || fail "the first instance's window went away"
[ "$(xdotool search --onlyvisible --name '^Quisk Motion Detector$' | wc -l)" -eq 1 ] ||
    fail "the second start opened a window"

stop_program "$pid"
expected=$(crlf_lines "[Ruch]" "Czulosc=150" "[Ogolne]" "Pozycja X=480" "Pozycja Y=266" | od -c)
actual=$(od -c <"$app/ustawienia.ini")
[ "$expected" = "$actual" ] || fail "ustawienia.ini differs: $(cat -A "$app/ustawienia.ini")"
echo "first start: ok"
