#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest and the scripts.
#
#   wine-run.sh STATE_DIR PROGRAM [ARGS...]
#
# STATE_DIR belongs to one build tree. It holds the Wine prefix (made once,
# on first use, never ~/.wine) and the X display that windows open on: one
# Xvfb per build tree, started on first use and reused, so GUI tests never
# depend on (or disturb) the desktop of whoever runs them.
set -euo pipefail

state=$1
shift
mkdir -p "$state"
state=$(cd "$state" && pwd)

export WINEPREFIX="$state/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINELOADERNOEXEC

exec 9>"$state/lock"
flock 9

if [ ! -f "$state/prefix.ready" ]; then
  rm -rf "$WINEPREFIX"
  wine wineboot --init >/dev/null 2>&1
  # Xvfb has no window manager: unmanaged, undecorated windows close at once
  # instead of waiting for a manager that never answers.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$state/prefix.ready"
fi

display_alive() {
  [ -f "$state/xvfb.pid" ] && [ -s "$state/xvfb.display" ] &&
    kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null
}
if ! display_alive; then
  rm -f "$state/xvfb.display"
  # Detached and with its output closed: CTest waits for every process that
  # still holds a test's output pipe.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$state/xvfb.display" </dev/null >/dev/null 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 1 100); do
    [ -s "$state/xvfb.display" ] && break
    sleep 0.1
  done
  [ -s "$state/xvfb.display" ] || { echo "wine-run.sh: Xvfb did not start" >&2; exit 1; }
fi
export DISPLAY=":$(tr -d '[:space:]' <"$state/xvfb.display")"

# Keep one server alive between the many short test processes; it leaves a
# minute after the last of them. Its helper processes (services, the desktop)
# are started here with their output closed: started by a test they would
# inherit its output pipe, and CTest would wait for them to go away.
if setsid wineserver -p60 </dev/null >/dev/null 2>&1; then
  setsid wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

flock -u 9
exec 9>&-

exec wine "$@"
