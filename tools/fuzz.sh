#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer, UndefinedBehaviorSanitizer,
# leak detection on) in build/fuzz and runs them, as many at a time as the machine has cores.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]       each target for SECONDS (default 60)
#   FUZZ_RUNS=1000000 tools/fuzz.sh 0 TARGET  a target for a number of runs instead
#   FUZZ_JOBS=1 tools/fuzz.sh ...             one target at a time (default: one per core)
#
# Each run first replays the committed seeds and regression inputs in fuzz/corpus/<target>/ and
# what earlier runs kept in build/fuzz/work/<target>/, then fuzzes, keeping what it finds new in
# build/fuzz/work/<target>/. A crash, a sanitizer report, a leak or an input slower than 10 s is
# a finding: the other runs go on, and the script then ends with a failure naming every target
# that found something; the input is left in build/fuzz/crashes/: add it to
# fuzz/corpus/<target>/ once it is mended, so that every later run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >/dev/null
source tools/install_debs.sh
install_debs clang
# libFuzzer comes with the compiler-rt libraries of clang's own version.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
install_debs "libclang-rt-$clang_major-dev"
source tools/ccache.sh

seconds="${1:-60}"
[ $# -gt 0 ] && shift
jobs="${FUZZ_JOBS:-$(nproc)}"

build=build/fuzz
launcher=()
[ ${#CCACHE_BUILD_OPTIONS[@]} -gt 0 ] && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
.venv/bin/cmake -S fuzz -B "$build" -G Ninja -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None "${launcher[@]}" >/dev/null
.venv/bin/cmake --build "$build"

targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < "$build/targets.txt"

# Runs one target; its whole output goes to build/fuzz/<target>.log. Returns non-zero on a finding.
fuzz_one() {
  local target="$1" work="$build/work/$1" log="$build/$1.log" limit runs
  mkdir -p "$work"
  if [ -n "${FUZZ_RUNS:-}" ]; then
    limit=(-runs="$FUZZ_RUNS")
    echo "fuzz_$target: $FUZZ_RUNS runs"
  else
    limit=(-max_total_time="$seconds")
    echo "fuzz_$target: $seconds s"
  fi
  if ! ASAN_OPTIONS="detect_leaks=1:halt_on_error=1" UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
      "$build/fuzz_$target" "$work" "fuzz/corpus/$target" "${limit[@]}" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/crashes/$target-" \
      >"$log" 2>&1; then
    echo "fuzz_$target failed: the end of $log follows; the input is in $build/crashes/" >&2
    tail -n 60 "$log" >&2
    return 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz_$target: ${runs:-?} runs, no finding"
}

mkdir -p "$build/crashes"
rm -f "$build"/*.failed
running=0
for target in "${targets[@]}"; do
  [ -z "$target" ] && continue
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  (fuzz_one "$target" || touch "$build/$target.failed") &
  running=$((running + 1))
done
wait

failed=()
for target in "${targets[@]}"; do
  [ -n "$target" ] && [ -e "$build/$target.failed" ] && failed+=("fuzz_$target")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
