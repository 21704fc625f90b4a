#!/usr/bin/env bash
# CPU use of the whole program against Debian's motion daemon, side by side,
# both watching the same loopback MJPEG-over-HTTP camera (640x480, 15 frames/s,
# a moving ball): our program with its window shown on a private Xvfb,
# detection and the log on, the alarm off; motion with pictures and movies off.
#
#   bench/program/compare_with_motion.sh BUILD_DIR [SECONDS]
#
# Two rounds, the two started in either order; SECONDS (default 60) each.
# BUILD_DIR is a build with the benchmarks (it holds the program and
# bench/capture/mjpeg_http_camera). motion is not a dependency of the project:
# install it for this measurement with `apt-get install motion`.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
program="$build/src/app/quisk-motion-detector"
camera="$build/bench/capture/mjpeg_http_camera"
for tool in motion Xvfb bc; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[ -x "$program" ] && [ -x "$camera" ] || { echo "build $program and $camera first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qmd-vs-motion.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    sleep 1
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

"$camera" --width 640 --height 480 --fps 15 >"$work/camera.out" &
pids+=($!)
camera_pid=$!
for _ in $(seq 100); do [ -s "$work/camera.out" ] && break; sleep 0.1; done
url=$(head -n 1 "$work/camera.out")
[ -n "$url" ] || { echo "the camera did not start" >&2; exit 1; }

# The consumer that connects second pays more (it wakes with the first one
# for every frame, on two cores shared with the X server), so each round
# starts them in the other order and both rounds are reported.
start_motion() {
    mkdir -p "$work/motion"
    cat >"$work/motion/motion.conf" <<CONF
daemon off
setup_mode off
log_level 4
log_file $work/motion/motion.log
target_dir $work/motion
netcam_url $url
width 640
height 480
framerate 15
picture_output off
movie_output off
stream_port 0
webcontrol_port 0
CONF
    motion -n -c "$work/motion/motion.conf" >/dev/null 2>&1 &
    pids+=($!)
    motion_pid=$!
}

start_program() {
    local fifo="$work/display" display
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    pids+=($!)
    xvfb_pid=$!
    read -r -t 20 display <"$fifo" || { echo "Xvfb did not start" >&2; exit 1; }
    rm -rf "$work/app" "$work/runtime" "$work/config"
    mkdir -p "$work/app" "$work/runtime" "$work/config"
    chmod 700 "$work/runtime"
    cp "$program" "$work/app/"
    printf '%s\r\n' "[Ruch]" "Alarm=0" "Prowadz dziennik=1" "[Ogolne]" "Ostatnie urzadzenie=0" >"$work/app/ustawienia.ini"
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" \
        QUISK_AUDIO_FILE="$work/audio.wav" QUISK_EXTRA_SOURCES="$url" "$work/app/quisk-motion-detector" >/dev/null 2>&1 &
    pids+=($!)
    program_pid=$!
    # Settled once it logs its first detections.
    for _ in $(seq 200); do [ -s "$work/app/Dziennik.log" ] && break; sleep 0.1; done
    [ -s "$work/app/Dziennik.log" ] || { echo "the program logged no detection" >&2; exit 1; }
}

stop() {
    kill -TERM "$@" 2>/dev/null || true
    for pid in "$@"; do
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    done
}

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
echo "CPU over $seconds s, % of one core (640x480 MJPEG over HTTP at 15 frames/s):"
total_ratio=0
for first in motion program; do
    if [ "$first" = motion ]; then start_motion; sleep 3; start_program; else start_program; start_motion; fi
    sleep "${QMD_SETTLE_SECONDS:-5}"
    kill -0 "$motion_pid" 2>/dev/null || { echo "motion ended: $(tail -n 3 "$work/motion/motion.log")" >&2; exit 1; }
    declare -A before=()
    for pid in "$program_pid" "$motion_pid" "$xvfb_pid"; do before[$pid]=$(ticks "$pid"); done
    sleep "$seconds"
    percent() { echo "scale=2; ($(ticks "$1") - ${before[$1]}) * 100 / $hz / $seconds" | bc; }
    ours=$(percent "$program_pid")
    theirs=$(percent "$motion_pid")
    x=$(percent "$xvfb_pid")
    ratio=$(echo "scale=2; $ours / $theirs" | bc)
    total_ratio=$(echo "scale=4; $total_ratio + $ratio" | bc)
    echo "  $first started first: quisk-motion-detector $ours, motion $theirs, ratio $ratio (X server drawing our window: $x)"
    stop "$program_pid" "$motion_pid" "$xvfb_pid"
done
echo "  mean ratio $(echo "scale=2; $total_ratio / 2" | bc)"
