#!/usr/bin/env bash
# What "Nagraj film" costs: the program's CPU and peak RSS watching the
# loopback MJPEG camera at WIDTHxHEIGHT@FPS on a private Xvfb, without the
# reaction and with it, on a still scene (with it: the ring alone) and on the
# ball moving all the time (with it: one clip written throughout). The four
# runs of SECONDS each are interleaved ROUNDS times; the lowest of each is
# printed. CPU is the process's user and system time.
#
#   bench/program/clip_cost.sh BUILD_DIR [SECONDS] [WIDTHxHEIGHT@FPS] [ROUNDS]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-20}
case=${3:-1280x720@30}
rounds=${4:-2}
size=${case%@*}
fps=${case#*@}
program="$build/src/app/quisk-motion-detector"
camera_tool="$build/tests/support/qmd_mjpeg_http_camera"
source "$(cd "$(dirname "$0")/../.." && pwd)/tests/e2e/e2e_lib.sh"
start_x_server
app="$E2E_WORK/app"
install_program "$program" "$app"

cpu_ms() { awk '{ printf "%d\n", ($14 + $15) * 1000 / '"$(getconf CLK_TCK)"' }' "/proc/$1/stat"; }
# run off|on still|moving: prints "CPU‰ peakRSS_kB"
run() {
    local scene=(--frames-in-loop 60) folder=
    [ "$2" = moving ] || scene=(--still-shade 128)
    [ "$1" = off ] || folder="$E2E_WORK/filmy"
    rm -rf "$E2E_WORK/filmy" "$E2E_WORK/url" && mkdir -p "$E2E_WORK/filmy"
    "$camera_tool" --width "${size%x*}" --height "${size#*x}" --fps "$fps" "${scene[@]}" >"$E2E_WORK/url" \
        2>/dev/null &
    local cam=$!
    wait_until 120 test -s "$E2E_WORK/url" || fail "the camera did not start"
    crlf_lines "[Ruch]" "Alarm=0" "Prowadz dziennik=0" "Nagraj film=$folder" "Film po ruchu=5" \
        "[Ogolne]" "Ostatnie urzadzenie=0" "Opoznienie wykrywania=0" >"$app/ustawienia.ini"
    QUISK_EXTRA_SOURCES=$(head -n 1 "$E2E_WORK/url") "$app/quisk-motion-detector" 2>/dev/null &
    local pid=$!
    sleep 5
    [ "$(ls "/proc/$pid/task" | wc -l)" -gt 5 ] || fail "the program did not start"
    local before after
    before=$(cpu_ms "$pid")
    sleep "$seconds"
    after=$(cpu_ms "$pid")
    local rss
    rss=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
    kill -TERM "$pid"
    wait "$pid" || true
    kill -TERM "$cam"
    wait "$cam" || true
    echo "$(((after - before) / seconds)) $rss"
}
declare -A best_cpu best_rss
for ((round = 0; round < rounds; ++round)); do
    for mode in off/still on/still off/moving on/moving; do
        read -r cpu rss < <(run "${mode%/*}" "${mode#*/}")
        echo "round $round $mode: CPU ${cpu}‰ of a core, peak RSS ${rss} kB" >&2
        if [ -z "${best_cpu[$mode]:-}" ] || ((cpu < best_cpu[$mode])); then best_cpu[$mode]=$cpu; fi
        if [ -z "${best_rss[$mode]:-}" ] || ((rss < best_rss[$mode])); then best_rss[$mode]=$rss; fi
    done
done
for mode in off/still on/still off/moving on/moving; do
    echo "$case $mode: CPU ${best_cpu[$mode]}‰ of a core, peak RSS ${best_rss[$mode]} kB"
done
