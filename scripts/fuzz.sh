#!/usr/bin/env bash
# Runs fuzz targets for a fixed time each, two at a time, on a copy of their
# seed corpus (libFuzzer writes new inputs into its first corpus folder, and
# the committed corpus should only grow by choice). Crashing inputs land in
# fuzz/findings/<target>/ so the normal suite replays them from then on.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 600 s, every target
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DLEXORIN_FUZZ=ON -DLEXORIN_SANITIZE=ON -DLEXORIN_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

work=$(mktemp -d)
logs=${FUZZ_LOGS:-$build/fuzz-logs}
mkdir -p "$logs"

run_one() {
    local target=$1
    mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
    cp -r "fuzz/corpus/$target/." "$work/$target/corpus/"
    "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -artifact_prefix="$work/$target/artifacts/" "$work/$target/corpus" \
        >"$logs/$target.log" 2>&1 || true
    if compgen -G "$work/$target/artifacts/*" >/dev/null; then
        mkdir -p "fuzz/findings/$target"
        cp "$work/$target/artifacts/"* "fuzz/findings/$target/"
        echo "$target: FINDING, saved to fuzz/findings/$target/"
    fi
    echo "$target: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$logs/$target.log" | tail -1)"
}

running=0
for target in "${targets[@]}"; do
    run_one "$target" &
    running=$((running + 1))
    if [ "$running" -ge 2 ]; then wait -n; running=$((running - 1)); fi
done
wait
rm -rf "$work"
