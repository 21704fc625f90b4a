#!/usr/bin/env bash
# Camera-like footage for measuring the whole program: a textured scene
# (a gradient wall, a checkerboard, a wheel of spokes, colour bars, rings)
# with three balls moving across it and a little sensor noise on every frame,
# as JPEG files of quality 85 with 4:2:0 chroma, the way cameras send them.
# Made from GStreamer's own test sources, so no media is downloaded.
#
#   bench/program/make_footage.sh WIDTH HEIGHT FPS FRAMES FOLDER [h264|h265]
#
# With h264 or h265 the footage is encoded instead as an IP camera encodes
# it: high (main) profile, a key frame every second, no B-frames, about
# 3 Mbit/s at 1280x720 and 5 Mbit/s at 1920x1080, into FOLDER/footage.mkv.
#
# The scene is drawn at most about 540 rows high and scaled up, as a camera's
# optics soften a picture, and the noise is chosen per size so that the
# images are as large as a camera's at that size: about 60 KB at 640x480,
# 125 KB at 1280x720 and 220 KB at 1920x1080.
set -euo pipefail
[ $# -eq 5 ] || [ $# -eq 6 ] || { echo "usage: $0 WIDTH HEIGHT FPS FRAMES FOLDER [h264|h265]" >&2; exit 2; }
width=$1 height=$2 fps=$3 frames=$4 out=$5 codec=${6:-jpeg}
kbits=$(( width * height >= 1920 * 1080 ? 5000 : width * height >= 1280 * 720 ? 3000 : 1500 ))
case "$codec" in
jpeg) encoder="jpegenc quality=85 ! multifilesink location=$out/frame%05d.jpg" ;;
h264) encoder="x264enc speed-preset=veryfast bitrate=$kbits key-int-max=$fps bframes=0 ! video/x-h264,profile=high
    ! h264parse ! matroskamux ! filesink location=$out/footage.mkv" ;;
h265) encoder="x265enc speed-preset=veryfast bitrate=$kbits key-int-max=$fps option-string=bframes=0
    ! video/x-h265,profile=main ! h265parse ! matroskamux ! filesink location=$out/footage.mkv" ;;
*) echo "$0: no encoding $codec" >&2; exit 2 ;;
esac
case "${width}x$height" in
640x480) noise=0.05 ;;
1280x720) noise=0.015 ;;
1920x1080) noise=0.008 ;;
*) noise=0.02 ;;
esac
scene_height=$(( height < 480 ? height : (height / 2 > 480 ? height / 2 : 480) ))
scene_width=$(( width * scene_height / height / 2 * 2 ))
mkdir -p "$out"
rm -f "$out"/*.jpg "$out/footage.mkv"

caps="framerate=$fps/1"
# test_source PATTERN WIDTH HEIGHT [PROPERTIES]
test_source() {
    echo "videotestsrc num-buffers=$frames pattern=$1 ${4:-} ! video/x-raw,format=BGRA,width=$2,height=$3,$caps"
}
ball() {  # MOTION COLOUR WIDTH HEIGHT
    test_source ball "$3" "$4" "motion=$1 animation-mode=frames background-color=0x00000000 foreground-color=$2"
}
w=$scene_width h=$scene_height
# shellcheck disable=SC2046  # the sources are words of the pipeline
gst-launch-1.0 -q \
    compositor name=scene background=black \
        sink_1::xpos=$((w / 20)) sink_1::ypos=$((h / 12)) \
        sink_2::xpos=$((w * 11 / 20)) sink_2::ypos=$((h / 10)) \
        sink_3::xpos=$((w / 8)) sink_3::ypos=$((h * 6 / 10)) \
        sink_4::xpos=$((w * 6 / 10)) sink_4::ypos=$((h * 55 / 100)) \
        sink_5::xpos=0 sink_5::ypos=$((h / 4)) \
        sink_6::xpos=$((w / 3)) sink_6::ypos=$((h / 2)) \
        sink_7::xpos=$((w / 2)) sink_7::ypos=0 \
    ! "video/x-raw,width=$w,height=$h,$caps" ! videoscale ! "video/x-raw,width=$width,height=$height" ! noisy.sink_0 \
    compositor name=noisy sink_1::alpha="$noise" ! "video/x-raw,width=$width,height=$height" \
    ! videoconvert ! video/x-raw,format=I420 ! $encoder \
    $(test_source gradient $w $h "foreground-color=0xff806040 background-color=0xff203040") ! scene.sink_0 \
    $(test_source checkers-8 $((w * 3 / 10)) $((h * 3 / 10))) ! scene.sink_1 \
    $(test_source pinwheel $((w * 3 / 10)) $((h * 4 / 10))) ! scene.sink_2 \
    $(test_source smpte $((w * 3 / 10)) $((h * 3 / 10))) ! scene.sink_3 \
    $(test_source circular $((w * 3 / 10)) $((h * 35 / 100))) ! scene.sink_4 \
    $(ball sweep 0xffe0c020 $w $((h / 2))) ! scene.sink_5 \
    $(ball wavy 0xff2040e0 $((w / 3)) $((h / 2))) ! scene.sink_6 \
    $(ball hsweep 0xff20c040 $((w / 2)) $((h / 2))) ! scene.sink_7 \
    $(test_source snow "$width" "$height") ! noisy.sink_1
if [ "$codec" = jpeg ]; then
    count=$(find "$out" -name '*.jpg' | wc -l)
    bytes=$(cat "$out"/*.jpg | wc -c)
    echo "footage ${width}x$height: $count frames of $((bytes / count / 1024)) KB on average" >&2
else
    echo "footage ${width}x$height: $frames frames, $(( $(stat -c %s "$out/footage.mkv") * 8 * fps / frames / 1000 )) kbit/s" >&2
fi
