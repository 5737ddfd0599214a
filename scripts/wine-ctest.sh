#!/bin/bash
# Runs a windows build's ctest under Wine, inside the virtual display this script is started in
# (xvfb-run), with a prepared prefix and one persistent Wine server for the whole run.
# Usage: xvfb-run -a scripts/wine-ctest.sh [BUILD_DIR] [ctest arguments...]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$root/build/windows}"
shift || true
. "$root/scripts/wine-prefix.sh" "$build"
mkdir -p "$build/screenshots"
# The server inherits stderr of whoever starts it; started detached, later runs never wait on it.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
# Now and then Wine fails to start a program at all (no output, no time spent); such a test gets
# one more run. A test that fails twice fails the run.
ctest --test-dir "$build" --output-on-failure --repeat until-pass:2 "$@"
status=$?
wineserver -k >/dev/null 2>&1
# Tests capture the screen as BMP from inside Wine; reviewers look at PNGs.
for shot in "$build"/screenshots/*.bmp; do
  [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" >/dev/null 2>&1 && rm -f "$shot"
done
exit $status
