#!/usr/bin/env bash
# with_cancelling_portal.sh COMMAND...: runs COMMAND on a private session bus
# that holds a desktop portal whose file chooser is cancelled at once, with
# Qt's portal theme, so any dialog that Qt hands to the desktop comes back
# cancelled instead of showing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${QMD_IN_PRIVATE_BUS:-}" ]; then
    QMD_IN_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
/usr/bin/python3 -m dbusmock --template "$here/cancelling_portal.py" &
mock=$!
trap 'kill $mock 2>/dev/null || true' EXIT
for ((i = 0; i < 200; i++)); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.portal.Desktop 2>/dev/null |
        grep -q 'boolean true' && break
    sleep 0.05
done
QT_QPA_PLATFORMTHEME=xdgdesktopportal "$@"
