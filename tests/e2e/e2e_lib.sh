# Shared pieces of the end-to-end tests: a private X server, a private
# runtime and configuration directory, the program copied alone into a fresh
# directory, and bounded waits.
set -euo pipefail

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/qmd-e2e.XXXXXX")
E2E_PIDS=()
# Servers that start helpers of their own run in a session of their own:
# at the end they are asked to quit (and to take their helpers along), and
# what is left of their process group is then killed.
E2E_GROUPS=()

e2e_cleanup() {
    local pid group
    for pid in "${E2E_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    for group in "${E2E_GROUPS[@]}"; do
        kill -TERM "$group" 2>/dev/null || true
        wait_until 5 process_ended "$group" || true
        kill -KILL -- "-$group" 2>/dev/null || true
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
    # -noreset: a program started just after the last one ended must not meet
    # a server that is resetting itself and refuses it.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    E2E_PIDS+=($!)
    local display
    read -r -t 20 display <"$fifo" || fail "Xvfb did not start"
    export DISPLAY=":$display"
    export QT_QPA_PLATFORM=xcb
    use_private_dirs
}

# A private runtime (mode 0700) and configuration directory, the sound into
# a file, no extra video sources, and no session bus (libdbus would otherwise
# launch one of its own on the display) until start_session_bus.
use_private_dirs() {
    mkdir -p "$E2E_WORK/runtime" "$E2E_WORK/config"
    chmod 700 "$E2E_WORK/runtime"
    export XDG_RUNTIME_DIR="$E2E_WORK/runtime"
    export XDG_CONFIG_HOME="$E2E_WORK/config"
    export QUISK_AUDIO_FILE="$E2E_WORK/audio.wav"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_WORK/no-session-bus"
    unset QUISK_EXTRA_SOURCES
}

# start_keyring: a gnome-keyring-daemon serving the Secret Service on the
# private session bus (start_session_bus first), its login collection
# unlocked as after a desktop log-on, its files in a home of the test's own.
start_keyring() {
    mkdir -p "$E2E_WORK/home"
    local started
    started=$(printf 'qmd-e2e' | HOME="$E2E_WORK/home" XDG_DATA_HOME="$E2E_WORK/home/.local/share" \
        gnome-keyring-daemon --daemonize --unlock --components=secrets) || fail "gnome-keyring-daemon did not start"
    E2E_PIDS+=("$(sed -n 's/^GNOME_KEYRING_PID=//p' <<<"$started")")
    wait_until 20 has_owner org.freedesktop.secrets || fail "the keyring is not on the bus"
}

# A private session bus that starts no services on demand; exports
# DBUS_SESSION_BUS_ADDRESS.
start_session_bus() {
    local config="$E2E_WORK/session-bus.conf" fifo="$E2E_WORK/bus-address"
    cat >"$config" <<CONFIG
<busconfig>
  <type>session</type>
  <listen>unix:dir=$E2E_WORK</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONFIG
    mkfifo "$fifo"
    dbus-daemon --config-file="$config" --nofork --print-address=3 3>"$fifo" >/dev/null 2>&1 &
    E2E_PIDS+=($!)
    local address
    read -r -t 20 address <"$fifo" || fail "dbus-daemon did not start"
    export DBUS_SESSION_BUS_ADDRESS=$address
}

