#!/usr/bin/env bash
# Regenerates the README's media: docs/contact-sheet.png (frames from every
# block) and docs/preview.gif (a few seconds of the show). Needs a configured
# build/ and ffmpeg.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target vorn-capture vorn_data -j"$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p docs

times=(9000 30000 45000 56000 69000 74000 90000 105000 125000 140000 160000 170000)
# Blocks animate after drawing, so each sheet frame gets a frame just before
# it that poses its scenes, as the running show would.
args=()
for t in "${times[@]}"; do args+=(--at "$((t - 20))" --at "$t"); done
build/vorn-capture --quiet --size 320x240 "${args[@]}" --out "$work/all"
mkdir -p "$work/sheet"
for t in "${times[@]}"; do cp "$work/all/$(printf 'frame_%06d.png' "$t")" "$work/sheet/"; done
ffmpeg -loglevel error -y -pattern_type glob -i "$work/sheet/frame_*.png" -vf "tile=4x3:padding=4:color=black" \
  -frames:v 1 docs/contact-sheet.png

build/vorn-capture --quiet --size 256x192 --fps 10 --from 89000 --to 94000 --frames "$work/gif"
ffmpeg -loglevel error -y -framerate 10 -i "$work/gif/frame_%06d.png" \
  -vf "split[a][b];[a]palettegen=max_colors=96[p];[b][p]paletteuse=dither=bayer" docs/preview.gif
ls -l docs/contact-sheet.png docs/preview.gif
