#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   BUILD_DIR   build folder (default: build)
#   HLX_SANITIZE  address | thread | undefined (default: none)
#   CTEST_ARGS  extra arguments for ctest (for example "-L link")
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHLX_SANITIZE="${HLX_SANITIZE:-}" ${CMAKE_ARGS:-} >/dev/null
# BUILD_TARGETS narrows the build (for example "tests_link" for the thread-sanitizer run).
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" -j "$JOBS" ${BUILD_TARGETS:+--target $BUILD_TARGETS}

export QT_QPA_PLATFORM=offscreen
# Tests never touch the user's own settings.
export XDG_CONFIG_HOME XDG_RUNTIME_DIR
XDG_CONFIG_HOME=$(mktemp -d)
XDG_RUNTIME_DIR=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"' EXIT

# As root, the tests run as an ordinary account, so that what users meet
# (a port another program holds exclusively, a file without permission)
# shows in the tests as it does for them. HLX_TEST_AS_ROOT=1 keeps root.
RUN_AS=()
if [[ $(id -u) -eq 0 && "${HLX_TEST_AS_ROOT:-0}" != 1 ]]; then
  TEST_USER=${HLX_TEST_USER:-hlx-test}
  if ! id "$TEST_USER" >/dev/null 2>&1; then
    useradd --create-home --user-group --shell /usr/sbin/nologin "$TEST_USER"
  fi
  as_user() { runuser -u "$TEST_USER" -- "$@"; }
  # The account reads the checkout (every folder above it must let it pass,
  # /root usually does not) and writes in the build folder (CTest's logs).
  dir=$(pwd -P)
  while :; do
    as_user test -x "$dir" || setfacl -m "u:$TEST_USER:x" "$dir"
    [[ "$dir" == / ]] && break
    dir=$(dirname "$dir")
  done
  as_user test -r CMakeLists.txt || setfacl -R -m "u:$TEST_USER:rX" .
  setfacl -R -m "u:$TEST_USER:rwX" -m "d:u:$TEST_USER:rwX" "$BUILD_DIR"
  chown "$TEST_USER:" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
  as_user test -w "$BUILD_DIR" || { echo "cannot give $TEST_USER access to $BUILD_DIR" >&2; exit 1; }
  echo "Running the tests as $TEST_USER"
  RUN_AS=(runuser -u "$TEST_USER" -- env "PATH=$PATH")
fi
# shellcheck disable=SC2086
"${RUN_AS[@]}" ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" ${CTEST_ARGS:-}
