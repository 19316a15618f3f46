#!/usr/bin/env bash
# Builds the shipped 32-bit installer and runs it under Wine.
#
# With a display ($DISPLAY set) the installer opens there, in a Wine prefix
# of its own (build/win32/demo-wine), for you to click through. Without one
# it runs on the build tree's own Xvfb display (cmake/wine-run.sh), pictures
# of its main and help dialogs are saved as PNG files, and it is closed again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Root ignores file permissions; run Wine without that power, as the tests do.
if [ "$(id -u)" -eq 0 ] && [ -z "${ADDON_UNPRIVILEGED:-}" ]; then
  export ADDON_UNPRIVILEGED=1
  exec setpriv --bounding-set=-dac_override,-dac_read_search -- bash "$0" "$@"
fi

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target addon-setup capture_installer
setup=$PWD/build/win32/app/addon-setup.exe

if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX=$PWD/build/win32/demo-wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX.ready" ]; then
    echo "run-installer: making the Wine prefix $WINEPREFIX"
    wine wineboot --init >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX.ready"
  fi
  echo "run-installer: starting $setup on $DISPLAY"
  status=0
  wine "$setup" || status=$?
  echo "run-installer: the installer ended with exit code $status"
  exit "$status"
fi

out=$PWD/build/win32/screenshots
echo "run-installer: no display; running the installer on Xvfb"
bash tests/gui/screenshots.sh "$PWD/cmake/wine-run.sh" "$PWD/build/win32/wine" \
  "$PWD/build/win32/tests/gui/capture_installer.exe" "$setup" "$out"
echo "run-installer: the installer showed its dialogs and ended with exit code 0"
