#!/usr/bin/env bash
# "Pokaż powiadomienie" on: motion sends a desktop notification, with the
# time and a picture, to a notification daemon (python-dbusmock's) on a
# private session bus, and watching goes on meanwhile: the log keeps growing.
# Without any notification service the absence is said once on standard
# error and the detections go on.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
start_x_server
start_session_bus
app="$E2E_WORK/app"
install_program "$exe" "$app"
clip="$E2E_WORK/snow.avi"
make_snow_clip "$clip" 300
export QUISK_EXTRA_SOURCES="$clip"
settings() {
    crlf_lines "[Ruch]" "Alarm=0" "Powiadomienie=1" "[Ogolne]" "Opoznienie wykrywania=0" "Ostatnie urzadzenie=0" \
        >"$app/ustawienia.ini"
}
log="$app/Dziennik.log"

# No service on the bus yet.
settings
"$app/quisk-motion-detector" 2>"$E2E_WORK/stderr.none" &
pid=$!
E2E_PIDS+=("$pid")
some_lines() { [ "$(log_lines)" -ge 20 ]; }
wait_until 60 some_lines || fail "no detections logged without a notification service"
missing_said() { grep -q 'no desktop notification' "$E2E_WORK/stderr.none"; }
wait_until 30 missing_said || fail "the missing service was not reported: $(cat "$E2E_WORK/stderr.none")"
stop_program "$pid"
[ "$(grep -c 'no desktop notification' "$E2E_WORK/stderr.none")" -eq 1 ] ||
    fail "the missing service was reported more than once: $(cat "$E2E_WORK/stderr.none")"

# The daemon.
rm -f "$log"
daemon_log="$E2E_WORK/notifications.log"
/usr/bin/python3 -m dbusmock --template notification_daemon -l "$daemon_log" >/dev/null 2>&1 &
E2E_PIDS+=($!)
daemon_registered() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null | grep -q 'boolean true'
}
wait_until 20 daemon_registered || fail "the mock notification daemon did not start"

settings
"$app/quisk-motion-detector" 2>"$E2E_WORK/stderr" &
pid=$!
E2E_PIDS+=("$pid")
notified() { grep -q 'Notify' "$daemon_log" 2>/dev/null; }
wait_until 60 notified || fail "no notification: $(cat "$E2E_WORK/stderr")"
grep -q 'Wykryto ruch dnia [0-9]*\.[0-9]*\.[0-9]* o godzinie [0-9]*:[0-9]*:[0-9]*' "$daemon_log" ||
    fail "the notification does not tell the time: $(cut -c1-300 "$daemon_log")"
grep -q 'image-data' "$daemon_log" || fail "the notification carries no picture"
at_notice=$(log_lines)
grown() { [ "$(log_lines)" -ge $((at_notice + 10)) ]; }
wait_until 60 grown || fail "the log stopped growing at $at_notice lines after the notification"
stop_program "$pid"
if grep -q 'no desktop notification' "$E2E_WORK/stderr"; then fail "a failure reported: $(cat "$E2E_WORK/stderr")"; fi
echo "notification: ok ($(grep -c 'Notify' "$daemon_log") notification(s), $(log_lines) lines logged)"
