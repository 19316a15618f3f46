#!/usr/bin/env bash
# Rebuilds the installer's pictures from make_pictures.cpp, in place.
# Commit the generator and its outputs together: a test compares them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++17 -O2 -o "$tmp/make_pictures" "$here/make_pictures.cpp"
"$tmp/make_pictures" "$here"
echo "pictures written to $here"
