#!/usr/bin/env bash
# The tutor's desktop benchmarks (bench/tutor_bench.py): start-up without and with the
# greeting (when its first sample is heard after the first paint) beside KLettres and Parley,
# and the latency from the Check It click to the praise. Not part of the test suite.
#
#   bench/tutor_bench.sh [BUILD_DIR]        default build-release (configured and built here)
#
# Installs the two peer tutors (and the X library for Python) the first time; they are
# needed by this benchmark only. LEXORIN_BENCH_PEERS=0 leaves them out, LEXORIN_BENCH_ANSWERS=0
# the answer latency. Results: BUILD_DIR/tutor-bench/results.json.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-release}

peers=(python3-xlib)
[[ ${LEXORIN_BENCH_PEERS:-1} == 0 ]] || peers+=(klettres parley)
missing=()
for p in "${peers[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target lexorin lexorin_content
# The recorder of the monitor at a small latency: it stands for "heard" in the answer latency.
LEXORIN_E2E_MONITOR_LATENCY_MS=2 exec "$root/tests/e2e/run_e2e.sh" --tutor "$build/tutor/lexorin" --out "$build/tutor-bench" \
    --driver "$root/bench/tutor_bench.py"
