#!/usr/bin/env bash
# A Wayland desktop without any X display (headless Weston; DISPLAY names a
# server that is gone): the program runs on Wayland, where it can neither
# learn nor choose its window's place. Frames flow and are detected, SIGTERM
# ends it in order, and the place stored before stays as it was.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_wayland_session
export DISPLAY=:65000
app="$E2E_WORK/app"
install_program "$exe" "$app"
clip="$E2E_WORK/snow.avi"
make_snow_clip "$clip" 300
export QUISK_EXTRA_SOURCES="$clip"
crlf_lines "[Ruch]" "Alarm=0" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=0" \
    "Pozycja X=200" "Pozycja Y=150" >"$app/ustawienia.ini"

# Some of what Qt's Wayland client and Mesa keep until exit is allocated in
# code without frame pointers; only full stacks tell LeakSanitizer whose it is.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:fast_unwind_on_malloc=0"
"$app/quisk-motion-detector" &
pid=$!
E2E_PIDS+=("$pid")
# The log's first line says that the window was made and the clip plays.
detected() { [ -s "$app/Dziennik.log" ]; }
wait_until 30 detected || fail "nothing detected on Wayland"
stop_program "$pid"
grep -q $'^Czulosc=150\r$' "$app/ustawienia.ini" || fail "the close did not store the settings"
grep -q $'^Pozycja X=200\r$' "$app/ustawienia.ini" && grep -q $'^Pozycja Y=150\r$' "$app/ustawienia.ini" ||
    fail "stored place overwritten: $(cat -A "$app/ustawienia.ini")"
echo "Wayland without X: ok"
