#!/usr/bin/env bash
# "Nagraj film" with an rtsp:// H.264 camera (the loopback RTSP server, its
# ball always moving) that loses a packet from the middle of a picture: the
# clip holds the camera's access units unchanged (their coded slices byte for
# byte, whatever framing Matroska gave them), none cut short by the loss,
# and plays (libav decodes every frame of it without an error).
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
rtsp_server=$2
clip_frames=$3
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"
errors="$E2E_WORK/stderr"
clips="$E2E_WORK/filmy"
mkdir -p "$clips"

"$rtsp_server" --digests "$E2E_WORK/sent" --lose-packet >"$E2E_WORK/rtsp.port" 2>"$E2E_WORK/rtsp.log" &
E2E_PIDS+=($!)
wait_until 20 test -s "$E2E_WORK/rtsp.port" || fail "the RTSP camera did not start: $(cat "$E2E_WORK/rtsp.log")"
# Over TCP (rtspt://): the clip is to hold what arrived, byte for byte, and
# on a loaded machine the loopback drops UDP packets now and then, leaving an
# access unit short of what the camera sent.
export QUISK_EXTRA_SOURCES="rtspt://127.0.0.1:$(head -n 1 "$E2E_WORK/rtsp.port")/camera"
crlf_lines "[Ruch]" "Alarm=0" "Nagraj film=$clips" "Film przed ruchem=2" "Film po ruchu=2" \
    "[Ogolne]" "Ostatnie urzadzenie=0" >"$app/ustawienia.ini"
"$app/quisk-motion-detector" 2>"$errors" &
pid=$!
E2E_PIDS+=("$pid")

clip() { find "$clips" -name 'Film nagrany w dniu *.mkv' | head -n 1; }
has_clip() { [ -n "$(clip)" ]; }
wait_until 60 has_clip || fail "no clip: $(cat "$errors")"
# Four seconds of the camera (10 frames/s) after the clip began.
sent_lines() { grep -c '' "$E2E_WORK/sent" || true; }
begun=$(sent_lines)
sent_more() { [ "$(sent_lines)" -ge $((begun + 40)) ]; }
wait_until 60 sent_more || fail "the camera stopped sending"
stop_program "$pid"
grep -q '^lost packet' "$E2E_WORK/rtsp.log" || fail "the camera lost no packet: $(cat "$E2E_WORK/rtsp.log")"

"$clip_frames" --slices "$(clip)" >"$E2E_WORK/frames" || fail "the clip cannot be read"
frames=$(grep -c '' "$E2E_WORK/frames" || true)
((frames >= 30)) || fail "the clip holds $frames access units"
changed=$(cut -d ' ' -f 2 "$E2E_WORK/frames" | grep -cvxF -f "$E2E_WORK/sent" || true)
[ "$changed" -eq 0 ] || fail "$changed of $frames access units are not the camera's"
decoded=$(gst-launch-1.0 -m filesrc location="$(clip)" ! matroskademux ! avdec_h264 ! fakesink silent=false 2>&1) ||
    fail "the clip does not play: $(tail -n 5 <<<"$decoded")"
echo "rtsp clip: $frames access units, all the camera's own, and it plays"