# start_wayland_session [--xwayland]: a headless Weston as a Wayland
# desktop session in which Qt is told nothing about the platform; with
# --xwayland it also serves X clients through Xwayland and exports its
# DISPLAY, otherwise no X display is set. Weston starts Xwayland only when
# the first X client connects.
start_wayland_session() {
    use_private_dirs
    local log="$E2E_WORK/weston.log" socket=qmd-e2e
    rm -f "$log"
    # Xwayland's sockets live there; Xvfb makes it, Weston expects it.
    [ "${1:-}" != --xwayland ] || [ -d /tmp/.X11-unix ] || install -d -m 1777 /tmp/.X11-unix
    setsid weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --log="$log" "$@" \
        >/dev/null 2>&1 &
    E2E_GROUPS+=($!)
    wayland_listens() { [ -S "$XDG_RUNTIME_DIR/$socket" ]; }
    x_display() { sed -n 's/.*xserver listening on display \(:[0-9]*\)$/\1/p' "$log" 2>/dev/null; }
    x_listens() { [ -n "$(x_display)" ]; }
    local ready=wayland_listens
    [ "${1:-}" != --xwayland ] || ready=x_listens
    wait_until 20 "$ready" || fail "weston did not start: $(tail -n 5 "$log" 2>/dev/null)"
    export WAYLAND_DISPLAY=$socket XDG_SESSION_TYPE=wayland
    unset QT_QPA_PLATFORM DISPLAY
    [ "${1:-}" != --xwayland ] || export DISPLAY="$(x_display)"
}

# start_window_manager [NAME]: a real window manager, openbox (the default)
# or metacity, on the display, managing its windows when this returns; for
# what only one does: minimising, activating, raising and restoring windows.
start_window_manager() {
    local wm=${1:-openbox}
    case "$wm" in
    openbox) openbox --sm-disable >>"$E2E_WORK/wm.log" 2>&1 & ;;
    # Its settings from memory: no dconf, no session bus needed.
    metacity) GSETTINGS_BACKEND=memory metacity --sm-disable --no-composite >>"$E2E_WORK/wm.log" 2>&1 & ;;
    *) fail "unknown window manager $wm" ;;
    esac
    E2E_PIDS+=($!)
    _wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    wait_until 20 _wm_running || fail "$wm did not start: $(tail -n 5 "$E2E_WORK/wm.log")"
}

# install_program EXE DIR: a copy of the executable alone in DIR, with its
# private libraries beside DIR as they are beside the executable's folder.
install_program() {
    mkdir -p "$2"
    cp "$1" "$2/quisk-motion-detector"
    local private_libraries
    private_libraries="$(dirname "$1")/../lib/quisk-motion-detector"
    if [ -d "$private_libraries" ]; then
        mkdir -p "$2/../lib"
        cp -r "$private_libraries" "$2/../lib/"
    fi
}

visible_main_window() {
    xdotool search --onlyvisible --name '^Quisk Motion Detector$' 2>/dev/null | head -n 1
}

has_visible_main_window() {
    [ -n "$(visible_main_window)" ]
}

# An X11 system tray (trayer) on the display: start_x11_tray sets tray_pid
# and tray_panel, its window, in which tray_embedded_windows counts icons.
start_trayer() {
    trayer --edge top --align right --widthtype pixel --width 200 --height 24 >>"$E2E_WORK/trayer.log" 2>&1 &
    tray_pid=$!
    E2E_PIDS+=("$tray_pid")
}
trayer_panel() { xdotool search --name '^panel$' 2>/dev/null | head -n 1; }
trayer_ready() { [ -n "$(trayer_panel)" ]; }
start_x11_tray() {
    start_trayer
    if ! wait_until 20 trayer_ready; then
        # The tray host is not ours: one that gave up at start (seen once under
        # heavy load) gets one more go before the test fails, with what it said.
        kill -0 "$tray_pid" 2>/dev/null || start_trayer
        wait_until 20 trayer_ready || fail "the tray host did not start: $(tail -n 5 "$E2E_WORK/trayer.log")"
    fi
    tray_panel=$(trayer_panel)
}
tray_embedded_windows() { xwininfo -tree -id "$tray_panel" | grep -cE '^ +0x' || true; }
# The program's icon in the X11 tray: the window there with the program's name.
tray_icon_window() {
    xwininfo -tree -id "$tray_panel" | sed -n 's/^ *\(0x[0-9a-f]*\) "Quisk Motion Detector".*/\1/p' | head -n 1
}
# start_in_x11_tray DIR: the program in DIR started with "-t" (its pid in pid)
# and its icon embedded in the X11 tray, with no window shown.
start_in_x11_tray() {
    local before
    before=$(tray_embedded_windows)
    "$1/quisk-motion-detector" -t &
    pid=$!
    E2E_PIDS+=("$pid")
    _icon_embedded() { [ "$(tray_embedded_windows)" -gt "$before" ]; }
    wait_until 30 _icon_embedded || fail "no icon in the X11 tray"
    kill -0 "$pid" || fail "the program ended"
    if has_visible_main_window; then fail "a window is shown"; fi
}

