#!/usr/bin/env bash
# A release lists only components it ships: a name in ADDON_COMPONENTS that
# this build makes no package of stops the configuration, rather than
# leaving the package out of dist/.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if cmake -S "$release_sources" -B "$work" --preset release \
  -DADDON_COMPONENTS="p0046 p9999" >"$work/log" 2>&1; then
  cat "$work/log"
  echo "unknown_component: p9999 was accepted" >&2
  exit 1
fi
grep -q "names 'p9999', but this build makes no package" "$work/log" ||
  { cat "$work/log"; echo "unknown_component: configuring failed for another reason" >&2; exit 1; }
echo "unknown_component: passed"
