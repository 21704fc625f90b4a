#!/usr/bin/env bash
# CPU use of the whole program against Debian's motion daemon, side by side,
# both watching the same loopback MJPEG-over-HTTP camera that sends
# camera-like footage (bench/program/make_footage.sh): our program with
# detection and the log on and the alarm off, its window shown on a private
# Xvfb or started in the tray ("-t", with a StatusNotifier host on a private
# session bus); motion with pictures and movies off.
#
#   bench/program/compare_with_motion.sh [--rtsp] BUILD_DIR [SECONDS] [CASE...]
#
# With --rtsp the camera is an rtsp:// H.264 one instead: the same footage
# encoded beforehand as an IP camera encodes it (make_footage.sh ... h264)
# and sent, without encoding anything while measuring, by the loopback RTSP
# server tests/support/qmd_rtsp_camera_server, started anew for each round,
# one for each program.
#
# A case is WIDTHxHEIGHT@FPS/shown or /tray; by default 640x480@15,
# 1280x720@30 and 1920x1080@30, each shown and in the tray. Each case runs
# two rounds of SECONDS (default 30), the two programs started in either
# order, and prints both programs' CPU, the ratio, and where ours spent it,
# thread by thread, and both programs' peak RSS. CPU is the scheduler's exact
# count, not clock ticks.
# BUILD_DIR is a build with the tests (it holds the program and the loopback
# camera tests/support/qmd_mjpeg_http_camera). motion is not a dependency of
# the project: install it for this measurement with `apt-get install motion`.
# QMD_FOOTAGE_DIR keeps the footage made for a case for the next run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
kind=mjpeg
if [ "${1:-}" = --rtsp ]; then kind=rtsp; shift; fi
build=$(cd "$1" && pwd)
seconds=${2:-30}
shift $(( $# >= 2 ? 2 : 1 ))
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(640x480@15/shown 640x480@15/tray 1280x720@30/shown 1280x720@30/tray
    1920x1080@30/shown 1920x1080@30/tray)
program="$build/src/app/quisk-motion-detector"
camera="$build/tests/support/qmd_mjpeg_http_camera"
if [ "$kind" = rtsp ]; then camera="$build/tests/support/qmd_rtsp_camera_server"; fi
for tool in motion Xvfb bc dbus-daemon gst-launch-1.0; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
/usr/bin/python3 -c 'import dbusmock' 2>/dev/null || { echo "needs python3-dbusmock" >&2; exit 2; }
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
footage_dir=${QMD_FOOTAGE_DIR:-$work}

stop() {
    kill -TERM "$@" 2>/dev/null || true
    for pid in "$@"; do
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    done
}

start_camera() {  # WIDTH HEIGHT FPS
    if [ "$kind" = rtsp ]; then start_rtsp_camera "$@"; return; fi
    local footage="$footage_dir/footage-$1x$2@$3"
    [ -d "$footage" ] || "$here/make_footage.sh" "$1" "$2" "$3" $(( $3 * 10 )) "$footage"
    "$camera" --fps "$3" --frames-from "$footage" >"$work/camera.out" 2>"$work/camera.err" &
    pids+=($!)
    camera_pid=$!
    for _ in $(seq 100); do [ -s "$work/camera.out" ] && break; sleep 0.1; done
    url=$(head -n 1 "$work/camera.out")
    [ -n "$url" ] || { echo "the camera did not start: $(cat "$work/camera.err")" >&2; exit 1; }
}

# Footage long enough for a round (the file is sent once, from the start,
# when its first viewer connects), encoded once per case. Each program gets
# a server of its own: gst-rtsp-server 1.22 aborts now and then when one
# shared stream gets a client over TCP (motion's default) beside one over UDP
# (ours).
start_rtsp_camera() {  # WIDTH HEIGHT FPS
    local footage="$footage_dir/h264-$1x$2@$3-$(( seconds + 40 ))s"
    [ -f "$footage/footage.mkv" ] || "$here/make_footage.sh" "$1" "$2" "$3" $(( $3 * (seconds + 40) )) "$footage" h264
    camera_pids=()
    local name port
    for name in camera motion-camera; do
        "$camera" --file "$footage/footage.mkv" >"$work/$name.out" 2>"$work/$name.err" &
        pids+=($!)
        camera_pids+=($!)
        for _ in $(seq 100); do [ -s "$work/$name.out" ] && break; sleep 0.1; done
        [ -s "$work/$name.out" ] || { echo "the camera did not start: $(cat "$work/$name.err")" >&2; exit 1; }
    done
    url="rtsp://127.0.0.1:$(head -n 1 "$work/camera.out")/camera"
    motion_url="rtsp://127.0.0.1:$(head -n 1 "$work/motion-camera.out")/camera"
}

start_motion() {  # WIDTH HEIGHT FPS
    rm -rf "$work/motion"
    mkdir -p "$work/motion"
    cat >"$work/motion/motion.conf" <<CONF
daemon off
setup_mode off
log_level 4
log_file $work/motion/motion.log
target_dir $work/motion
netcam_url ${motion_url:-$url}
width $1
height $2
framerate $3
picture_output off
movie_output off
stream_port 0
webcontrol_port 0
CONF
    motion -n -c "$work/motion/motion.conf" >/dev/null 2>&1 &
    pids+=($!)
    motion_pid=$!
}

start_x_server() {
    local fifo="$work/display"
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    pids+=($!)
    xvfb_pid=$!
    read -r -t 20 display <"$fifo" || { echo "Xvfb did not start" >&2; exit 1; }
    rm -f "$fifo"
}

# A session bus with a StatusNotifier host, where "-t" puts the icon.
start_tray_host() {
    dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
    pids+=($!)
    bus_pid=$!
    for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.1; done
    bus=$(head -n 1 "$work/bus")
    DBUS_SESSION_BUS_ADDRESS="$bus" /usr/bin/python3 -m dbusmock --session \
        --template "$here/../../tests/e2e/status_notifier_watcher.py" >/dev/null 2>&1 &
    pids+=($!)
    watcher_pid=$!
    sleep 2
}

start_program() {  # shown|tray
    rm -rf "$work/app" "$work/runtime" "$work/config"
    mkdir -p "$work/app" "$work/runtime" "$work/config"
    chmod 700 "$work/runtime"
    cp "$program" "$work/app/"
    # Its private libraries, where it looks for them from its own folder.
    rm -rf "$work/lib"
    if [ -d "$(dirname "$program")/../lib/quisk-motion-detector" ]; then
        mkdir -p "$work/lib"
        cp -r "$(dirname "$program")/../lib/quisk-motion-detector" "$work/lib/"
    fi
    printf '%s\r\n' "[Ruch]" "Alarm=0" "Prowadz dziennik=1" "[Ogolne]" "Ostatnie urzadzenie=0" >"$work/app/ustawienia.ini"
    local tray=()
    [ "$1" = tray ] && tray=(-t)
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" \
        DBUS_SESSION_BUS_ADDRESS="${bus:-disabled:}" QUISK_AUDIO_FILE="$work/audio.wav" QUISK_EXTRA_SOURCES="$url" \
        "$work/app/quisk-motion-detector" "${tray[@]}" >"$work/program.err" 2>&1 &
    pids+=($!)
    program_pid=$!
    # Settled once it logs its first detections.
    for _ in $(seq 200); do [ -s "$work/app/Dziennik.log" ] && break; sleep 0.1; done
    [ -s "$work/app/Dziennik.log" ] || {
        echo "the program logged no detection: $(tail -n 3 "$work/program.err")" >&2
        echo "the camera said: $(tail -n 5 "$work/camera.err")" >&2
        exit 1
    }
}

# CPU time in nanoseconds, exact (the scheduler's own count rather than
# clock ticks): a process's summed over its threads, then each thread's as
# "nanoseconds name".
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%.0f", sum }'; }
thread_ns() {
    local task
    for task in /proc/"$1"/task/*; do
        printf '%s %s\n' "$(cut -d ' ' -f 1 "$task/schedstat" 2>/dev/null || echo 0)" "$(tr ' ' '_' <"$task/comm" 2>/dev/null)"
    done
}
percent_of() { echo "scale=2; $1 / 10000000 / $seconds" | bc; }
peak_mb() { awk '/^VmHWM:/ { printf "%.0f", $2 / 1024 }' /proc/"$1"/status; }

if [ "$kind" = rtsp ]; then
    echo "CPU over $seconds s per round, % of one core; the camera sends camera-like footage as H.264 over RTSP."
else
    echo "CPU over $seconds s per round, % of one core; the camera sends camera-like footage as JPEG of quality 85."
fi
for case in "${cases[@]}"; do
    size=${case%@*} rest=${case#*@}
    width=${size%x*} height=${size#*x} fps=${rest%/*} window=${rest#*/}
    if [ "$kind" = mjpeg ]; then
        start_camera "$width" "$height" "$fps"
        echo "$case ($(tail -n 1 "$work/camera.err" | sed 's/^mjpeg_http_camera: //')):"
    else
        echo "$case:"
    fi
    total_ratio=0
    for first in motion program; do
        if [ "$kind" = rtsp ]; then start_camera "$width" "$height" "$fps"; fi
        bus=
        [ "$window" = tray ] && start_tray_host
        start_x_server
        if [ "$first" = motion ]; then
            start_motion "$width" "$height" "$fps"; sleep 3; start_program "$window"
        else
            start_program "$window"; start_motion "$width" "$height" "$fps"
        fi
        sleep "${QMD_SETTLE_SECONDS:-5}"
        kill -0 "$motion_pid" 2>/dev/null || { echo "motion ended: $(tail -n 3 "$work/motion/motion.log")" >&2; exit 1; }
        declare -A before=()
        for pid in "$program_pid" "$motion_pid" "$xvfb_pid"; do before[$pid]=$(cpu_ns "$pid"); done
        thread_ns "$program_pid" >"$work/threads.before"
        sleep "$seconds"
        thread_ns "$program_pid" >"$work/threads.after"
        percent() { percent_of "$(( $(cpu_ns "$1") - ${before[$1]} ))"; }
        ours=$(percent "$program_pid")
        theirs=$(percent "$motion_pid")
        x=$(percent "$xvfb_pid")
        ratio=$(echo "scale=2; $ours / $theirs" | bc)
        total_ratio=$(echo "scale=4; $total_ratio + $ratio" | bc)
        # Threads of one name summed (GStreamer's and Qt's helpers come in sets).
        threads=$(awk 'NR == FNR { seen[$2] += $1; next } { now[$2] += $1 } END {
                for (name in now) if (now[name] - seen[name] > 1000000) printf "%.0f %s\n", now[name] - seen[name], name }' \
            "$work/threads.before" "$work/threads.after" | sort -rn |
            while read -r ns name; do printf '%s %s, ' "$name" "$(percent_of "$ns")"; done)
        echo "  $first started first: ours $ours, motion $theirs, ratio $ratio; X server $x;" \
            "peak RSS ours $(peak_mb "$program_pid") MB, motion $(peak_mb "$motion_pid") MB"
        echo "    our threads: ${threads%, }"
        stop "$program_pid" "$motion_pid" "$xvfb_pid"
        [ "$window" = tray ] && stop "$watcher_pid" "$bus_pid"
        if [ "$kind" = rtsp ]; then stop "${camera_pids[@]}"; fi
    done
    echo "  mean ratio $(echo "scale=2; $total_ratio / 2" | bc)"
    if [ "$kind" = mjpeg ]; then stop "$camera_pid"; fi
done
