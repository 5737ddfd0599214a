#!/bin/bash
# Builds watchkeep.exe and starts it under Wine; with no DISPLAY it runs in a virtual one.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
cmake --preset windows >/dev/null
cmake --build --preset windows --target watchkeep
. "$root/scripts/wine-prefix.sh" "$root/build/windows"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" wine "$root/build/windows/bin/watchkeep.exe" "$@"
fi
exec wine "$root/build/windows/bin/watchkeep.exe" "$@"
