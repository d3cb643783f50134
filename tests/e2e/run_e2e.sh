#!/usr/bin/env bash
# End-to-end run of the built tutor, driven as a person would drive it.
#
#   run_e2e.sh --tutor BUILD/tutor/lexorin --out DIR [--stages "start pages ..."|all]
#              [--driver SCRIPT] [--installed CONTENT_DIR DATA_DIR]
#
# Sets up, each of its own for this run only: a scratch copy of the tutor's folder
# (so the build stays clean and the run starts with no players), a PulseAudio daemon
# with a null sink and a virtual microphone (tests/integration/pulse_fixture.sh), a
# recording of the null sink's monitor, an X server (Xvfb on a free display), a D-Bus session and the
# accessibility bus. Then tests/e2e/drive_tutor.py starts the tutor and plays the
# scenario; its stages are listed there.
#
# --installed runs an installed tutor as it is, with its content folder and its data folder
# (Alpha) named, instead of a scratch copy of a build's folder.
# Stages: --stages, else $LEXORIN_E2E_STAGES; LEXORIN_E2E_FULL=1 runs them all.
# --driver replaces drive_tutor.py with another script taking the same arguments (the
# benchmarks in bench/ use the same session this way).
# Results go to DIR: a screenshot per page (*.png), results.json, the driver's log
# e2e.log and the tutor's output tutor.log. A failed run keeps its scratch folder
# (recording included) and names it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# --- inside Xvfb and the D-Bus session ------------------------------------------------
if [[ ${1:-} == --inner ]]; then
    driver=$2
    shift 2
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    bus=$!
    trap 'kill $bus 2>/dev/null || true' EXIT
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    status=0
    /usr/bin/python3 "$driver" "$@" || status=$?
    exit $status
fi

# --- outside ------------------------------------------------------------------------------
tutor="" out="" stages=${LEXORIN_E2E_STAGES:-"start pages"} driver=$here/drive_tutor.py installed=()
while (($#)); do
    case $1 in
    --tutor) tutor=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --stages) stages=$2; shift 2 ;;
    --driver) driver=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --installed) installed=(--content "$2" --data "$3"); shift 3 ;;
    *) echo "usage: $0 --tutor PATH --out DIR [--stages LIST|all] [--driver SCRIPT]" >&2; exit 2 ;;
    esac
done
[[ -n ${LEXORIN_E2E_STAGES:-} ]] && stages=$LEXORIN_E2E_STAGES
[[ ${LEXORIN_E2E_FULL:-0} == 1 ]] && stages=all
[[ -x $tutor ]] || { echo "no tutor at '$tutor' (build the lexorin and lexorin_content targets)" >&2; exit 2; }
[[ -n $out ]] || { echo "--out DIR is needed" >&2; exit 2; }
for tool in Xvfb dbus-run-session parec import xdotool /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 2; }
done
fixture=$root/tests/integration/pulse_fixture.sh
[[ -x $fixture ]] || { echo "missing $fixture" >&2; exit 2; }

SECONDS=0
work=$(mktemp -d "${TMPDIR:-/tmp}/lexorin-e2e.XXXXXX")
mkdir -p "$out"
rm -f "$out"/*.png "$out"/results.json "$out"/tutor.log "$out"/e2e.log

# A scratch copy of the tutor's folder, with no players yet.
if ((${#installed[@]})); then
    run_tutor=$tutor
else
    cp -a "$(dirname "$tutor")" "$work/tutor"
    rm -rf "$work/tutor/Children"
    mkdir "$work/tutor/Children"
    run_tutor=$work/tutor/$(basename "$tutor")
fi

parec_pid="" xvfb_pid=""
cleanup() {
    local status=$?
    [[ -n $parec_pid ]] && kill "$parec_pid" 2>/dev/null && wait "$parec_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    "$fixture" stop "$work/pulse" || true
    [[ -f $work/shots/tutor.log ]] && cp "$work/shots/tutor.log" "$out/"
    if ((status == 0)); then
        rm -rf "$work"
    else
        echo "e2e: scratch folder kept for inspection: $work (monitor.raw: s16le 44100 Hz stereo)" >&2
    fi
    exit $status
}
trap cleanup EXIT

"$fixture" start "$work/pulse"
eval "$("$fixture" env "$work/pulse")"
export XDG_RUNTIME_DIR PULSE_SERVER
unset LEXORIN_AUDIO  # the real sound-server backend

parec -d lexorin_speakers.monitor --raw --format=s16le --rate=44100 --channels=2 \
    --latency-msec="${LEXORIN_E2E_MONITOR_LATENCY_MS:-20}" >"$work/monitor.raw" &
parec_pid=$!
for _ in $(seq 50); do
    [[ -s $work/monitor.raw ]] && break
    sleep 0.1
done
[[ -s $work/monitor.raw ]] || { echo "e2e: the monitor recording does not start" >&2; exit 1; }

# An X server of our own on a display number it picks itself (-displayfd), so runs
# side by side never meet on one display.
# Its root is plain black (-br), so a window not painted yet is all one colour, and it
# carries on when its last client leaves (-noreset), as benchmarks start one program after another.
# It is used only once a client has reached it; a server that went away at once (a
# display number taken meanwhile) is replaced.
start_x() {
    : >"$work/display"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -br -noreset -nolisten tcp 5>"$work/display" 2>>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s $work/display ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    [[ -s $work/display ]] || return 1
    export DISPLAY=:$(head -n1 "$work/display")
    for _ in $(seq 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
for attempt in 1 2 3; do
    start_x && break
    echo "e2e: X server attempt $attempt failed (display '$(cat "$work/display")')" >&2
    kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
    ((attempt < 3)) || { echo "e2e: no X server: $(cat "$work/xvfb.log")" >&2; exit 1; }
done
echo "e2e: X server on $DISPLAY"

mkdir "$work/shots"
set +e
dbus-run-session -- "$0" --inner "$driver" \
    --tutor "$run_tutor" --recording "$work/monitor.raw" \
    --screenshots "$work/shots" --stages "$stages" "${installed[@]}" 2>&1 | tee "$out/e2e.log"
status=${PIPESTATUS[0]}
set -e
cp "$work/shots/"*.png "$work/shots/results.json" "$out/" 2>/dev/null || true
echo "e2e: finished in ${SECONDS} s with status $status; results in $out"
exit "$status"
