#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in the normal build,
# once more in a build with the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

werror=()
[[ -n "${CI:-}" ]] && werror=(-DLEXORIN_WERROR=ON)

scripts/build.sh build "${werror[@]}"
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 600

scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DLEXORIN_SANITIZE=ON -DLEXORIN_BENCH=OFF "${werror[@]}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 900
