#!/usr/bin/env bash
# Component lists a build must refuse at configure time rather than ship:
# a name this build makes no package of (it would be missing from dist/),
# and two names that agree in their first 20 characters, ignoring case as
# the registry does (their entry records would overwrite each other).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

refused() {  # LIST EXPECTED-MESSAGE
  rm -rf "$work/build"
  if cmake -S "$release_sources" -B "$work/build" --preset release \
    -DADDON_COMPONENTS="$1" >"$work/log" 2>&1; then
    cat "$work/log"
    echo "refused_lists: '$1' was accepted" >&2
    exit 1
  fi
  grep -q "$2" "$work/log" ||
    { cat "$work/log"; echo "refused_lists: '$1' failed for another reason" >&2; exit 1; }
}
refused "p0046 p9999" "names 'p9999', but this build makes no package"
refused "abcdefghijklmnopqrstu1 p0046 ABCDEFGHIJKLMNOPQRSTu2" "begin with 'abcdefghijklmnopqrst'"
echo "refused_lists: passed"
