#!/usr/bin/env bash
# The demo on a virtual screen: saves docs/main-window.png (the main window
# connected to the simulator), docs/sentences.png (its "Sentences" view) and
# docs/history.png (the statistics window with its history charts). See
# demo-common.sh for options; SHOT_DELAY (seconds, default 5) is how long
# traffic runs before the first shot, HISTORY_DELAY (default 60) how long the
# history charts fill before theirs.
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

conf="$XDG_CONFIG_HOME/Quorvane/HLXConfig.conf"
export BUILD_DIR SHOT_DELAY=${SHOT_DELAY:-5} HISTORY_DELAY=${HISTORY_DELAY:-60} DOCS="$PWD/docs" CONF="$conf"
xvfb-run -a -s "-screen 0 1700x960x24" bash -c '
  set -euo pipefail
  # No window manager: the windows sit at the top left of a black screen, so
  # trimming the black leaves exactly them.
  shot() { import -window root png:- | convert png:- -trim +repage "$DOCS/$1"; }
  run() {
    "$BUILD_DIR/hlx-config" -platform xcb &
    app=$!
    sleep "$SHOT_DELAY"
    main=$(xdotool search --name "^Halyx Configuration Tool" | head -1)
  }
  trap "kill \$app 2>/dev/null || true" EXIT
  run
  shot main-window.png
  kill "$app"
  wait "$app" || true

  # Again with the monitor'"'"'s second tab, its first row selected.
  printf "MonitorTab=1\nReConnect=1\n" >>"$CONF"
  run
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove $((X + 60)) $((Y + 542)) click 1
  sleep 1
  shot sentences.png
  # Tools > Show Statistics, then its history.
  xdotool windowfocus --sync "$main" key alt+t key s
  sleep 1
  stats=$(xdotool search --name "^Statistics$" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$stats")"
  xdotool mousemove $((X + 175)) $((Y + 12)) click 1
  sleep "$HISTORY_DELAY"
  shot history.png
'
echo "saved docs/main-window.png, docs/sentences.png and docs/history.png"
