#!/bin/bash
# Lays out what the update server publishes, as a web root:
#   versioninfo/watchkeep/index.txt and versioninfo/watchkeep/beta/index.txt  (the version text)
#   files/watchkeepsetup.exe and files/beta/watchkeepsetup.exe                 (the installer)
# A beta release fills only the beta channel; a stable one both, since it is also the newest beta.
# The installer is Authenticode-signed with the key and certificate given (PEM); the program runs
# only installers signed by a certificate its build pins, so an unsigned release is refused unless
# --unsigned says it is meant. With --timestamp the signature is timestamped by that server (RFC 3161).
# Each installer is written under a temporary name and renamed, and only then the version text, so a
# client never reads a version whose installer is missing or half written.
# Usage: installer/release.sh WATCHKEEP_EXE OUT_DIR stable|beta
#          (--key KEY_PEM --cert CERT_PEM [--timestamp URL] | --unsigned)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
out=$2
channel=$3
shift 3
key="" cert="" timestamp="" unsigned=""
while [ $# -gt 0 ]; do
  case "$1" in
    --key) key=$2; shift 2 ;;
    --cert) cert=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    --unsigned) unsigned=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
case "$channel" in
  stable) channels=("" "beta/") ;;
  beta) channels=("beta/") ;;
  *) echo "channel must be stable or beta" >&2; exit 2 ;;
esac
if [ -z "$unsigned" ] && { [ -z "$key" ] || [ -z "$cert" ]; }; then
  echo "refusing to publish an unsigned installer: give --key and --cert, or --unsigned" >&2
  exit 2
fi
version=$(sed -n 's/^#define WATCHKEEP_VERSION_TEXT "\(.*\)"$/\1/p' "$here/../src/res/resource.h")
# The program packs each part into one byte: a larger one would compare wrongly.
IFS=. read -r -a parts <<<"$version"
for part in "${parts[@]}"; do
  if [ "${#parts[@]}" -ne 4 ] || [ "$part" -gt 255 ]; then
    echo "version $version: four parts of at most 255 each" >&2
    exit 2
  fi
done
echo "update server built into the program: $(strings -el "$exe" | sed -n '/^UpdateServer$/{n;p;q}')"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
makensis -V2 -DEXE="$exe" -DVERSION="$version" -DOUTFILE="$work/watchkeepsetup.exe" "$here/watchkeep.nsi" >/dev/null
if [ -z "$unsigned" ]; then
  osslsigncode sign -certs "$cert" -key "$key" -n "Watchkeep Setup" -h sha256 ${timestamp:+-ts "$timestamp"} \
    -in "$work/watchkeepsetup.exe" -out "$work/signed.exe" >/dev/null
  mv "$work/signed.exe" "$work/watchkeepsetup.exe"
fi
for sub in "${channels[@]}"; do
  mkdir -p "$out/versioninfo/watchkeep/$sub" "$out/files/$sub"
  cp "$work/watchkeepsetup.exe" "$out/files/${sub}watchkeepsetup.exe.part"
  mv -f "$out/files/${sub}watchkeepsetup.exe.part" "$out/files/${sub}watchkeepsetup.exe"
  printf '%s\r\n' "$version" >"$out/versioninfo/watchkeep/${sub}index.txt.part"
  mv -f "$out/versioninfo/watchkeep/${sub}index.txt.part" "$out/versioninfo/watchkeep/${sub}index.txt"
done
