#!/usr/bin/env bash
# The Windows build, checked under Wine against the Linux build.
#
# 1. Builds for Windows (scripts/build-windows.sh) and installs Wine and Xvfb.
# 2. Captures the show at 320x240 at the music times below, which cover every
#    block, once with the Linux build (our Direct3D 9 stand-in over OpenGL on
#    Mesa llvmpipe) and once with vorn-capture.exe under Wine (the real
#    Direct3D 9 interface: Wine's wined3d, on the same Mesa). Both runs
#    capture the same times in the same order, so each frame follows the same
#    frames before it (blocks animate after drawing).
# 3. Compares each pair (vorn-tool compare) and fails where a frame is off by
#    more than the tolerance below.
# 4. Starts vorn.exe under Wine, clicks Run on the configuration screen, lets
#    the show play and ends it with Escape, which must end the program with
#    exit status 0.
#
# The tolerance. Both builds rasterise on the same Mesa, but not the same
# way: wined3d writes its own GLSL for the fixed-function stages and for our
# shader bytecode, rounds colours through its own paths and places pixel
# centres with its own offset, while our stand-in shifts by 63/64 of a pixel
# (see src/platform/d3d9/device.h). What is left, measured over the times
# below (docs/windows-reference-check.md has every frame's numbers and
# worst pixels): frames of 2D alone (the title, also under a veil) match
# exactly; the others score 37-49 dB with at most 50 pixels (0.07%) off by
# more than 48 levels, all of them on one-pixel features where a shifted
# pixel centre moves a whole line or edge (the reveal's wire edges, the map
# line, rails, glyph and icon edges, rims of point sprites) and in the grain
# of the noise overlay, whose tiles are point-sampled, so a texel boundary
# falls one way or the other. A frame passes with
#   PSNR >= 34 dB over the colour channels, and
#   at most 0.5% of its pixels differing by more than 48 levels in a channel.
# Real faults fail by far: the two this check found in our stand-in and
# content (a point-sprite size clamp, an alpha test that dropped pixels)
# scored 14-29 dB with 1.9-12% of the pixels off, and a wrong state -
# blending, a missing texture, a wrong transform, a shader that did not run -
# moves large areas. The difference images (four times brighter) are kept
# under build-windows/reference-check/diff.
#
# Environment: VORN_WINDOWS_BUILD_DIR (default build-windows).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/${VORN_WINDOWS_BUILD_DIR:-build-windows}
native=$root/${VORN_BUILD_DIR:-build}
check=$out/reference-check
min_psnr=34
max_far_permille=5
times=(1000 9000 15000 17100 30000 45000 54000 58500 61000 66000 74000 79000 90000 105000 120000 140000 155000 170000)
started=$(date +%s)
step() { echo "test-windows: $* ($(($(date +%s) - started)) s)"; }

packages=(wine wine64 xvfb xauth xdotool)
scripts/install-packages.sh "${packages[@]}"

