#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A private, headless PipeWire for the integration tests and for trying Voxlane without touching
# the desktop's audio: PipeWire, WirePlumber and pipewire-pulse in a fresh temporary directory,
# with two null sinks ("speakers", "headphones") and a virtual source ("mic") as devices.
# Needs no D-Bus, no systemd user session and no sound hardware; runs as root or as a user.
#
#   pipewire-session.sh start [--state FILE]   start, wait until ready, print the environment
#                                              (as export lines); FILE receives the session dir
#   pipewire-session.sh prepare --state FILE   make a session without starting its daemons
#   pipewire-session.sh up [DIR | --state FILE]    start the daemons that do not run (again)
#   pipewire-session.sh env   [DIR | --state FILE]   print the environment again
#   pipewire-session.sh stop  [DIR | --state FILE]   stop every daemon by PID, remove the dir
#
# Without DIR or FILE, env and stop use $VOXLANE_PW_SESSION_DIR. Typical use in a shell:
#   eval "$(scripts/pipewire-session.sh start)"; …; scripts/pipewire-session.sh stop
set -u

die() { echo "pipewire-session: $*" >&2; exit 1; }
ms() { echo $(( $(date +%s%N) / 1000000 )); }
wait_for() { # wait_for <timeout_ms> <cmd...>
    local end=$(( $(ms) + $1 )); shift
    until "$@" >/dev/null 2>&1; do
        [ "$(ms)" -ge "$end" ] && return 1
        sleep 0.05
    done
}

session_dir() { # session_dir [DIR | --state FILE]
    if [ "${1:-}" = "--state" ]; then
        [ -n "${2:-}" ] || die "--state needs a file"
        [ -f "$2" ] || return 1
        cat "$2"
    elif [ -n "${1:-}" ]; then
        echo "$1"
    else
        echo "${VOXLANE_PW_SESSION_DIR:-}"
    fi
}

print_env() {
    local dir=$1
    [ -f "$dir/env" ] || die "no session in '$dir'"
    while IFS= read -r line; do
        [ -n "$line" ] && printf 'export %q=%q\n' "${line%%=*}" "${line#*=}"
    done <"$dir/env"
    echo "unset PIPEWIRE_REMOTE PULSE_SERVER DBUS_SESSION_BUS_ADDRESS"
}

# Stops the daemons of a session (newest first), by the PIDs it recorded, and removes it.
stop_session() {
    local dir=$1 pids=() pid end
    [ -n "$dir" ] && [ -d "$dir" ] || return 0
    if [ -f "$dir/pids" ]; then
        mapfile -t pids <"$dir/pids"
    fi
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null
    done
    end=$(( $(ms) + 5000 ))
    for pid in "${pids[@]}"; do
        while kill -0 "$pid" 2>/dev/null && [ "$(ms)" -lt "$end" ]; do sleep 0.05; done
        kill -KILL "$pid" 2>/dev/null
    done
    rm -rf "$dir"
}

# The priorities make the session manager's first choice of defaults the same every time.
sink_object() { # sink_object <node.name> <description> <media.class> <priority.session>
    cat <<EOF
    { factory = adapter
        args = {
            factory.name     = support.null-audio-sink
            node.name        = "$1"
            node.description = "$2"
            media.class      = "$3"
            priority.session = $4
            audio.position   = [ FL FR ]
            # without this a mute or volume reads back but leaves the audio as it is
            monitor.channel-volumes = true
            object.linger    = true
            adapter.auto-port-config = { mode = dsp monitor = true position = preserve }
        }
    }
EOF
}

write_config() {
    local dir=$1
    cat >"$dir/pipewire.conf" <<EOF
context.properties = {
    core.daemon = true
    core.name   = pipewire-0
    link.max-buffers = 16
    default.clock.rate        = 48000
    default.clock.quantum     = 1024
    default.clock.min-quantum = 32
    default.clock.max-quantum = 2048
    support.dbus = false
    log.level = 2
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-profiler }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access args = { } }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
]
context.objects = [
    { factory = spa-node-factory
        args = { factory.name = support.node.driver node.name = Dummy-Driver
                 node.group = pipewire.dummy priority.driver = 20000 } }
    { factory = spa-node-factory
        args = { factory.name = support.node.driver node.name = Freewheel-Driver
                 priority.driver = 19000 node.group = pipewire.freewheel node.freewheel = true } }
$(sink_object speakers Speakers Audio/Sink 1010)
$(sink_object headphones Headphones Audio/Sink 1000)
$(sink_object mic Microphone Audio/Source/Virtual 2000)
]
context.exec = [ ]
EOF
    # WirePlumber 0.4 reads drop-ins in name order: they must sort between 50-* and 90-enable-all.
    mkdir -p "$dir/config/wireplumber/main.lua.d" "$dir/config/wireplumber/bluetooth.lua.d"
    cat >"$dir/config/wireplumber/main.lua.d/60-headless.lua" <<'EOF'
-- headless: no hardware monitors, nothing that needs D-Bus
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
default_access.properties["enable-flatpak-portal"] = false
EOF
    cat >"$dir/config/wireplumber/bluetooth.lua.d/60-headless.lua" <<'EOF'
