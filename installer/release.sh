#!/bin/bash
# Lays out what the update server publishes, as a web root:
#   versioninfo/watchkeep/index.txt and versioninfo/watchkeep/beta/index.txt  (the version text)
#   files/watchkeepsetup.exe and files/beta/watchkeepsetup.exe                 (the installer)
# A beta release fills only the beta channel; a stable one both, since it is also the newest beta.
# With a key and certificate (PEM) the installer is Authenticode-signed; without, it is not, and
# the program will refuse it.
# Usage: installer/release.sh WATCHKEEP_EXE OUT_DIR stable|beta [KEY_PEM CERT_PEM]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
out=$2
channel=$3
key=${4:-}
cert=${5:-}
version=$(sed -n 's/^#define WATCHKEEP_VERSION_TEXT "\(.*\)"$/\1/p' "$here/../src/res/resource.h")
case "$channel" in
  stable) channels=("" "beta/") ;;
  beta) channels=("beta/") ;;
  *) echo "channel must be stable or beta" >&2; exit 2 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
makensis -V2 -DEXE="$exe" -DVERSION="$version" -DOUTFILE="$work/watchkeepsetup.exe" "$here/watchkeep.nsi" >/dev/null
if [ -n "$key" ]; then
  osslsigncode sign -certs "$cert" -key "$key" -n "Watchkeep Setup" -h sha256 \
    -in "$work/watchkeepsetup.exe" -out "$work/signed.exe" >/dev/null
  mv "$work/signed.exe" "$work/watchkeepsetup.exe"
fi
for sub in "${channels[@]}"; do
  mkdir -p "$out/versioninfo/watchkeep/$sub" "$out/files/$sub"
  printf '%s\r\n' "$version" >"$out/versioninfo/watchkeep/${sub}index.txt"
  cp "$work/watchkeepsetup.exe" "$out/files/${sub}watchkeepsetup.exe"
done
