# Shared by demo.sh and screenshot.sh (sourced, not run): builds the program
# and the simulator, starts the simulator and prepares a private settings
# folder that makes the program connect to it at start.
#   BUILD_DIR          build folder (default: build)
#   HLX_DEMO_CHANNEL   pty (default), tcp or udp
#   HLX_DEMO_TRAFFIC   live NMEA lines per second (default: 8)
#   HLX_TEST_SIM_ADDRESS  the simulator's loopback address (default: 127.0.0.2), as for the tests

BUILD_DIR=${BUILD_DIR:-build}
HLX_DEMO_CHANNEL=${HLX_DEMO_CHANNEL:-pty}
HLX_DEMO_TRAFFIC=${HLX_DEMO_TRAFFIC:-8}
SIM_ADDRESS=${HLX_TEST_SIM_ADDRESS:-127.0.0.2}

demo_build() {
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD_DIR" --target hlx-config hlx-sim -j "${JOBS:-$(nproc)}"
}

DEMO_WORK=$(mktemp -d)
SIM_PID=""
APP_PID=""

demo_cleanup() {
  for pid in $APP_PID $SIM_PID; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $APP_PID $SIM_PID; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$DEMO_WORK"
}

# Starts hlx-sim and waits for its "ready" line.
demo_start_sim() {
  local pty="$DEMO_WORK/hlx-pty"
  "$BUILD_DIR/sim/hlx-sim" --address "$SIM_ADDRESS" --pty "$pty" --traffic "$HLX_DEMO_TRAFFIC" \
    >"$DEMO_WORK/sim.out" 2>"$DEMO_WORK/sim.err" &
  SIM_PID=$!
  for _ in $(seq 1 100); do
    grep -qx ready "$DEMO_WORK/sim.out" 2>/dev/null && break
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
      echo "hlx-sim did not start:" >&2
      cat "$DEMO_WORK/sim.err" >&2
      exit 1
    fi
    sleep 0.1
  done
  grep -qx ready "$DEMO_WORK/sim.out" || { echo "hlx-sim not ready after 10 s" >&2; exit 1; }
  export HLX_EXTRA_PORTS="$pty"
}

# Settings as the program leaves them after a generation switch: the port is
# chosen and ReConnect is set, so the program connects 250 ms after start.
demo_seed_settings() {
  export XDG_CONFIG_HOME="$DEMO_WORK/config"
  mkdir -p "$XDG_CONFIG_HOME/Quorvane"
  local port
  case "$HLX_DEMO_CHANNEL" in
    # Paths sort before the system's port names ("/" before letters), so the
    # pseudo-terminal is the first serial port, right after UDP All, UDP, TCP.
    pty) port=3 ;;
    tcp) port=2 ;;
    udp) port=1 ;;
    *) echo "HLX_DEMO_CHANNEL must be pty, tcp or udp" >&2; exit 2 ;;
  esac
  cat >"$XDG_CONFIG_HOME/Quorvane/HLXConfig.conf" <<CONF
[General]
BaudRate=5
Port=$port
IP=$SIM_ADDRESS
CurrentTab=0
ReConnect=1
FormID=0
CONF
}
