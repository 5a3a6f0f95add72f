#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/, or $VESSIK_FUZZ_BUILD_DIR)
# and runs each one, one after another, single job, for a bounded time.
#
#   scripts/fuzz.sh [--seconds N | --runs N] [--jobs N] [target ...]
#
# Time per target: --seconds, else $VESSIK_FUZZ_SECONDS, else 30. With --runs
# (or $VESSIK_FUZZ_RUNS) each target instead runs that many inputs. Targets
# are named without the fuzz_ prefix (frame, facility, ...); default: all built.
# Each target starts from its seeds in fuzz/corpus/<target>/ and keeps what it
# finds in <build>/corpus/<target>/; crashes land in <build>/artifacts/.
# Exit status 1 when a target crashed, leaked, timed out or ran out of memory.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${VESSIK_FUZZ_SECONDS:-30}
runs=${VESSIK_FUZZ_RUNS:-}
jobs=${VESSIK_JOBS:-2}
targets=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --seconds) seconds=$2; runs=; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) targets+=("${1#fuzz_}"); shift ;;
  esac
done

dir=${VESSIK_FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVESSIK_FUZZ=ON -DVESSIK_TESTS=OFF -DVESSIK_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$jobs" --target fuzz_all

if [[ ${#targets[@]} -eq 0 ]]; then
  for bin in "$dir"/fuzz/fuzz_*; do
    [[ -x "$bin" && -f "$bin" ]] && targets+=("$(basename "$bin" | sed 's/^fuzz_//')")
  done
fi

# Longest input per target: frames are at most a few hundred octets on the
# wire; CAPI messages carry up to 2 KiB of parameters; log files grow freely.
max_len() {
  case "$1" in
    frame|facility|raw_readers) echo 300 ;;
    capi_reader|dispatcher|handler) echo 2200 ;;
    capi_writer) echo 4096 ;;
    logfile|logview|capture) echo 16384 ;;
    *) echo 4096 ;;
  esac
}
dict() {
  case "$1" in
    logfile|logview) echo fuzz/dict/logfile.dict ;;
    *) echo fuzz/dict/q931_rose.dict ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=32}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
mkdir -p "$dir/artifacts" "$dir/logs"
failed=()
printf '%-14s %12s %10s %8s  %s\n' target executions exec/s seconds result
for t in "${targets[@]}"; do
  bin="$dir/fuzz/fuzz_$t"
  [[ -x "$bin" ]] || { echo "fuzz: no target $t (not built yet?)" >&2; failed+=("$t"); continue; }
  work="$dir/corpus/$t"
  mkdir -p "$work"
  seeds=()
  [[ -d "fuzz/corpus/$t" ]] && seeds=("fuzz/corpus/$t")
  limit=(-max_total_time="$seconds")
  [[ -n "$runs" ]] && limit=(-runs="$runs")
  log="$dir/logs/$t.log"
  start=$(date +%s)
  set +e
  "$bin" "${limit[@]}" -max_len="$(max_len "$t")" -dict="$(dict "$t")" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t-" "$work" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  set -e
  took=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  result=ok
  if [[ $rc -ne 0 ]]; then
    result="FAILED (see $log)"
    failed+=("$t")
    grep -m1 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" >&2 || true
  fi
  printf '%-14s %12s %10s %8s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "$took" "$result"
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
