#!/usr/bin/env bash
# One command to see the program at work: builds, starts the simulator and
# opens hlx-config already connected to it, with live traffic.
# Closing the window or Ctrl-C stops both. See demo-common.sh for options.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
# shellcheck source=scripts/demo-common.sh
source scripts/demo-common.sh
trap demo_cleanup EXIT
trap 'exit 130' INT TERM

demo_build
demo_start_sim
demo_seed_settings
echo "hlx-sim runs on $HLX_EXTRA_PORTS and $SIM_ADDRESS:10110; opening hlx-config ($HLX_DEMO_CHANNEL)"
"$BUILD_DIR/hlx-config" &
APP_PID=$!
wait "$APP_PID" || true
APP_PID=""
