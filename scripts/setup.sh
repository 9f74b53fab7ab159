#!/usr/bin/env bash
# Installs the Debian packages Vorn needs (idempotent) and configures and
# builds the project into build/. Run as root on Debian 12. With
# VORN_PACKAGES_ONLY=1 it only installs the packages.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config git
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl1 libegl-mesa0 libgles2
  libvorbis-dev libogg-dev libstb-dev libpng-dev libjpeg62-turbo-dev
  googletest libgtest-dev libbenchmark-dev libmojoshader-dev
  ffmpeg
  apitrace xvfb xauth)
scripts/install-packages.sh "${packages[@]}"
[ "${VORN_PACKAGES_ONLY:-0}" = 1 ] && exit 0

build_dir=${VORN_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${VORN_BUILD_TYPE:-RelWithDebInfo} ${VORN_CMAKE_ARGS:-}
cmake --build "$build_dir" -j"$(nproc)"
