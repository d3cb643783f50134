#!/usr/bin/env bash
# Installs what is missing, builds the tutor with its bundled content (only that: not
# the tests or benchmarks), and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Let ccache share objects between checkouts in different folders.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
[[ -f build/build.ninja ]] || cmake -S . -B build -G Ninja
cmake --build build --target lexorin lexorin_content -j "$(nproc)"
exe=build/tutor/lexorin
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display: starting the tutor under Xvfb."
  exec xvfb-run -a "$exe" "$@"
fi
exec "$exe" "$@"
