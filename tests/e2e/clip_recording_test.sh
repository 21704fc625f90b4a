#!/usr/bin/env bash
# "Nagraj film" against the loopback MJPEG camera, read back as a player
# reads the clip (matroskademux):
# - a still scene for 10 s, the ball moving for 3 s, then still again gives
#   one clip of 11 +- 1 s (3 s before the first detection, 5 s after the
#   last), every frame of it byte for byte an image the camera sent; the
#   folder's older clips over its limit go, its other files stay;
# - a program killed (SIGKILL) 5 s into a clip leaves one that plays >= 4 s;
# - a clip whose file cannot grow (a file-size limit, as a full disk) ends,
#   said once on standard error, and the detection goes on.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
camera_tool=$2
clip_frames=$3
start_x_server
app="$E2E_WORK/app"
install_program "$exe" "$app"
log="$app/Dziennik.log"
errors="$E2E_WORK/stderr"
clips="$E2E_WORK/filmy"
fps=15
launcher=()

# The program's own clips, named as it names them.
clip_files() {
    find "$clips" -maxdepth 1 -type f |
        grep -E '/Film nagrany w dniu [0-9]+\.[0-9]+\.[0-9]+ o godzinie \.[0-9]+\.[0-9]+\.[0-9]+\.mkv$' | sort || true
}
clip_count() { clip_files | grep -c '' || true; }
has_clip() { [ "$(clip_count)" -ge 1 ]; }
# clip_ms FILE: the time from the first frame to the end of the last.
clip_ms() {
    "$clip_frames" "$1" >"$E2E_WORK/frames" || fail "the clip cannot be read: $1"
    awk -v fps="$fps" 'NR == 1 { first = $1 } { last = $1 } END { print int((last - first) / 1e6 + 1000 / fps) }' \
        "$E2E_WORK/frames"
}
start_with_clips() { # EXTRA_SETTINGS...
    rm -f "$log"
    crlf_lines "[Ruch]" "Alarm=0" "Prowadz dziennik=1" "Nagraj film=$clips" "Film przed ruchem=3" "Film po ruchu=5" \
        "$@" "[Ogolne]" "Ostatnie urzadzenie=0" >"$app/ustawienia.ini"
    export QUISK_EXTRA_SOURCES=$camera_url
    "${launcher[@]}" "$app/quisk-motion-detector" 2>"$errors" &
    pid=$!
    E2E_PIDS+=("$pid")
}

# --- One event, one clip of the camera's own images; the folder pruned.
mkdir -p "$clips"
old1="$clips/Film nagrany w dniu 1.1.2020 o godzinie .1.2.3.mkv"
old2="$clips/Film nagrany w dniu 2.1.2020 o godzinie .1.2.3.mkv"
# 1 MB each, under a limit of 1 MiB: one goes when the clip starts, the
# other once the new clip is written.
head -c 1000000 /dev/zero >"$old1"
head -c 1000000 /dev/zero >"$old2"
head -c 3000000 /dev/zero >"$clips/notatki.txt"
head -c 800000 /dev/zero >"$clips/Film nagrany w dniu wczoraj.mkv"
touch -d '2020-01-01' "$old1" "$clips/notatki.txt" "$clips/Film nagrany w dniu wczoraj.mkv"
touch -d '2020-01-02' "$old2"
start_camera --fps "$fps" --still-seconds 10 --moving-seconds 3 --digests "$E2E_WORK/digests"
start_with_clips "Limit filmow=1"
# Until the clip's tail is over: 10 + 3 + 5 s of the scene, and 2 s more.
wait_until 90 camera_sent_at_least $((20 * fps)) || fail "the camera stopped sending"
kill -0 "$pid" || fail "the program ended: $(cat "$errors")"
stop_program "$pid"
stop_camera
[ ! -e "$old1" ] && [ ! -e "$old2" ] || fail "the older clips over the limit stay: $(ls -l "$clips")"
[ "$(clip_count)" -eq 1 ] || fail "not one clip: $(clip_files) $(cat "$errors")"
clip=$(clip_files)
ms=$(clip_ms "$clip")
((ms >= 10000 && ms <= 12000)) || fail "the clip lasts $ms ms"
unsent=$(cut -d ' ' -f 2 "$E2E_WORK/frames" | grep -cvxF -f "$E2E_WORK/digests" || true)
[ "$unsent" -eq 0 ] || fail "$unsent frames of the clip are not images the camera sent"
[ -f "$clips/notatki.txt" ] && [ -f "$clips/Film nagrany w dniu wczoraj.mkv" ] || fail "a file not ours was removed"
echo "one event: a clip of $ms ms, $(grep -c '' "$E2E_WORK/frames") frames, all the camera's own"

# --- Killed 5 s into a clip: what was written plays.
remove_our_clips() { clip_files | while read -r file; do rm -f "$file"; done; }
# The frames the camera has sent so far, asked and waited for.
frames_sent() {
    local answers
    answers=$(grep -c 'so far' "$E2E_WORK/camera.log" || true)
    kill -USR1 "$camera_pid"
    _answered() { [ "$(grep -c 'so far' "$E2E_WORK/camera.log")" -gt "$answers" ]; }
    wait_until 10 _answered || fail "the camera does not answer"
    grep 'so far' "$E2E_WORK/camera.log" | tail -n 1 | sed 's/.* \([0-9]*\) frames sent$/\1/'
}
remove_our_clips
start_camera --fps "$fps" --still-seconds 5 --moving-seconds 30
start_with_clips
wait_until 60 has_clip || fail "no clip begun: $(cat "$errors")"
begun=$(frames_sent)
wait_until 60 camera_sent_at_least $((begun + 5 * fps)) || fail "the camera stopped sending"
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
stop_camera
ms=$(clip_ms "$(clip_files | head -n 1)")
((ms >= 4000)) || fail "the clip of a killed program plays $ms ms"
echo "killed 5 s into a clip: it plays $ms ms"

# --- A clip that cannot grow ends; watching goes on.
remove_our_clips
start_camera --fps "$fps" --still-seconds 4 --moving-seconds 20
# 40 kB: the settings and the log fit, the clip does not.
launcher=(bash -c 'ulimit -f 40 && exec "$0"')
start_with_clips
clip_failed() { grep -q 'the clip .* ends here' "$errors"; }
wait_until 60 clip_failed || fail "the failed write not reported: $(cat "$errors")"
seen=$(log_lines)
wait_until 30 logged_more_than $((seen + 5)) || fail "detection stopped after the failed clip: $(cat "$errors")"
[ "$(grep -c 'the clip .* ends here' "$errors")" -eq 1 ] || fail "the failure said more than once: $(cat "$errors")"
stop_program "$pid"
stop_camera
echo "clip recording: ok"
