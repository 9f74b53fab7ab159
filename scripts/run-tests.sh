#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 900
