#!/bin/bash
# Installs what the build and the tests need from Debian's archive; silent when all is there.
set -eu
packages=(
  cmake ninja-build g++ clang libfuzzer-14-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth imagemagick xdotool
  nsis osslsigncode openssl python3
  prometheus prometheus-node-exporter
  libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
