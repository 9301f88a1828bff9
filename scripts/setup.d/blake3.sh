#!/usr/bin/env bash
# Fetches the official BLAKE3 C implementation, which Debian ships inside the
# package librust-blake3-dev, and unpacks its c/ folder into
# third_party/fetched/blake3 (ignored by git). The blob store builds it from
# there. Does nothing when the sources are already present.
#   $1 repository root, $2 build folder (unused; the sources are shared by all builds)
set -euo pipefail

root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
dest="$root/third_party/fetched/blake3"

if [ -f "$dest/c/blake3.h" ] && [ -f "$dest/c/blake3_portable.c" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# apt-get download drops privileges to _apt; a world-writable folder avoids the warning.
chmod 0777 "$work"
if ! apt-get download librust-blake3-dev >/dev/null 2>&1; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq >/dev/null
  apt-get download librust-blake3-dev >/dev/null 2>&1
fi
deb=$(ls librust-blake3-dev_*.deb | head -n1)
dpkg-deb -x "$deb" unpacked
src=$(ls -d unpacked/usr/share/cargo/registry/blake3-*/c | head -n1)
if [ ! -f "$src/blake3.h" ]; then
  echo "blake3.sh: no C sources in $deb" >&2
  exit 1
fi
version=$(basename "$(dirname "$src")")

mkdir -p "$dest.tmp"
rm -rf "$dest.tmp/c"
cp -r "$src" "$dest.tmp/c"
cp "$(dirname "$src")/LICENSE" "$dest.tmp/" 2>/dev/null || true
echo "$version" > "$dest.tmp/VERSION"
rm -rf "$dest"
mv "$dest.tmp" "$dest"
