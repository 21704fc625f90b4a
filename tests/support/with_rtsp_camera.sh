#!/usr/bin/env bash
# with_rtsp_camera.sh SERVER COMMAND...: runs COMMAND while SERVER (the
# program of tests/support/rtsp_camera_server.cpp) serves a loopback RTSP
# camera, whose address QMD_RTSP_CAMERA holds, and the same camera behind the
# user "admin" and the password "secret", at QMD_RTSP_LOCKED_CAMERA, an
# H.265 camera at QMD_RTSP_H265_CAMERA, a JPEG one at QMD_RTSP_JPEG_CAMERA
# and an MPEG-4 one at QMD_RTSP_MPEG4_CAMERA.
# Started
# here rather than by the test: a process started from a sanitized,
# multi-threaded test cannot go on to start threads under ThreadSanitizer.
# The servers end with this script, even when it is killed.
set -euo pipefail
program=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/qmd-rtsp.XXXXXX")
servers=()
cleanup() {
    kill "${servers[@]}" 2>/dev/null || true
    wait "${servers[@]}" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# serve NAME [OPTION]: starts a server and prints its port.
serve() {
    setpriv --pdeathsig TERM "$program" "${@:2}" >"$work/$1.port" 2>"$work/$1.log" &
    servers+=($!)
    local server=$!
    for _ in $(seq 200); do
        [ -s "$work/$1.port" ] && break
        kill -0 "$server" 2>/dev/null || break
        sleep 0.025
    done
    if [ ! -s "$work/$1.port" ]; then
        echo "with_rtsp_camera: the server did not start" >&2
        cat "$work/$1.log" >&2
        exit 1
    fi
}
serve open
serve locked --locked
serve h265 --h265
serve jpeg --jpeg
serve mpeg4 --mpeg4
export QMD_RTSP_CAMERA="rtsp://127.0.0.1:$(head -n 1 "$work/open.port")/camera"
export QMD_RTSP_LOCKED_CAMERA="rtsp://127.0.0.1:$(head -n 1 "$work/locked.port")/camera"
export QMD_RTSP_H265_CAMERA="rtsp://127.0.0.1:$(head -n 1 "$work/h265.port")/camera"
export QMD_RTSP_JPEG_CAMERA="rtsp://127.0.0.1:$(head -n 1 "$work/jpeg.port")/camera"
export QMD_RTSP_MPEG4_CAMERA="rtsp://127.0.0.1:$(head -n 1 "$work/mpeg4.port")/camera"
"$@"
