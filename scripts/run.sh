#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tutor with its bundled content.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
exe=build/tutor/lexorin
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display: starting the tutor under Xvfb."
  exec xvfb-run -a "$exe"
fi
exec "$exe"
