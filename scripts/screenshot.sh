#!/usr/bin/env bash
# The demo on a virtual screen: saves docs/main-window.png showing the main
# window connected to the simulator. See demo-common.sh for options;
# SHOT_DELAY (seconds, default 5) is how long traffic runs before the shot.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh --demo
# shellcheck source=scripts/demo-common.sh
source scripts/demo-common.sh
trap demo_cleanup EXIT
trap 'exit 130' INT TERM

demo_build
demo_start_sim
demo_seed_settings
mkdir -p docs
out="$PWD/docs/main-window.png"

export BUILD_DIR SHOT_DELAY=${SHOT_DELAY:-5} SHOT_OUT="$out"
xvfb-run -a -s "-screen 0 1000x820x24" bash -c '
  set -euo pipefail
  "$BUILD_DIR/hlx-config" -platform xcb &
  app=$!
  trap "kill $app 2>/dev/null || true; wait $app 2>/dev/null || true" EXIT
  sleep "$SHOT_DELAY"
  # No window manager: the window sits at the top left of a black screen,
  # so trimming the black leaves exactly the window.
  import -window root png:- | convert png:- -trim +repage "$SHOT_OUT"
'
echo "saved $out"
