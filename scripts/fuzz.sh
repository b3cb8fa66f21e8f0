#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs them, one at a time, on a copy of their seed corpus.
#   ./scripts/fuzz.sh [TARGET|all] [SECONDS]   TARGET: lineparser, profile, ... (default: all)
#   RUNS=N      run N inputs per target instead of SECONDS (default 30 s)
#   FUZZ_ARGS   more libFuzzer options, e.g. "-max_total_time=600" to cap a RUNS run,
#               or "-fork=2" to spread one run over two worker processes
#   BUILD_DIR   build folder (default: build-fuzz); JOBS  parallel build jobs (default 2)
# The corpus grows in BUILD_DIR/fuzz/<target>/corpus, never in the repository;
# a crash or a broken invariant fails the run and names the saved input, which
# reproduces with: BUILD_DIR/tests/fuzz/fuzz_<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh --fuzz

BUILD_DIR=${BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-2}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DHLX_FUZZ=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target fuzz

mapfile -t all < <(find tests/fuzz -maxdepth 1 -name 'fuzz_*.cpp' -printf '%f\n' | sed 's/^fuzz_//; s/\.cpp$//' | sort)
targets=("${all[@]}")
if [[ -n "${1:-}" && "$1" != "all" ]]; then
  if [[ ! -f "tests/fuzz/fuzz_$1.cpp" ]]; then
    echo "No fuzz target '$1'; there are: ${all[*]}" >&2
    exit 2
  fi
  targets=("$1")
fi
SECONDS_EACH=${2:-30}
if [[ -n "${RUNS:-}" ]]; then budget="$RUNS runs"; else budget="$SECONDS_EACH s"; fi

# Longest input per target: one line; a frame with noise; a stream of lines;
# a whole configuration file; a few dozen replies or lines of traffic.
max_len() {
  case "$1" in
    nmeadefs | statistics) echo 256 ;;
    frameparser) echo 6144 ;;
    lineparser) echo 2048 ;;
    configfile) echo 1536 ;;
    *) echo 1024 ;;
  esac
}

# Allocation stacks are not recorded: they cost half the speed of the
# allocating targets. Run a reproducer by hand to see them.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for t in "${targets[@]}"; do
  work="$BUILD_DIR/fuzz/$t"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp -r "tests/fuzz/corpus/$t/." "$work/corpus/"
  args=(-max_len="$(max_len "$t")" -artifact_prefix="$work/artifacts/" -print_final_stats=1)
  [[ -f "tests/fuzz/$t.dict" ]] && args+=(-dict="tests/fuzz/$t.dict")
  if [[ -n "${RUNS:-}" ]]; then args+=(-runs="$RUNS"); else args+=(-max_total_time="$SECONDS_EACH"); fi
  # shellcheck disable=SC2206
  args+=(${FUZZ_ARGS:-})
  echo "== fuzz_$t ($budget)"
  log="$work/last.log"
  if "$BUILD_DIR/tests/fuzz/fuzz_$t" "${args[@]}" "$work/corpus" >"$log" 2>&1; then
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs|stat::number_of_executed_units|INFO: fuzzed for|INFO: exiting)' "$log" || tail -n 3 "$log"
  else
    echo "fuzz_$t FAILED:" >&2
    grep -E 'invariant broken|ERROR: |SUMMARY: |runtime error' "$log" | head -n 5 >&2 || true
    grep -E 'Test unit written to' "$log" | sed 's/.*Test unit written to/reproducer:/' >&2 || true
    echo "full output: $log" >&2
    failed+=("$t")
  fi
done
if ((${#failed[@]})); then
  echo "Fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
