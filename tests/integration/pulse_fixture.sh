#!/usr/bin/env bash
# A private PulseAudio daemon for the integration tests.
#
#   pulse_fixture.sh start [DIR]   start the daemon (stops an earlier one in DIR first)
#   pulse_fixture.sh stop  [DIR]   stop the keeper streams, then the daemon
#   pulse_fixture.sh env   [DIR]   print the environment a client needs (eval-able)
#
# DIR is the daemon's private runtime folder (default: $LEXORIN_PULSE_DIR, else
# /tmp/lexorin-pulse-$UID); it becomes XDG_RUNTIME_DIR (mode 700) and holds the socket
# DIR/pulse/native, the pid file DIR/pulse/pid, the log DIR/pulse.log and the keepers' pids.
# Clients use  XDG_RUNTIME_DIR=DIR PULSE_SERVER=unix:DIR/pulse/native.
#
# What the daemon offers:
#   lexorin_speakers          null sink, 44100 Hz stereo s16le, the default sink; record
#                             what was played with  parec -d lexorin_speakers.monitor
#   lexorin_mic               the default source: a remap of lexorin_mic_feed.monitor, so
#                             feeding the microphone is  paplay -d lexorin_mic_feed FILE.wav
# Each null sink gets a silent keeper stream (pacat at 20 ms latency): an idle null sink
# runs at about 2 s latency and stalls new streams.
#
# Works as root without --system (PulseAudio 16 only needs XDG_RUNTIME_DIR), and as a user.
set -euo pipefail

cmd=${1:-}
dir=${2:-${LEXORIN_PULSE_DIR:-/tmp/lexorin-pulse-$(id -u)}}
export XDG_RUNTIME_DIR=$dir
export PULSE_SERVER=unix:$dir/pulse/native
export HOME=${HOME:-$dir}
pidfile=$dir/pulse/pid
keepers=$dir/keepers.pid

stop() {
    if [[ -f $keepers ]]; then
        while read -r pid; do
            kill "$pid" 2>/dev/null || true
        done <"$keepers"
        rm -f "$keepers"
    fi
    if [[ -f $pidfile ]]; then
        local pid
        pid=$(cat "$pidfile")
        if kill "$pid" 2>/dev/null; then
            for _ in $(seq 50); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
            kill -9 "$pid" 2>/dev/null || true
        fi
        rm -f "$pidfile"
    fi
}

start() {
    stop
    mkdir -p "$dir/pulse"
    chmod 700 "$dir" "$dir/pulse"
    cat >"$dir/daemon.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native
load-module module-null-sink sink_name=lexorin_speakers rate=44100 channels=2 format=s16le
load-module module-null-sink sink_name=lexorin_mic_feed rate=44100 channels=2 format=s16le
load-module module-remap-source master=lexorin_mic_feed.monitor source_name=lexorin_mic
set-default-sink lexorin_speakers
set-default-source lexorin_mic
PA
    pulseaudio -n -F "$dir/daemon.pa" --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes \
        --realtime=no --high-priority=no --log-target="file:$dir/pulse.log" 2>>"$dir/pulse.log"
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.05
    done
    pactl info >/dev/null
    : >"$keepers"
    for sink in lexorin_speakers lexorin_mic_feed; do
        pacat --playback --raw --latency-msec=20 -d "$sink" </dev/zero >/dev/null 2>&1 &
        echo $! >>"$keepers"
        disown
    done
}

case $cmd in
start) start ;;
stop) stop ;;
env) echo "export XDG_RUNTIME_DIR=$dir PULSE_SERVER=$PULSE_SERVER" ;;
*)
    echo "usage: $0 start|stop|env [DIR]" >&2
    exit 2
    ;;
esac
