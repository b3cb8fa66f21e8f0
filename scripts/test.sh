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
export XDG_CONFIG_HOME
XDG_CONFIG_HOME=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
# shellcheck disable=SC2086
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" ${CTEST_ARGS:-}
