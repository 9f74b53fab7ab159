#!/usr/bin/env bash
# Renders the reference frames of the show anew into tests/reference/frames
# (after an intended change of the picture). Needs a configured build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target test_reference vorn_data -j"$(nproc)"
cd build/tests
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy VORN_UPDATE_REFERENCES=1 \
  ./test_reference --gtest_filter='ReferenceFrames.*'
echo "references written to tests/reference/frames"
