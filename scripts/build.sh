#!/usr/bin/env bash
# Configures (once) and builds the tree in the given folder with extra CMake options.
# usage: scripts/build.sh BUILD_DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
# Let ccache share objects between checkouts in different folders (CI clones anew).
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
if [[ ! -f "$dir/build.ninja" ]]; then
  cmake -S . -B "$dir" -G Ninja "$@"
elif (($#)); then
  cmake -S . -B "$dir" "$@" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
