#!/bin/bash
# Installs what is missing, builds every preset and runs every test tier:
# native core tests (plain, ASan+UBSan, TSan), fuzz targets, then under Wine the core tests again,
# the Windows-layer tests and the end-to-end tests of watchkeep.exe. Ends with ctest's summary.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" || exit 1

failed=0
build() {  # configure and build one preset quietly; print the log only when it fails
  local preset=$1 log="$root/build/$1.log"
  mkdir -p "$root/build"
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
    cat "$log"
    echo "build of preset $preset failed"
    return 1
  fi
}

for preset in linux linux-asan linux-tsan fuzz; do
  if build "$preset"; then
    ctest --preset "$preset" -j2 || failed=1
  else
    failed=1
  fi
done
# Benchmarks are not run here, only kept building.
build bench || failed=1

if build windows; then
  xvfb-run -a -s "-screen 0 1920x1200x24" "$root/scripts/wine-ctest.sh" "$root/build/windows" || failed=1
else
  failed=1
fi
exit $failed
