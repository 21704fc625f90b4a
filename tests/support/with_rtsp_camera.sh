#!/usr/bin/env bash
# with_rtsp_camera.sh SERVER COMMAND...: runs COMMAND while SERVER (the
# program of tests/support/rtsp_camera_server.cpp) serves a loopback RTSP
# camera, whose address QMD_RTSP_CAMERA holds. Started here rather than by the
# test: a process started from a sanitized, multi-threaded test cannot go on
# to start threads under ThreadSanitizer. The server ends with this script,
# even when it is killed.
set -euo pipefail
program=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/qmd-rtsp.XXXXXX")
setpriv --pdeathsig TERM "$program" >"$work/port" 2>"$work/server.log" &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 200); do
    [ -s "$work/port" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.025
done
port=$(head -n 1 "$work/port")
if [ -z "$port" ]; then
    echo "with_rtsp_camera: the server did not start" >&2
    cat "$work/server.log" >&2
    exit 1
fi
export QMD_RTSP_CAMERA="rtsp://127.0.0.1:$port/camera"
"$@"
