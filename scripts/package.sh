#!/usr/bin/env bash
# Builds the Debian package from an existing build folder and checks it:
# the desktop entry and the AppStream metadata validate, every file is in
# place. With --install it also installs the package with apt-get (root or
# sudo), starts the installed programs once and removes the package again.
#   BUILD_DIR   build folder (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
cmake --build "$BUILD_DIR" --target hlx-config hlx-sim hlx-mkfw hlx-cli hlx-config_manpage hlx-sim_manpage hlx-mkfw_manpage \
  hlx-cli_manpage
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb=$(realpath "$(ls -t "$BUILD_DIR"/hlx-config_*.deb | head -n 1)")
echo "Package: $deb"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage"
for f in usr/bin/hlx-config usr/bin/hlx-sim usr/bin/hlx-mkfw usr/bin/hlx-cli usr/share/man/man1/hlx-config.1.gz \
  usr/share/man/man1/hlx-sim.1.gz usr/share/man/man1/hlx-mkfw.1.gz usr/share/man/man1/hlx-cli.1.gz \
  usr/share/applications/com.quorvane.HLXConfig.desktop usr/share/metainfo/com.quorvane.HLXConfig.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/com.quorvane.HLXConfig.svg; do
  [[ -e "$stage/$f" ]] || { echo "missing from the package: /$f" >&2; exit 1; }
done
for size in 16 22 24 32 48 64 128 256; do
  [[ -e "$stage/usr/share/icons/hicolor/${size}x${size}/apps/com.quorvane.HLXConfig.png" ]] ||
    { echo "missing icon ${size}x${size}" >&2; exit 1; }
done
desktop-file-validate "$stage/usr/share/applications/com.quorvane.HLXConfig.desktop"
appstreamcli validate --no-net "$stage/usr/share/metainfo/com.quorvane.HLXConfig.metainfo.xml"
for page in "$stage"/usr/share/man/man1/*.1.gz; do
  # man's own warnings (bad requests, overlong lines) fail the check.
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [[ -z "$out" ]] || { echo "$page: $out" >&2; exit 1; }
done
echo "Package contents and metadata: OK"

if [[ "${1:-}" != "--install" ]]; then
  exit 0
fi
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
trap '$SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq hlx-config >/dev/null; rm -rf "$stage"' EXIT
dpkg -s hlx-config | grep -q "install ok installed"
if ldd /usr/bin/hlx-config /usr/bin/hlx-sim /usr/bin/hlx-mkfw /usr/bin/hlx-cli | grep "not found"; then exit 1; fi

# The installed container maker writes a container: header, image record and body.
fw=$(mktemp -d)
/usr/bin/hlx-mkfw --version 1.2.3 --synthetic 1000 -o "$fw/test.hlx"
[[ $(stat -c %s "$fw/test.hlx") -eq $((17 + 16 + 1000)) ]] || { echo "hlx-mkfw wrote a wrong container" >&2; exit 1; }
rm -rf "$fw"

# The installed simulator starts and reports its endpoints.
sim_out=$(mktemp)
/usr/bin/hlx-sim --address 127.0.0.9 --port 0 >"$sim_out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do grep -q '^ready' "$sim_out" && break; sleep 0.1; done
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
grep -q '^ready' "$sim_out" || { cat "$sim_out" >&2; exit 1; }
rm -f "$sim_out"

# The installed command-line program lists the ports and the network channels.
/usr/bin/hlx-cli ports | grep -q '^tcp' || { echo "hlx-cli ports failed" >&2; exit 1; }

# The installed program opens its window and keeps running until stopped.
cfg=$(mktemp -d)
rc=0
XDG_CONFIG_HOME="$cfg" QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/hlx-config || rc=$?
rm -rf "$cfg"
[[ $rc -eq 124 ]] || { echo "hlx-config ended on its own (status $rc)" >&2; exit 1; }
echo "Installed package: OK"