bluez_monitor.enabled = false
EOF
}

# Makes a session directory with its configuration and environment, and starts nothing.
prepare_session() { # prepare_session [--state FILE]; prints the directory
    local state="" dir
    if [ "${1:-}" = "--state" ]; then
        [ -n "${2:-}" ] || die "--state needs a file"
        state=$2
    fi
    for tool in pipewire wireplumber pipewire-pulse pw-metadata pw-cli; do
        command -v "$tool" >/dev/null || die "$tool is not installed (run scripts/deps.sh)"
    done
    # Short path: the socket path must stay below 108 bytes.
    dir=$(mktemp -d /tmp/vxpw.XXXXXX) || die "cannot make a temporary directory"
    mkdir -p "$dir/run" "$dir/state" "$dir/config"
    chmod 700 "$dir/run"
    write_config "$dir"
    {
        echo "XDG_RUNTIME_DIR=$dir/run"
        echo "XDG_CONFIG_HOME=$dir/config"
        echo "XDG_STATE_HOME=$dir/state"
        echo "VOXLANE_PW_SESSION_DIR=$dir"
    } >"$dir/env"
    : >"$dir/pids"
    [ -n "$state" ] && echo "$dir" >"$state"
    echo "$dir"
}

# Whether the named daemon of a session runs (a daemon that ended may stay a zombie for a while:
# nobody waits for it).
daemon_running() { # daemon_running DIR NAME
    local pid state
    [ -f "$1/pid.$2" ] || return 1
    pid=$(cat "$1/pid.$2")
    state=$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

spawn_daemon() { # spawn_daemon DIR NAME COMMAND...
    local dir=$1 name=$2
    shift 2
    # Daemons get no terminal and no pipe of ours, so that whoever runs this script (CTest)
    # does not wait for them.
    "$@" </dev/null >>"$dir/$name.log" 2>&1 &
    echo $! >"$dir/pid.$name"
    echo $! >>"$dir/pids"
}

# Starts whichever of the session's daemons does not run (all of them the first time, or after
# one was killed) and waits until the default devices are published.
up_session() { # up_session DIR
    local dir=$1
    [ -f "$dir/env" ] || die "no session in '$dir'"
    export XDG_RUNTIME_DIR=$dir/run XDG_CONFIG_HOME=$dir/config XDG_STATE_HOME=$dir/state
    unset DBUS_SESSION_BUS_ADDRESS PIPEWIRE_REMOTE PULSE_SERVER
    if ! daemon_running "$dir" pipewire; then
        # Clients of the old daemon are of no use to the new one.
        for name in wireplumber pipewire-pulse; do
            daemon_running "$dir" "$name" && kill -KILL "$(cat "$dir/pid.$name")" 2>/dev/null
        done
        spawn_daemon "$dir" pipewire pipewire -c "$dir/pipewire.conf"
        # A socket left by a killed daemon may still be there: wait for an answer.
        wait_for 5000 pw-cli info 0 ||
            { cat "$dir/pipewire.log" >&2; die "pipewire did not start"; }
    fi
    daemon_running "$dir" wireplumber || spawn_daemon "$dir" wireplumber wireplumber
    daemon_running "$dir" pipewire-pulse || spawn_daemon "$dir" pipewire-pulse pipewire-pulse
    default_ready() {
        pw-metadata -n default 0 default.audio.sink | grep -q speakers &&
            pw-metadata -n default 0 default.audio.source | grep -q mic
    }
    wait_for 10000 default_ready ||
        { cat "$dir/wireplumber.log" >&2; die "wireplumber did not publish the default devices"; }
    wait_for 5000 test -S "$XDG_RUNTIME_DIR/pulse/native" ||
        { cat "$dir/pipewire-pulse.log" >&2; die "pipewire-pulse did not start"; }
    for name in pipewire wireplumber pipewire-pulse; do
        daemon_running "$dir" "$name" || die "$name exited early (see $dir/*.log)"
    done
}

start_session() {
    local dir
    dir=$(prepare_session "$@") || exit 1
    trap 'stop_session "$dir"' EXIT
    up_session "$dir"
    trap - EXIT
    print_env "$dir"
}

case "${1:-}" in
start)
    shift
    start_session "$@"
    ;;
env)
    shift
    dir=$(session_dir "$@") && [ -n "$dir" ] || die "no session"
    print_env "$dir"
    ;;
stop)
    shift
    dir=$(session_dir "$@") || exit 0
    stop_session "$dir"
    [ "${1:-}" = "--state" ] && rm -f "$2"
    exit 0
    ;;
prepare)
    shift
    prepare_session "$@" >/dev/null
    ;;
up)
    shift
    dir=$(session_dir "$@") && [ -n "$dir" ] || die "no session"
    up_session "$dir"
    ;;
*)
    echo "usage: $0 start [--state FILE] | prepare --state FILE | up [DIR | --state FILE] |" \
        "env [DIR | --state FILE] | stop [DIR | --state FILE]" >&2
    exit 2
    ;;
esac
