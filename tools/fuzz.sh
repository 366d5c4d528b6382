#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer, UndefinedBehaviorSanitizer,
# leak detection on) in build/fuzz and runs each one in turn.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]       each target for SECONDS (default 60)
#   FUZZ_RUNS=1000000 tools/fuzz.sh 0 TARGET  a target for a number of runs instead
#
# Each run starts from the committed seeds and regression inputs in fuzz/corpus/<target>/ and
# keeps what it finds new in build/fuzz/work/<target>/. A crash, a sanitizer report, a leak or an
# input slower than 10 s stops the script with a failure, and the input is left in
# build/fuzz/crashes/: add it to fuzz/corpus/<target>/ once it is mended, so that every later
# run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >/dev/null
source tools/install_debs.sh
install_debs clang
# libFuzzer comes with the compiler-rt libraries of clang's own version.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
install_debs "libclang-rt-$clang_major-dev"

seconds="${1:-60}"
[ $# -gt 0 ] && shift

build=build/fuzz
.venv/bin/cmake -S fuzz -B "$build" -G Ninja -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None >/dev/null
.venv/bin/cmake --build "$build"

targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < "$build/targets.txt"

mkdir -p "$build/crashes"
for target in "${targets[@]}"; do
  [ -z "$target" ] && continue
  work="$build/work/$target"
  mkdir -p "$work"
  if [ -n "${FUZZ_RUNS:-}" ]; then
    limit=(-runs="$FUZZ_RUNS")
    echo "fuzz_$target: $FUZZ_RUNS runs"
  else
    limit=(-max_total_time="$seconds")
    echo "fuzz_$target: $seconds s"
  fi
  log="$build/$target.log"
  if ! ASAN_OPTIONS="detect_leaks=1:halt_on_error=1" UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
      "$build/fuzz_$target" "$work" "fuzz/corpus/$target" "${limit[@]}" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/crashes/$target-" \
      >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz_$target failed: the input is in $build/crashes/" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz_$target: ${runs:-?} runs, no finding"
done
