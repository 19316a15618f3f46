#!/usr/bin/env bash
# Component lists a build must refuse at configure time rather than ship:
# a name this build makes no package of (it would be missing from dist/),
# two names that agree in their first 20 characters, ignoring case as the
# registry does (their entry records would overwrite each other), and device
# names in any case (the file system would read and write the device). Names
# that only begin like a device name are no device names: the list that
# holds them fails for want of packages only.
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
  # CMake wraps its messages: lines joined, spaces squeezed.
  tr '\n' ' ' <"$work/log" | tr -s ' ' | grep -qF -- "$2" ||
    { cat "$work/log"; echo "refused_lists: '$1' failed for another reason" >&2; exit 1; }
}
refused "p0046 p9999" "names 'p9999', but this build makes no package"
refused "abcdefghijklmnopqrstu1 p0046 ABCDEFGHIJKLMNOPQRSTu2" "begin with 'abcdefghijklmnopqrst'"
refused "nul p0046 Aux cOm1 COM9 lPt1 lpt9 PRN CON" \
  "names devices: 'nul', 'Aux', 'cOm1', 'COM9', 'lPt1', 'lpt9', 'PRN', 'CON' ("
refused "p0046 com0 COM10 CONX lpt0 NULL" "names 'com0', but this build makes no package"
echo "refused_lists: passed"