# The StatusNotifier tray on the session bus (start_session_bus first).
bus_call() { dbus-send --session --print-reply --reply-timeout=5000 "$@"; }
# property SERVICE PATH INTERFACE NAME
property() { bus_call --dest="$1" "$2" org.freedesktop.DBus.Properties.Get string:"$3" string:"$4"; }
has_owner() {
    local reply
    reply=$(bus_call --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner string:"$1") &&
        grep -q 'boolean true' <<<"$reply"
}
has_no_owner() { ! has_owner "$1"; }
# start_watcher [PARAMETERS]: the mock watcher, with a host unless the
# parameters say {"host": false}; its pid in watcher.
start_watcher() {
    /usr/bin/python3 -m dbusmock --session --template "$E2E_DIR/status_notifier_watcher.py" \
        --parameters "${1:-"{}"}" >>"$E2E_WORK/watcher.log" 2>&1 &
    watcher=$!
    E2E_PIDS+=("$watcher")
    wait_until 20 has_owner org.kde.StatusNotifierWatcher ||
        fail "the watcher did not start: $(tail -n 5 "$E2E_WORK/watcher.log")"
}
# The first item the watcher lists, the program's icon.
registered_item() {
    property org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems | sed -n '/^ *string "/{s/^ *string "\(.*\)"$/\1/p;q}'
}
item_registered() { [ -n "$(registered_item)" ]; }

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

# stop_program_insistently PID: SIGTERM every 10 ms until the program ends,
# as an impatient desktop sends them: the first one ends it, the later ones
# change nothing, and the status is still 0.
stop_program_insistently() {
    local deadline=$((SECONDS + 30)) status=0
    while kill -TERM "$1" 2>/dev/null && ! process_ended "$1"; do
        ((SECONDS < deadline)) || fail "the program did not end after SIGTERM"
        sleep 0.01
    done
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

# The lines of the motion log named by $log, and whether there are more than N.
log_lines() { [ -f "$log" ] && grep -c '' "$log" || echo 0; }
logged_more_than() { [ "$(log_lines)" -gt "$1" ]; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

crlf_lines() {
    printf '%s\r\n' "$@"
}

# The loopback MJPEG camera (tests/support/mjpeg_http_camera), its path in
# camera_tool.
camera_pid=
camera_port=0
# start_camera ARGS...: the loopback camera on camera_port (the first time on
# a port the kernel chooses, kept from then on).
start_camera() {
    local url="$E2E_WORK/camera.url"
    rm -f "$url"
    "$camera_tool" --port "$camera_port" --width 160 --height 120 --fps 15 --frames-in-loop 30 "$@" \
        >"$url" 2>>"$E2E_WORK/camera.log" &
    camera_pid=$!
    E2E_PIDS+=("$camera_pid")
    wait_until 10 test -s "$url" || fail "the camera did not start"
    camera_url=$(head -n 1 "$url")
    camera_port=${camera_url#http://127.0.0.1:}
    camera_port=${camera_port%%/*}
}
stop_camera() {
    kill -TERM "$camera_pid"
    wait "$camera_pid" || fail "the camera failed: $(cat "$E2E_WORK/camera.log")"
}
# camera_sent_at_least N: asks the camera what it has sent; the answer to the
# previous question is the one read.
camera_sent_at_least() {
    kill -USR1 "$camera_pid"
    local answer
    answer=$(grep 'so far' "$E2E_WORK/camera.log" | tail -n 1)
    answer=${answer%% frames sent}
    [ "${answer##* }" -ge "$1" ] 2>/dev/null
}
