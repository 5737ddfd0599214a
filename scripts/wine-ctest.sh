#!/bin/bash
# Runs the windows preset's ctest under Wine inside the virtual display that this script is
# started in (xvfb-run), with a prepared prefix and one persistent server for the whole run.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/windows"
. "$root/scripts/wine-prefix.sh" "$build"
mkdir -p "$build/screenshots"
# The server inherits stderr of whoever starts it; started detached, later runs never wait on it.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
cd "$root"
ctest --preset windows "$@"
status=$?
wineserver -k >/dev/null 2>&1
exit $status
