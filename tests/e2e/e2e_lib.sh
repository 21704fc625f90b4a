# Shared pieces of the end-to-end tests: a private X server, a private
# runtime and configuration directory, the program copied alone into a fresh
# directory, and bounded waits.
set -euo pipefail

E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/qmd-e2e.XXXXXX")
E2E_PIDS=()

e2e_cleanup() {
    local pid
    for pid in "${E2E_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    rm -rf "$E2E_WORK"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_until SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds.
wait_until() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# Starts Xvfb on a display it picks itself and exports DISPLAY.
start_x_server() {
    local fifo="$E2E_WORK/display"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    E2E_PIDS+=($!)
    local display
    read -r -t 20 display <"$fifo" || fail "Xvfb did not start"
    export DISPLAY=":$display"
    export QT_QPA_PLATFORM=xcb
    mkdir -p "$E2E_WORK/runtime" "$E2E_WORK/config"
    chmod 700 "$E2E_WORK/runtime"
    export XDG_RUNTIME_DIR="$E2E_WORK/runtime"
    export XDG_CONFIG_HOME="$E2E_WORK/config"
    export QUISK_AUDIO_FILE="$E2E_WORK/audio.wav"
    unset QUISK_EXTRA_SOURCES
}

# install_program EXE DIR: a copy of the executable alone in DIR.
install_program() {
    mkdir -p "$2"
    cp "$1" "$2/quisk-motion-detector"
}

visible_main_window() {
    xdotool search --onlyvisible --name '^Quisk Motion Detector$' 2>/dev/null | head -n 1
}

has_visible_main_window() {
    [ -n "$(visible_main_window)" ]
}

process_ended() {
    ! kill -0 "$1" 2>/dev/null
}

# stop_program PID: SIGTERM, then waits for a clean end.
stop_program() {
    kill -TERM "$1"
    wait_until 30 process_ended "$1" || fail "the program did not end after SIGTERM"
    local status=0
    wait "$1" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# make_snow_clip PATH FRAMES: a 160x120 AVI of snow at 30 frames/s, in which
# every frame differs from the one before.
make_snow_clip() {
    gst-launch-1.0 -q videotestsrc num-buffers="$2" pattern=snow \
        ! video/x-raw,format=BGR,width=160,height=120,framerate=30/1 ! avimux ! filesink location="$1" >/dev/null ||
        fail "cannot make the clip"
}

# Starts python-dbusmock's logind on a private bus, exported as the system
# bus, that refuses the five power actions as polkit does for a user who may
# not: the program must take the refusal and go on.
start_refusing_logind() {
    dbus-daemon --session --nofork --print-address >"$E2E_WORK/system-bus" 2>/dev/null &
    E2E_PIDS+=($!)
    wait_until 20 test -s "$E2E_WORK/system-bus" || fail "dbus-daemon did not start"
    DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$E2E_WORK/system-bus")
    export DBUS_SYSTEM_BUS_ADDRESS
    /usr/bin/python3 -m dbusmock --template logind >/dev/null 2>&1 &
    E2E_PIDS+=($!)
    logind_registered() {
        dbus-send --bus="$DBUS_SYSTEM_BUS_ADDRESS" --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 2>/dev/null | grep -q 'boolean true'
    }
    wait_until 20 logind_registered || fail "the mock logind did not start"
    local method
    for method in Suspend Hibernate PowerOff Reboot; do
        dbus-send --bus="$DBUS_SYSTEM_BUS_ADDRESS" --print-reply --dest=org.freedesktop.login1 \
            /org/freedesktop/login1 org.freedesktop.DBus.Mock.AddMethod \
            string:org.freedesktop.login1.Manager string:$method string:b string: \
            string:'raise dbus.exceptions.DBusException("Access denied", name="org.freedesktop.DBus.Error.AccessDenied")' \
            >/dev/null || fail "cannot make the mock logind refuse $method"
    done
}

crlf_lines() {
    printf '%s\r\n' "$@"
}
