#!/usr/bin/env bash
# The fuzz stage: builds the libFuzzer targets (clang, with AddressSanitizer
# and UndefinedBehaviorSanitizer) into build-asan and runs each for a given
# time, seeded from the generated data in build/data. The corpus each target
# grows is kept in build-asan/fuzz/corpus and taken up again by the next
# run. Fails when a target finds a crash, a leak, a hang or undefined
# behaviour; the input that shows it is left in build-asan/fuzz/findings.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 60); TARGET is scene, nsl, hlsl, png, jpeg,
# bmp, tga or ogg (default all). VORN_FUZZ_JOBS targets run at a time
# (default: one per processor).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build-asan
seconds=${1:-60}
shift || true
all=(scene nsl hlsl png jpeg bmp tga ogg)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
jobs=${VORN_FUZZ_JOBS:-$(nproc)}

VORN_PACKAGES_ONLY=1 scripts/setup.sh
scripts/install-packages.sh clang libclang-rt-14-dev libfuzzer-14-dev

start=$(date +%s)
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_ASAN=ON \
  -DVORN_FUZZ_SECONDS=20 >/dev/null
cmake --build "$build" -j"$(nproc)" --target vorn_fuzzers
built=$(date +%s)

work="$root/$build/fuzz"
seeds="$work/seeds"
rm -rf "$seeds" "$work/logs"
mkdir -p "$seeds" "$work/logs" "$work/findings"
for t in "${all[@]}"; do mkdir -p "$seeds/$t" "$work/corpus/$t"; done

# Seeds: the data files themselves, and small variants of them in the other
# formats each decoder takes (made with ffmpeg when it is there).
data=build/data
if [ ! -d "$data/models" ]; then
  echo "fuzz: no generated data in $data (run scripts/setup.sh); the targets start from small seeds"
fi
cp tests/scene/corpus/*.nc "$seeds/scene/" 2>/dev/null || true
cp "$data"/models/* "$seeds/scene/" 2>/dev/null || true
cp "$data"/shaders/*.nsl "$seeds/nsl/" 2>/dev/null || true
for nsl in "$data"/shaders/*.nsl; do
  [ -f "$nsl" ] || continue
  name=$(basename "$nsl" .nsl)
  for kind in VS PS; do
    prefix=$([ $kind = VS ] && echo v || echo p)
    awk -v header="#preprocessor HLSL_$kind" -v prefix="$prefix" '
      /^#(preprocessor|end)/ { inside = ($0 == header); if (inside) printf "%s", prefix; next }
      inside { print }' "$nsl" >"$seeds/hlsl/$name-$kind.hlsl"
  done
done
printf 'pfloat4 main() : COLOR { return float4(1, 0, 0, 1); }\n' >"$seeds/hlsl/minimal.hlsl"
cp "$data"/textures/*.png "$seeds/png/" 2>/dev/null || true
if command -v ffmpeg >/dev/null; then
  convert() { ffmpeg -nostdin -loglevel error -y "$@" || true; }
  for png in "$data"/textures/tex2d_logo.png "$data"/textures/tex_particle_1.png; do
    [ -f "$png" ] || continue
    n=$(basename "$png" .png)
    small=(-i "$png" -vf scale=24:16 -frames:v 1)
    for f in rgba rgb24 gray ya8 pal8 rgb48be gray16be; do convert "${small[@]}" -pix_fmt $f "$seeds/png/$n-$f.png"; done
    for f in yuvj420p yuvj444p gray; do convert "${small[@]}" -pix_fmt $f "$seeds/jpeg/$n-$f.jpg"; done
    for f in bgra bgr24 pal8 gray rgb555le; do convert "${small[@]}" -pix_fmt $f "$seeds/bmp/$n-$f.bmp"; done
    for f in bgra bgr24 gray; do
      convert "${small[@]}" -pix_fmt $f "$seeds/tga/$n-$f.tga"
      convert "${small[@]}" -pix_fmt $f -rle 1 "$seeds/tga/$n-$f-rle.tga"
    done
  done
  if [ -f "$data/milk.ogg" ]; then
    convert -i "$data/milk.ogg" -t 0.4 -c copy "$seeds/ogg/stereo.ogg"
    convert -ss 20 -i "$data/milk.ogg" -t 0.4 -ac 1 -ar 22050 -c:a libvorbis -serial_offset 7 "$work/mono.ogg"
    cp "$work/mono.ogg" "$seeds/ogg/mono.ogg" 2>/dev/null || true
    cat "$seeds/ogg/stereo.ogg" "$work/mono.ogg" >"$seeds/ogg/chained.ogg" 2>/dev/null || true
  fi
fi

export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/fuzz-lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

run() {
  local t=$1 asan=$ASAN_OPTIONS
  # The system's vorbisfile has no frame pointers: only the slow unwinder
  # sees through it to the entry point its known leak is suppressed by.
  [ "$t" = ogg ] && asan="$asan:fast_unwind_on_malloc=0"
  ASAN_OPTIONS=$asan "$build/fuzz-$t-libfuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$work/findings/$t-" "$work/corpus/$t" "$seeds/$t" >"$work/logs/$t.log" 2>&1
}

declare -A pids
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run "$t" &
  pids[$t]=$!
done

status=0
summary="$work/summary.txt"
printf '%-6s %12s %8s %8s %8s  %s\n' target executions cov ft corpus result >"$summary"
for t in "${targets[@]}"; do
  result=ok
  wait "${pids[$t]}" || result=FINDING
  log="$work/logs/$t.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corpus=$(ls "$work/corpus/$t" | wc -l)
  printf '%-6s %12s %8s %8s %8s  %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$corpus" "$result" >>"$summary"
  if [ $result != ok ]; then
    status=1
    echo "==== fuzz-$t: finding (full log: $log)"
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written|^    #[0-9]' "$log" | head -40
  fi
done
cat "$summary"
echo "fuzz: build $((built - start)) s, fuzzing $(($(date +%s) - built)) s ($seconds s a target, $jobs at a time)"
exit $status
