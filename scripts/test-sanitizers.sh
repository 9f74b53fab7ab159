#!/usr/bin/env bash
# The sanitizer stage: builds Vorn with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang) into build-asan and runs the whole test
# suite there, headless, with leak detection on. The stage fails on any
# failed test and on any sanitizer report, also one from a child process or
# one that a test did not notice: reports are written to files and counted.
#
#   scripts/test-sanitizers.sh [CTEST ARGUMENTS...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build-asan

VORN_PACKAGES_ONLY=1 scripts/setup.sh
scripts/install-packages.sh clang libclang-rt-14-dev libfuzzer-14-dev

start=$(date +%s)
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_ASAN=ON \
  -DVORN_FUZZ_SECONDS=20 >/dev/null
cmake --build "$build" -j"$(nproc)"
clang -shared -fPIC -O1 -o "$build/libvorn-keep-libraries-loaded.so" scripts/sanitizers/keep-libraries-loaded.c
built=$(date +%s)

# clang 14's __tls_get_addr interceptor can take a dynamic TLS block for an
# old glibc header and crash LeakSanitizer's tracer at exit (Mesa's
# threads have such blocks): intercept_tls_get_addr=0 avoids it.
reports="$root/$build/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="detect_leaks=1:log_path=$reports/asan:strict_string_checks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
export LD_PRELOAD="$root/$build/libvorn-keep-libraries-loaded.so"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

status=0
(cd "$build" && ctest --output-on-failure -j"$(nproc)" --timeout 1800 "$@") || status=$?
unset LD_PRELOAD

shopt -s nullglob
found=("$reports"/*)
for report in "${found[@]}"; do
  echo "==== $report"
  cat "$report"
done
echo "sanitizers: ${#found[@]} report(s); build $((built - start)) s, tests $(($(date +%s) - built)) s"
[ ${#found[@]} -eq 0 ] || status=1
exit $status
