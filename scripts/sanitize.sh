#!/usr/bin/env bash
# Robustness run: builds and runs Vessik under the sanitizers.
#
#   scripts/sanitize.sh [asan] [tsan] [fuzz] [--seconds N]
#
#   asan  AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/),
#         the whole ctest suite; the simulated driver library that the CAPI
#         tests load is built with the same flags.
#   tsan  ThreadSanitizer build (build-tsan/) of the threaded layers' tests
#         ($VESSIK_TSAN_LAYERS, default "capi sim server cli app"), which it
#         then runs.
#   fuzz  every libFuzzer target for N seconds each (scripts/fuzz.sh;
#         --seconds, else $VESSIK_FUZZ_SECONDS, else 30).
# Without a step name all three run. At most $VESSIK_JOBS (default 2) jobs.
# Exit status 1 when any step found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."

steps=()
seconds=${VESSIK_FUZZ_SECONDS:-30}
while [[ $# -gt 0 ]]; do
  case "$1" in
    asan|tsan|fuzz) steps+=("$1"); shift ;;
    --seconds) seconds=$2; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "sanitize: unknown argument $1" >&2; exit 2 ;;
  esac
done
[[ ${#steps[@]} -eq 0 ]] && steps=(asan tsan fuzz)
jobs=${VESSIK_JOBS:-2}
here=$PWD
export QT_QPA_PLATFORM=offscreen

configure() { # dir sanitizers
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESSIK_SANITIZE="$2" \
    -DVESSIK_TESTS=ON -DVESSIK_BENCH=OFF -DVESSIK_FUZZ=OFF >/dev/null
}

status=0
for step in "${steps[@]}"; do
  case "$step" in
  asan)
    echo "== AddressSanitizer + UndefinedBehaviorSanitizer: whole test suite"
    dir=${VESSIK_ASAN_BUILD_DIR:-build-asan}
    configure "$dir" address,undefined
    cmake --build "$dir" -j"$jobs"
    # Sanitizer reports fail the test that caused them; leaks are checked at exit.
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/fuzz/sanitizer/lsan.supp:print_suppressions=0} \
      ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600 || status=1
    ;;
  tsan)
    echo "== ThreadSanitizer: threaded tests"
    dir=${VESSIK_TSAN_BUILD_DIR:-build-tsan}
    configure "$dir" thread
    # One suppression file for all: the general one and each layer's own.
    supp="$here/$dir/tsan.supp"
    cat fuzz/sanitizer/tsan.supp tests/*/tsan.supp > "$supp" 2>/dev/null || true
    ran=0
    # Qt's GLib event dispatcher allocates through GLib's own locks, which
    # ThreadSanitizer cannot see; Qt's own dispatcher has none of that.
    export QT_NO_GLIB=1
    for layer in ${VESSIK_TSAN_LAYERS:-capi sim server cli app}; do
      [[ -f "tests/$layer/CMakeLists.txt" ]] || { echo "tsan: no tests for $layer yet"; continue; }
      cmake --build "$dir" -j"$jobs" --target "tests/$layer/all"
      TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$supp} \
        ctest --test-dir "$dir/tests/$layer" --output-on-failure -j1 --timeout 600 || status=1
      ran=1
    done
    [[ $ran -eq 1 ]] || echo "tsan: nothing to run"
    ;;
  fuzz)
    echo "== libFuzzer targets, ${seconds}s each"
    scripts/fuzz.sh --seconds "$seconds" || status=1
    ;;
  esac
done
exit $status
