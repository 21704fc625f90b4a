#!/usr/bin/env bash
# with_secret_service.sh COMMAND...: runs COMMAND on a D-Bus session bus of
# its own where a gnome-keyring-daemon serves the Secret Service with its
# login collection unlocked, as after a desktop log-on. HOME and the XDG
# folders are temporary, so the user's own keyring is never touched. The
# daemon's process id is in QMD_KEYRING_PID (a test may stop it to play a
# Secret Service that no longer answers). The bus and the daemon end with
# this script, even when it is killed.
set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/qmd-keyring.XXXXXX")
bus_pid=
keyring_pid=
cleanup() {
    [ -n "$keyring_pid" ] && { kill -CONT "$keyring_pid"; kill "$keyring_pid"; } 2>/dev/null || true
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/runtime" "$work/config" "$work/data"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
# The test's own bus: what activation would start is started here instead.
read -r DBUS_SESSION_BUS_ADDRESS bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -sd ' ')
export DBUS_SESSION_BUS_ADDRESS
# --unlock reads the login collection's password from standard input and
# creates the collection when there is none.
keyring_env=$(printf 'qmd-test' | gnome-keyring-daemon --daemonize --unlock --components=secrets)
for _ in $(seq 200); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true' && break
    sleep 0.025
done
# The daemon does not say its process id when it has a bus to find it on.
keyring_pid=$(sed -n 's/^GNOME_KEYRING_PID=//p' <<<"$keyring_env")
if [ -z "$keyring_pid" ]; then
    keyring_pid=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets 2>/dev/null |
        awk '/uint32/ { print $2 }')
fi
export QMD_KEYRING_PID="$keyring_pid"
"$@"
