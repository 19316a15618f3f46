#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and only
# those that are missing. Safe to run again; says what it installs.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  exec sudo -E bash "$0" "$@"
fi

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine64 wine32:i386
  xvfb xauth imagemagick util-linux
  openssl osslsigncode
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all build and test packages are present"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: enabling the i386 architecture (for 32-bit Wine)"
  dpkg --add-architecture i386
fi
echo "setup: installing ${missing[*]}"
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
echo "setup: done"
