#!/usr/bin/env bash
# Installs the Debian packages Vorn needs (idempotent) and configures and
# builds the project into build/. Run as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config git
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl1 libegl-mesa0 libgles2
  libvorbis-dev libogg-dev libstb-dev
  googletest libgtest-dev libbenchmark-dev libmojoshader-dev
  ffmpeg
  apitrace xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir=${VORN_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${VORN_BUILD_TYPE:-RelWithDebInfo} ${VORN_CMAKE_ARGS:-}
cmake --build "$build_dir" -j"$(nproc)"
