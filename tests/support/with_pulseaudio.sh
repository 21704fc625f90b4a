#!/usr/bin/env bash
# with_pulseaudio.sh COMMAND...: runs COMMAND against a private PulseAudio
# server whose only sink is a null sink, "qmd_null"; its monitor source,
# "qmd_null.monitor", records what the sink plays. PULSE_SERVER points at the
# server; it has a runtime folder of its own and is stopped afterwards.
#
# The sink is made to behave like a sound card: a card renders at a small
# latency as soon as a stream comes, while a fresh null sink renders two
# seconds ahead and starts a new stream only at the end of that block. So a
# low-latency recording keeps it at a few milliseconds from the start. It does
# not rewind: a card plays again what a rewind rewrites, but the monitor would
# lose it.
set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/qmd-pulse.XXXXXX")
chmod 700 "$work"
cat >"$work/server.pa" <<PA
load-module module-null-sink sink_name=qmd_null rate=48000 channels=1 format=s16le norewinds=1
load-module module-native-protocol-unix auth-anonymous=1 socket=$work/native
set-default-sink qmd_null
PA
export XDG_RUNTIME_DIR=$work HOME=$work PULSE_SERVER=unix:$work/native
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
# Both helpers end with this script, even when it is killed.
setpriv --pdeathsig TERM pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --log-target=stderr -F "$work/server.pa" >"$work/server.log" 2>&1 &
server=$!
keeper=
cleanup() {
    [ -z "$keeper" ] || kill "$keeper" 2>/dev/null || true
    kill "$server" 2>/dev/null || true
    [ -z "$keeper" ] || wait "$keeper" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    if ! kill -0 "$server" 2>/dev/null; then break; fi
    sleep 0.05
done
if ! pactl info >/dev/null 2>&1; then
    echo "with_pulseaudio: the server did not start" >&2
    cat "$work/server.log" >&2
    exit 1
fi
setpriv --pdeathsig TERM parec --latency-msec=5 --raw -d qmd_null.monitor >/dev/null &
keeper=$!
# The sink takes the small latency at its next block: suspending and resuming
# it starts that block now.
for _ in $(seq 100); do
    [ -n "$(pactl list short source-outputs)" ] && break
    sleep 0.02
done
pactl suspend-sink qmd_null 1
pactl suspend-sink qmd_null 0
"$@"
