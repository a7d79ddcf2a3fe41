#!/usr/bin/env bash
# Install the Debian packages that TAVRIview, tin and their tests need.
# Idempotent and quiet when nothing is missing; uses sudo when not root.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libopenscenegraph-dev libopenscenegraph161 libopenthreads-dev
  libtinyxml2-dev libzip-dev zip unzip libfftw3-dev libcgal-dev libgmp-dev libmpfr-dev
  libavcodec-dev libavformat-dev libswscale-dev libavutil-dev
  libgl-dev libglu1-mesa-dev libx11-dev libxtst-dev libgl1-mesa-dri
  xvfb xauth xdotool x11-utils
  fonts-liberation libfreetype-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libgdal-dev
  openscenegraph
  python3 imagemagick
  slurm-wlm munge
  clang libclang-rt-dev
  dpkg-dev file lintian desktop-file-utils man-db shared-mime-info
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
