#!/usr/bin/env bash
# Installs the Debian packages the tutor needs to build, run and test.
# Idempotent: it asks apt only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libpulse-dev libpugixml-dev libspeexdsp-dev libzita-resampler-dev libgsm1-dev libmpg123-dev
  flite1-dev qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  espeak-ng flite sox libsox-fmt-all mpg123 lame librsvg2-bin
  pulseaudio pulseaudio-utils poppler-utils
  xvfb xauth fonts-wine fonts-liberation2
  dbus at-spi2-core python3-pyatspi xdotool imagemagick desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
