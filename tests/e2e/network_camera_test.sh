#!/usr/bin/env bash
# A network camera added the way a desktop user does it, with the keyboard
# under a real window manager: "Urządzenia" → "Dodaj kamerę sieciową…", a
# name, Tab, the address of a loopback camera asking for Digest, Tab, the
# user, Tab, the password, Enter. Detections are logged; after a restart
# without any environment variable the camera is watched again; the
# password is in the keyring and in no file of the program's folder or its
# configuration folder, as it is or hex-encoded, nor on standard error.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
camera_tool=$2
start_x_server
start_window_manager openbox
start_session_bus
start_keyring
app="$E2E_WORK/app"
install_program "$exe" "$app"
log="$app/Dziennik.log"
errors="$E2E_WORK/stderr"
password='Tajne:H@slo-7'
hex_password=$(printf '%s' "$password" | od -An -tx1 | tr -d ' \n')

start_camera --auth Digest --user admin --password "$password"
crlf_lines "[Ruch]" "Alarm=0" "[Ogolne]" "Opoznienie wykrywania=0" >"$app/ustawienia.ini"
"$app/quisk-motion-detector" 2>"$errors" &
pid=$!
E2E_PIDS+=("$pid")
wait_until 30 has_visible_main_window || fail "no main window: $(cat "$errors")"
main=$(visible_main_window)
xdotool windowactivate --sync "$main"

# Alt alone moves the focus to the menu bar, Down opens "Urządzenia", Up
# goes round to its last entry.
camera_window() { xdotool search --onlyvisible --name '^Kamera sieciowa$' 2>/dev/null | head -n 1; }
has_camera_window() { [ -n "$(camera_window)" ]; }
xdotool key --clearmodifiers alt
sleep 0.3
xdotool key Down
sleep 0.3
xdotool key Up Return
wait_until 20 has_camera_window || fail "\"Dodaj kamerę sieciową…\" opened no window: $(cat "$errors")"
xdotool windowactivate --sync "$(camera_window)" 2>/dev/null || true
xdotool type --delay 20 "Brama"
xdotool key Tab
xdotool type --delay 20 "$camera_url"
xdotool key Tab
xdotool type --delay 20 "admin"
xdotool key Tab
xdotool type --delay 20 "$password"
xdotool key Return
wait_until 20 eval '! has_camera_window' || fail "OK did not close the window"
wait_until 60 logged_more_than 0 || fail "no detection from the added camera: $(cat "$errors")"
stop_program "$pid"
grep -q '^Ostatnie urzadzenie=0' "$app/ustawienia.ini" || fail "the camera's position not kept: $(cat "$app/ustawienia.ini")"

# The restart: no environment variable names the camera.
[ -z "${QUISK_EXTRA_SOURCES:-}" ] || fail "QUISK_EXTRA_SOURCES is set"
before=$(log_lines)
"$app/quisk-motion-detector" 2>>"$errors" &
pid=$!
E2E_PIDS+=("$pid")
wait_until 60 logged_more_than "$before" || fail "the camera was not watched again after the restart: $(cat "$errors")"
stop_program "$pid"

for folder in "$app" "$XDG_CONFIG_HOME"; do
    if grep -rlF -e "$password" -e "$hex_password" "$folder"; then fail "the password is in a file above"; fi
done
if grep -qF "$password" "$errors"; then fail "the password is on standard error"; fi
[ ! -e "$app/hasla_kamer.ini" ] || fail "the password went to the file although a keyring runs"
grep -q '^Haslo=Secret Service' "$app/kamery.ini" || fail "the camera does not say its password is in the keyring"
echo "network camera: ok"
