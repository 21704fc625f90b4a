#!/usr/bin/env bash
# with_xvfb.sh DEPTH COMMAND...: runs COMMAND against a private Xvfb of that
# colour depth, on a display number the server picks itself (no race with
# tests running beside it), with Qt's xcb platform.
set -euo pipefail
depth=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/qmd-xvfb.XXXXXX")
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 640x480x"$depth" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
if ! read -r -t 20 display <"$work/display"; then
    echo "with_xvfb: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
"$@"