step "building for Windows"
VORN_WINDOWS_BUILD_DIR=${out#$root/} scripts/build-windows.sh
cmake --build "$native" -j"$(nproc)" --target vorn-capture vorn-tool >/dev/null

# ---- Wine on a private X display --------------------------------------------------
. scripts/wine-session.sh
step "starting Wine"
start_wine_session "$out"

# ---- the frames ---------------------------------------------------------------------
rm -rf "$check"
mkdir -p "$check/linux" "$check/wine" "$check/diff"
at=()
for t in "${times[@]}"; do at+=(--at "$t"); done
step "capturing ${#times[@]} frames with the Linux build"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "$native/vorn-capture" --data "$native/data" --size 320x240 \
  "${at[@]}" --out "$check/linux" --quiet
step "capturing ${#times[@]} frames under Wine"
(cd "$out/vorn" && exec timeout 300 wine ./vorn-capture.exe --size 320x240 "${at[@]}" \
  --out "$(winepath -w "$check/wine")" --quiet) >"$check/wine-capture.log" 2>&1 &
capture=$!
# A message box would wait for a user: a shader that does not compile for
# Direct3D 9 shows one (HLSL ... Compile Failure), so does a failed render
# target. Stop on it with its title.
while kill -0 "$capture" 2>/dev/null; do
  box=$(xdotool search --onlyvisible --name "Compile Failure|Error" 2>/dev/null | head -1 || true)
  if [ -n "$box" ]; then
    echo "test-windows: vorn-capture.exe under Wine stopped at a message box: $(xdotool getwindowname "$box")" >&2
    wineserver -k || true
    exit 1
  fi
  sleep 1
done
if ! wait "$capture"; then
  echo "test-windows: vorn-capture.exe failed under Wine:" >&2
  cat "$check/wine-capture.log" >&2
  exit 1
fi

step "comparing"
failed=0
printf '%-10s %8s %9s %8s %10s  %s\n' "time ms" "PSNR dB" "max diff" "> 48" "worst at" "worst pixel (Linux / Wine)"
for t in "${times[@]}"; do
  name=$(printf 'frame_%06d.png' "$t")
  json=$("$native/vorn-tool" compare "$check/linux/$name" "$check/wine/$name" --diff "$check/diff/$name")
  echo "$json" >>"$check/compare.jsonl"
  field() { echo "$json" | sed -E "s/.*\"$1\": ([^,}]+).*/\1/"; }
  psnr=$(field psnr)
  max=$(field max_diff)
  far=$(field over_48)
  # "worst": {"x": X, "y": Y, "a": [R, G, B], "b": [R, G, B]} as eight numbers
  read -r x y ar ag ab br bg bb <<<"$(echo "$json" | sed -E 's/.*"worst": \{([^}]*)\}.*/\1/' | tr -c '0-9\n' ' ')"
  a="$ar,$ag,$ab"
  b="$br,$bg,$bb"
  pixels=$((320 * 240))
  verdict=ok
  if ! awk -v p="$psnr" -v m="$min_psnr" 'BEGIN { exit !(p >= m) }' || [ $((far * 1000)) -gt $((pixels * max_far_permille)) ]; then
    verdict=FAIL
    failed=1
  fi
  printf '%-10s %8s %9s %8s %10s  %s / %s  %s\n' "$t" "$psnr" "$max" "$far" "$x,$y" "$a" "$b" "$verdict"
done

# ---- vorn.exe itself ----------------------------------------------------------------
step "running vorn.exe under Wine"
(cd "$out/vorn" && VORN_WALL_CLOCK_SPEED=1 exec wine ./vorn.exe) >"$check/vorn.log" 2>&1 &
vorn=$!
find_window() {
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
vorn_ok=1
if config=$(find_window "Configuration"); then
  # Client coordinates of the 350x290 configuration screen: windowed mode
  # (Xvfb has no other display mode), then Run. The widgets read the cursor
  # and the button state once a frame and the screen takes one message a
  # frame, so each press and release is held while a few frames pass.
  press() {
    xdotool mousemove --window "$config" "$1" "$2"
    sleep 1
    xdotool mousedown 1
    sleep 0.5
    xdotool mouseup 1
    sleep 1
  }
  sleep 2  # the screen's first frames
  press 50 215
  press 295 275
else
  echo "test-windows: the configuration screen did not appear" >&2
  vorn_ok=0
fi
if [ $vorn_ok = 1 ] && show=$(find_window "Vorn"); then
  sleep 8  # loading, then a few seconds of the show
  if ! kill -0 "$vorn" 2>/dev/null; then
    echo "test-windows: vorn.exe ended before Escape" >&2
    vorn_ok=0
  fi
  # Real key events (XTEST) to the focused window: Wine ignores events sent
  # to a window directly.
  xdotool mousemove --window "$show" 320 240 click 1
  xdotool windowfocus --sync "$show"
  xdotool key Escape
else
  box=$(xdotool search --onlyvisible --name "Bang!|Compile Failure|Error" 2>/dev/null | head -1 || true)
  if [ -n "$box" ]; then
    echo "test-windows: vorn.exe stopped at a message box: $(xdotool getwindowname "$box")" >&2
  else
    echo "test-windows: the show's window did not appear" >&2
  fi
  vorn_ok=0
fi
status=0
if [ $vorn_ok = 1 ]; then
  for _ in $(seq 100); do kill -0 "$vorn" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$vorn" 2>/dev/null; then
    echo "test-windows: vorn.exe did not end on Escape" >&2
    vorn_ok=0
  else
    wait "$vorn" || status=$?
    [ "$status" = 0 ] || { echo "test-windows: vorn.exe ended with status $status" >&2; vorn_ok=0; }
  fi
fi
kill "$vorn" 2>/dev/null || true
[ $vorn_ok = 1 ] && echo "test-windows: vorn.exe started, played and ended on Escape (status 0)"

step "done"
if [ $failed = 1 ] || [ $vorn_ok = 0 ]; then
  echo "test-windows: FAILED (frames and difference images in $check)" >&2
  exit 1
fi
echo "test-windows: every frame within the tolerance"
