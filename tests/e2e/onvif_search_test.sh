#!/usr/bin/env bash
# An ONVIF camera found on the network and added with the keyboard, as a
# user does: "Urządzenia" → "Dodaj kamerę sieciową…", a name, the user and
# password, "Szukaj w sieci" lists the camera (the tests' own, answering the
# multicast probe inside a network namespace of this test's own), Enter on
# it fills "Adres" with its main stream (the loopback RTSP camera behind the
# same user and password), OK; the camera is then watched: detections are
# logged.
#
#   onvif_search_test.sh PROGRAM ONVIF_CAMERA RTSP_CAMERA_SERVER
if [ -z "${QMD_NETWORK_NAMESPACE:-}" ]; then
    exec "$(dirname "$0")/../support/in_network_namespace.sh" "$0" "$@"
fi
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
onvif_camera=$2
rtsp_server=$3
[ "${QMD_NETWORK_NAMESPACE:-}" = 1 ] || { echo "no network namespace: skipped"; exit 77; }
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"
log="$app/Dziennik.log"
errors="$E2E_WORK/stderr"

setpriv --pdeathsig TERM "$rtsp_server" --locked >"$E2E_WORK/rtsp.port" 2>"$E2E_WORK/rtsp.log" &
E2E_PIDS+=($!)
wait_until 20 test -s "$E2E_WORK/rtsp.port" || fail "the RTSP camera did not start: $(cat "$E2E_WORK/rtsp.log")"
stream="rtsp://127.0.0.1:$(head -n 1 "$E2E_WORK/rtsp.port")/camera"
"$onvif_camera" "$stream" >"$E2E_WORK/onvif.address" 2>"$E2E_WORK/onvif.log" &
E2E_PIDS+=($!)
wait_until 20 test -s "$E2E_WORK/onvif.address" || fail "the ONVIF camera did not start: $(cat "$E2E_WORK/onvif.log")"
answered() { grep -q "answered $1" "$E2E_WORK/onvif.log"; }

crlf_lines "[Ruch]" "Alarm=0" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=-1" >"$app/ustawienia.ini"
"$app/quisk-motion-detector" 2>"$errors" &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 has_visible_main_window || fail "no main window: $(cat "$errors")"
main=$(visible_main_window)
# Alt and its release put the menu bar in keyboard mode on "Urządzenia", the
# first menu; Down opens it, Up wraps to its last command. A window that has
# only just been mapped may miss the first keys: asked again, after Escape.
window() { xdotool search --onlyvisible --name '^Kamera sieciowa$' 2>/dev/null | head -n 1; }
window_open() { [ -n "$(window)" ]; }
for _ in 1 2 3; do
    xdotool windowfocus --sync "$main"
    xdotool key --clearmodifiers Escape alt Down Up Return
    wait_until 10 window_open && break
done
window_open || fail "the window \"Kamera sieciowa\" did not open: $(cat "$errors")"
dialog=$(window)
xdotool windowfocus --sync "$dialog"
# Nazwa, Adres (left empty), Użytkownik, Hasło; then past Sprawdź, OK and
# Anuluj to "Szukaj w sieci".
xdotool type --delay 20 "Brama"
xdotool key Tab Tab
xdotool type --delay 20 "admin"
xdotool key Tab
xdotool type --delay 20 "secret"
xdotool key Tab Tab Tab Tab space
# The search puts the focus on the list, whose first row is the current one
# once the camera has answered: Enter there asks the camera for its streams
# (pressed again until it is asked: the look may not have listed it yet).
enter_until() {
    local limit=$1 tries
    shift
    for ((tries = 0; tries < limit; ++tries)); do
        "$@" && return 0
        xdotool key Return
        wait_until 2 "$@" && return 0
    done
    return 1
}
enter_until 15 answered GetStreamUri || fail "the camera was not asked for its streams: $(cat "$E2E_WORK/onvif.log")"
! answered refused || fail "the camera refused the window's user and password"
# The answer puts the focus on "Strumień", where Enter is OK's.
window_closed() { [ -z "$(window)" ]; }
enter_until 10 window_closed || fail "OK did not close the window"
wait_until 60 logged_more_than 0 || fail "the camera found on the network was not watched: $(cat "$errors")"
grep -q "secret" "$app/ustawienia.ini" && fail "the password is in the settings"
stop_program "$pid"
echo "onvif search: ok"
