#!/usr/bin/env bash
# package_test.sh BUILD_DIR: makes the Debian package from the configured
# build tree into a temporary directory, checks its contents and dependencies,
# runs lintian on it (no errors allowed) and starts the program extracted from
# it, unable to write to its own directory, to see that its data goes to
# $XDG_CONFIG_HOME/quisk-motion-detector.
set -euo pipefail
build=$1

work=$(mktemp -d "${TMPDIR:-/tmp}/qmd-package.XXXXXX")
pid=
cleanup() {
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/out/*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in $(ls "$work/out")"
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Contents: the program, the module it loads to find network cameras, its
# desktop entry, icons and metadata, its manual page, Debian's documentation
# files, and nothing outside /usr.
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/quisk-motion-detector \
            ./usr/lib/quisk-motion-detector/modules/libquisk-motion-detector-discovery.so \
            ./usr/share/applications/quisk-motion-detector.desktop \
            ./usr/share/icons/hicolor/48x48/apps/quisk-motion-detector.png \
            ./usr/share/icons/hicolor/scalable/apps/quisk-motion-detector.svg \
            ./usr/share/metainfo/org.example.QuiskMotionDetector.metainfo.xml \
            ./usr/share/doc/quisk-motion-detector/copyright \
            ./usr/share/doc/quisk-motion-detector/changelog.gz \
            ./usr/share/man/man1/quisk-motion-detector.1.gz; do
    grep -qxF "$path" <<<"$contents" || fail "$path missing from the package: $contents"
done
outside=$(grep -v -e '^\./$' -e '^\./usr/' <<<"$contents" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
grep -q '^\./usr/local/' <<<"$contents" && fail "files under /usr/local: $contents"

# Dependencies: the libraries found in the binary and in the module (Qt
# Network), and what it only loads or starts at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6network6 libgstreamer1.0-0 gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
              xdg-utils; do
    grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

echo "--- lintian"
lintian_status=0
lintian --fail-on error "$deb" || lintian_status=$?
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

extracted="$work/root"
dpkg-deb -x "$deb" "$extracted"
if command -v appstreamcli >/dev/null; then
    if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$extracted/usr/share/applications/quisk-motion-detector.desktop" ||
        fail "the desktop entry is not valid"
fi
# Offline: the homepage and the screenshot are not fetched.
    appstreamcli validate --no-net "$extracted/usr/share/metainfo/org.example.QuiskMotionDetector.metainfo.xml" ||
        fail "AppStream metadata not valid"
fi

# The installed program cannot write to its directory: its data goes to the
# user's configuration directory. Root may write anywhere whatever the
# permissions say, so as root the program runs as nobody.
chmod 755 "$work"
chmod a-w "$extracted/usr/bin"
home="$work/home"
mkdir -p "$home/.config" "$home/runtime"
chmod 700 "$home/runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
env -u DBUS_SESSION_BUS_ADDRESS -u QUISK_EXTRA_SOURCES HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_RUNTIME_DIR="$home/runtime" GST_REGISTRY="$home/registry.bin" QT_QPA_PLATFORM=offscreen \
    QUISK_AUDIO_FILE="$home/audio.wav" \
    "${as_user[@]}" "$extracted/usr/bin/quisk-motion-detector" &
pid=$!

# SIGTERM closes the program in order once it holds or catches the signal.
takes_sigterm() {
    local masks
    masks=$(awk '/^Sig(Blk|Cgt):/ {print $2}' "/proc/$pid/status" 2>/dev/null) || return 1
    local mask
    for mask in $masks; do
        (((0x$mask >> 14) & 1)) && return 0
    done
    return 1
}
deadline=$((SECONDS + 30))
until takes_sigterm; do
    kill -0 "$pid" 2>/dev/null || fail "the extracted program ended at start"
    ((SECONDS < deadline)) || fail "the extracted program never got ready for SIGTERM"
    sleep 0.05
done
kill -TERM "$pid"
status=0
timeout 30 tail --pid="$pid" -f /dev/null || fail "the extracted program did not end after SIGTERM"
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the extracted program ended with status $status"

[ -f "$home/.config/quisk-motion-detector/ustawienia.ini" ] ||
    fail "no ustawienia.ini in \$XDG_CONFIG_HOME/quisk-motion-detector: $(find "$home" -type f)"
[ "$(ls "$extracted/usr/bin")" = quisk-motion-detector ] ||
    fail "the program wrote beside itself: $(ls "$extracted/usr/bin")"
echo "package: ok"
