# Shared by the release checks: sources copied to a folder of their own, and
# the Wine server and Xvfb display of a build tree stopped before it is
# deleted. Sourced; the caller sets -euo pipefail.

# The source tree this script belongs to, with what the release reads.
release_sources=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# copy_sources DEST: the sources as a clone would have them (no build trees,
# no earlier release, no repository).
copy_sources() {
  mkdir -p "$1"
  tar -C "$release_sources" --exclude=./build --exclude=./dist --exclude=./out --exclude=./.git \
    -cf - . | tar -C "$1" -xf -
}

# stop_wine STATE: the Wine server and display that cmake/wine-run.sh started
# for the build tree whose state folder is STATE.
stop_wine() {
  [ -d "$1/prefix" ] && WINEPREFIX=$1/prefix wineserver -k 2>/dev/null || true
  [ -f "$1/xvfb.pid" ] && kill "$(cat "$1/xvfb.pid")" 2>/dev/null || true
}
