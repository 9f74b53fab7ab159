#!/usr/bin/env bash
# Times three Direct3D 9 workloads (10 000 point sprites, a 512x512 blur
# chain, 50 000 textured triangles x 10) on our OpenGL stand-in and on Wine's
# Direct3D 9, paired workload by workload in one run of `vorn-bench peer`:
# both sides are built from one source (tools/vorn-bench/peer), for Linux
# against the stand-in and for Windows against the real Direct3D 9, and both
# render on the same Mesa (ours headless, Wine's on a private X display).
#
# Builds for Windows (scripts/build-windows.sh) and installs Wine and Xvfb.
# Arguments go to vorn-bench peer, e.g. --frames 50 or --json.
#
# Environment: VORN_WINDOWS_BUILD_DIR (default build-windows), VORN_BUILD_DIR
# (the Linux build, default build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/${VORN_WINDOWS_BUILD_DIR:-build-windows}
native=$root/${VORN_BUILD_DIR:-build}

scripts/install-packages.sh wine wine64 xvfb xauth xdotool
echo "bench-peer: building for Windows" >&2
VORN_WINDOWS_BUILD_DIR=${out#$root/} scripts/build-windows.sh >&2
cmake --build "$out/build" -j"$(nproc)" --target vorn-peer >&2
cmake --build "$native" -j"$(nproc)" --target vorn-bench >&2

. scripts/wine-session.sh
echo "bench-peer: starting Wine" >&2
start_wine_session "$out"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "$native/vorn-bench" peer --wine-exe "$out/build/vorn-peer.exe" "$@"
