#!/usr/bin/env bash
# The release is reproducible: `cmake --workflow --preset release` in two
# copies of the sources, in different folders (of different lengths) and
# at different times, must give the same files in dist/, byte for byte.
# SOURCE_DATE_EPOCH is cleared, so that no date the compiler would take
# from it can hide a time stamp. The first copy starts with a file in
# dist/ that the release step must remove.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
unset SOURCE_DATE_EPOCH

first=$(mktemp -d)
second=$(mktemp -d)
a=$first/src
b=$second/elsewhere/src
cleanup() {
  stop_wine "$a/build/release/wine"
  stop_wine "$b/build/release/wine"
  rm -rf "$first" "$second"
}
trap cleanup EXIT

copy_sources "$a"
copy_sources "$b"
mkdir -p "$a/dist"
echo stale >"$a/dist/addon-setup-0.9.0.exe"

(cd "$a" && cmake --workflow --preset release >"$first/log" 2>&1) ||
  { cat "$first/log"; echo "reproducible: the release in $a failed" >&2; exit 1; }
sleep 2
(cd "$b" && cmake --workflow --preset release >"$second/log" 2>&1) ||
  { cat "$second/log"; echo "reproducible: the release in $b failed" >&2; exit 1; }

(cd "$a/dist" && sha256sum --check --quiet SHA256SUMS) ||
  { echo "reproducible: SHA256SUMS does not match dist/" >&2; exit 1; }
diff <(cd "$a/dist" && LC_ALL=C ls -A | grep -vx SHA256SUMS) <(cut -c67- "$a/dist/SHA256SUMS") ||
  { echo "reproducible: SHA256SUMS does not list every file of dist/" >&2; exit 1; }
if ! diff <(cd "$a/dist" && ls -A) <(cd "$b/dist" && ls -A); then
  echo "reproducible: the two releases hold different files" >&2
  exit 1
fi
status=0
for file in "$a"/dist/*; do
  name=${file##*/}
  if cmp "$file" "$b/dist/$name"; then
    echo "reproducible: $name identical ($(stat -c %s "$file") bytes)"
  else
    status=1
  fi
done
[ $status -eq 0 ] || { echo "reproducible: the two releases differ" >&2; exit 1; }
echo "reproducible: passed"
