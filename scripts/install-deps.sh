#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Only what is missing is installed; safe to run again.
#   --demo  also what the demo and the screenshot need
#   --fuzz  also clang and its libFuzzer runtime (scripts/fuzz.sh)
set -euo pipefail

# Qt Charts' CMake files need Qt OpenGL's, which qt6-charts-dev does not pull in.
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
  fonts-dejavu-core clang-format
  acl desktop-file-utils appstream dpkg-dev
)
for extra in "$@"; do
  case "$extra" in
    --demo) PACKAGES+=(xvfb xauth imagemagick x11-apps xdotool) ;;
    # clang's libFuzzer and sanitizer runtimes (libclang_rt.fuzzer) are in libclang-rt-14-dev.
    --fuzz) PACKAGES+=(clang libclang-rt-14-dev) ;;
  esac
done

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
