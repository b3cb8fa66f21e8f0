#!/usr/bin/env bash
# Makes the committed capture and what the sentence inspector must show for it:
#   boat.nmea      15 s of the simulator's traffic (every 23rd line with a wrong
#                  checksum), recorded by hlx-cli record from its terminal
#   boat.expected  the inspector's table after replaying boat.nmea through
#                  hlx-sim --replay into hlx-cli inspect, without the time since
#                  each row was last seen (which depends on when it is read)
# Run it after a change that is meant to change either; review the difference.
#   BUILD_DIR  build folder with hlx-sim and hlx-cli (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${BUILD_DIR:-$here/../../build}" && pwd)
address=${HLX_TEST_SIM_ADDRESS:-127.0.0.91}
work=$(mktemp -d)
sim=""
cleanup() {
  [[ -n $sim ]] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start_sim() {
  "$build/sim/hlx-sim" --address "$address" --pty "$work/pty" "$@" >"$work/sim.out" &
  sim=$!
  for _ in $(seq 1 50); do grep -qx ready "$work/sim.out" && return; sleep 0.1; done
  echo "hlx-sim did not start" >&2
  exit 1
}
stop_sim() {
  kill "$sim"
  wait "$sim" || true
  sim=""
}

start_sim --traffic 20 --seed 5 --bad-checksums 23 --ov-period 0
"$build/hlx-cli" record --port "$work/pty" -o "$here/boat.nmea" --duration 15
stop_sim

start_sim --replay "$here/boat.nmea"
seconds=$(sed -n 's/^replay .*: [0-9]* lines over \([0-9.]*\) s.*/\1/p' "$work/sim.out")
{
  echo "# input talker type count rate/s longest-gap/s bad-checksum no-checksum too-long"
  "$build/hlx-cli" inspect --port "$work/pty" --once "$(echo "$seconds + 1" | bc)" |
    awk 'NR > 1 { print $1, $2, $3, $4, $5, $7, $8, $9, $10 }'
} >"$here/boat.expected"
stop_sim
echo "boat.nmea: $(wc -l <"$here/boat.nmea") lines; boat.expected: $(($(wc -l <"$here/boat.expected") - 1)) rows"
