#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for FUZZ_SECONDS (default 45) on a
# copy of its seed corpus in fuzz/corpus/. Fails on any crash, leak, timeout or
# out-of-memory finding; the findings stay in build/fuzz/run/<target>/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-45}"
targets="${FUZZ_TARGETS:-routelist routegroup firmware transport settings table workbook}"
build="$PWD/build/fuzz"

if ! command -v clang++ >/dev/null; then
  echo "ci-fuzz: clang++ is needed for libFuzzer" >&2
  exit 1
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# The targets write their files into a temporary folder; memory is faster than a disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=0
for target in $targets; do
  work="$build/run/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/findings"
  cp fuzz/corpus/"$target"/* "$work/corpus/"
  echo "== fuzz_$target for $seconds s"
  rc=0
  # stdin is closed: a listed path may name /dev/stdin, which must not wait for a terminal.
  (cd "$work" && "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=findings/ corpus \
      </dev/null >log 2>&1) || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  echo "fuzz_$target: ${runs:-?} executions, exit $rc"
  if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$work/findings")" ]; then
    failed=1
    tail -n 60 "$work/log"
    ls -l "$work/findings"
  fi
done
exit "$failed"
