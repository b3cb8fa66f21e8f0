#!/usr/bin/env bash
# Measures what the tests catch by running them against mutants of src/
# (MUTANTS_DIRS=src,sim,tools: of the simulator and the container tool too):
# negated conditions, moved comparison boundaries, deleted statements and
# flipped boolean returns. All mutants are built into one build, each behind
# a run-time switch, so measuring costs test runs, not builds. Run as root
# (each run gets its own network namespace and runs as the test user).
#   ./scripts/mutants/mutants.sh build             clone HEAD, write the mutants in, build
#   ./scripts/mutants/mutants.sh measure PREFIX    which mutants the tests PREFIX* (e.g. unit_)
#                                                  kill, and which of those nothing else kills
#   ./scripts/mutants/mutants.sh recheck PREFIX    after cutting tests PREFIX* in the working
#                                                  copy: all that only they killed is still killed
#   ./scripts/mutants/mutants.sh sift PREFIX       for slow (window, CLI) tests: cheap other tests
#                                                  first, then PREFIX*, then a wider witness search
#   ./scripts/mutants/mutants.sh lost PREFIX CUT   what cutting the functions CUT would lose, by
#                                                  sift's results
# MUTANTS_WORK (default /tmp/hlx-mutants) holds the tree, the build and the results;
# JOBS (default 2) runs in parallel; WITNESS_MAX_SECONDS / WITNESS_TRIES bound the search
# for another test that kills a mutant (default: the 5 cheapest functions of at most 5 s).
# Window and CLI tests mostly wait, so sift runs well with JOBS=6 to 10 on two cores.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
export MUTANTS_WORK=${MUTANTS_WORK:-/tmp/hlx-mutants}
JOBS=${JOBS:-2}

case "${1:-}" in
  build)
    rm -rf "$MUTANTS_WORK" && mkdir -p "$MUTANTS_WORK" && chmod 777 "$MUTANTS_WORK"
    git clone -q "$repo" "$MUTANTS_WORK/tree"
    cd "$MUTANTS_WORK/tree"
    # Mutants make warnings (unused results, unreachable code); they are not faults here.
    sed -i 's/^set(HLX_WARNINGS -Wall -Wextra -Werror)/set(HLX_WARNINGS -w)/' CMakeLists.txt
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=None -DHLX_BUILD_BENCH=OFF \
      -DCMAKE_CXX_FLAGS="-O1 -g0 -include $here/MutantSwitch.h" >/dev/null
    python3 "$here/schemata.py" init
    # A mutant that the compiler refuses (constant expressions, say) is switched off.
    for _ in 1 2 3 4 5 6 7 8; do
      python3 "$here/schemata.py" apply
      mapfile -t objs < <(ninja -C build -t targets all | grep -o '^[^:]*\.cpp\.o' | grep -v _autogen | sort -u)
      if ninja -C build -k 0 -j "$JOBS" "${objs[@]}" >"$MUTANTS_WORK/objects.log" 2>&1; then break; fi
      grep ': error' "$MUTANTS_WORK/objects.log" | python3 "$here/schemata.py" disable
    done
    cmake --build build -j "$JOBS"
    ;;
  measure)
    python3 "$here/runner.py" reach
    python3 "$here/runner.py" kills "$2"
    python3 "$here/runner.py" witness "$2"
    python3 "$here/runner.py" report "$2"
    ;;
  recheck)
    python3 "$here/runner.py" recheck "$2"
    ;;
  sift)
    python3 "$here/runner.py" reach
    python3 "$here/runner.py" sift "$2"
    ;;
  lost)
    python3 "$here/runner.py" lost "$2" "$3"
    ;;
  *)
    sed -n '2,20p' "$0"
    exit 2
    ;;
esac
