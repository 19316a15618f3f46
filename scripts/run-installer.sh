#!/usr/bin/env bash
# Builds the shipped 32-bit installer and the sample component p0046, makes
# a Wine prefix in which the Verdanelle screensaver counts as installed
# ("dir" under HKLM\SOFTWARE\Lumora\Verdanelle\general, in the 32-bit
# registry view, pointing at C:\Verdanelle), and starts addon-setup.exe from
# a download folder (C:\Download) that holds it and p0046.ppk, as a
# customer would.
#
# With a display ($DISPLAY) the installer opens there for you to click
# through. Without one (or with ADDON_HEADLESS=1) it runs on an Xvfb
# display of its own: "&Installieren" is clicked for you, every dialog that
# appears is saved as a PNG picture in build/win32/run-installer/pictures
# and answered. Either way the script ends by printing what was installed:
# the module in C:\Verdanelle with its size and the registry values written.
# The Wine prefixes live in build/win32/run-installer/display (display) and
# build/win32/run-installer/headless (Xvfb); neither is one the tests use.
#
#   bash scripts/run-installer.sh                     # the run described above
#   bash scripts/run-installer.sh --readme-pictures   # also runs with the package
#        missing, damaged, and with the installed module held, and puts the
#        pictures of the success dialog, the folder chooser, the error message
#        and the retry question into docs/screenshots
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Run without root's power to ignore file permissions, as a normal user's
# tests (and the Wine server they start) would.
. scripts/unprivileged.sh "$0" "$@"

readme=0
[ "${1:-}" = "--readme-pictures" ] && readme=1

# ADDON_RUN_BUILD_DIR: another build tree of the win32 preset, if wanted.
build=${ADDON_RUN_BUILD_DIR:-build/win32}
cmake --preset win32 -B "$build" >/dev/null
cmake --build "$build" -j2 --target addon-setup component_p0046_package installer_demo_driver
build=$(cd "$build" && pwd)
setup=$build/app/addon-setup.exe
package=$build/components/p0046.ppk
driver=$build/tools/installer_demo_driver.exe

work=$build/run-installer

# A path of this machine as Wine sees it (drive Z: is /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

headless=1
if [ -n "${DISPLAY:-}" ] && [ -z "${ADDON_HEADLESS:-}" ] && [ $readme -eq 0 ]; then
  headless=0
fi

if [ $headless -eq 1 ]; then
  # cmake/wine-run.sh makes the prefix and an Xvfb display in $state.
  state=$work/headless
  wine_run() { "$PWD/cmake/wine-run.sh" "$state" "$@"; }
  stop_wine() {
    WINEPREFIX=$state/prefix wineserver -k 2>/dev/null || true
    if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
    rm -f "$state/xvfb.pid" "$state/xvfb.display"
  }
  trap stop_wine EXIT
else
  state=$work/display
  export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$state/prefix.ready" ]; then
    echo "run-installer: making the Wine prefix $WINEPREFIX"
    mkdir -p "$state"
    wine wineboot --init >/dev/null 2>&1
    wineserver -w
    touch "$state/prefix.ready"
  fi
  wine_run() { wine "$@"; }
fi

# The screensaver, installed: its folder and its "dir" value. Components of
# earlier runs are taken away, so the report shows this run's work.
install_product() {
  local prefix=$state/prefix
  wine_run reg delete 'HKLM\SOFTWARE\Lumora' /f /reg:32 >/dev/null 2>&1 || true
  rm -rf "$prefix/drive_c/Verdanelle"
  mkdir -p "$prefix/drive_c/Verdanelle"
  wine_run reg add 'HKLM\SOFTWARE\Lumora\Verdanelle\general' /v dir /t REG_SZ \
    /d 'C:\Verdanelle' /f /reg:32 >/dev/null
  echo "run-installer: Verdanelle installed in C:\\Verdanelle ($prefix/drive_c/Verdanelle)"
}

# The download folder C:\Download: the installer and, unless told
# otherwise, its package.
#   fill_download present|missing|damaged|held
fill_download() {
  download=$state/prefix/drive_c/Download
  rm -rf "$download"
  mkdir -p "$download"
  cp "$setup" "$download/addon-setup.exe"
  case $1 in
    present|held) cp "$package" "$download/p0046.ppk" ;;
    damaged) head -c "$(($(stat -c %s "$package") / 2))" "$package" >"$download/p0046.ppk" ;;
    missing) ;;
  esac
}

# One headless run: the driver clicks, saves BMP pictures, prints the result.
drive() {
  local pictures=$1
  rm -rf "$pictures"
  mkdir -p "$pictures"
  local status=0
  wine_run "$driver" 'C:\Download\addon-setup.exe' 'C:\Download' "$(winpath "$pictures")" "${@:2}" ||
    status=$?
  for bmp in "$pictures"/*.bmp; do
    [ -e "$bmp" ] || continue
    # No time stamps in the file: the same picture gives the same bytes.
    convert "$bmp" -strip -define png:exclude-chunks=date,time "${bmp%.bmp}.png"
    rm -f "$bmp"
    echo "run-installer: picture ${bmp%.bmp}.png"
  done
  return $status
}

if [ $headless -eq 0 ]; then
  install_product
  fill_download present
  echo "run-installer: starting C:\Download\addon-setup.exe ($download) on $DISPLAY"
  status=0
  (cd "$download" && wine addon-setup.exe) || status=$?
  echo "run-installer: the installer ended with exit code $status"
  wine "$driver" --report
  exit "$status"
fi

echo "run-installer: no display; running the installer on Xvfb"
install_product
fill_download present
drive "$work/pictures"

if [ $readme -eq 1 ]; then
  docs=$PWD/docs/screenshots
  mkdir -p "$docs"
  cp "$work/pictures/success-dialog.png" "$docs/"
  for scenario in missing damaged held; do
    echo "run-installer: package $scenario"
    install_product
    fill_download "$scenario"
    if [ "$scenario" = held ]; then
      # Another program holds the installed module open.
      cp "$build/components/p0046.dll" "$state/prefix/drive_c/Verdanelle/p0046.dll"
      drive "$work/pictures-$scenario" 'C:\Verdanelle\p0046.dll' || true
    else
      drive "$work/pictures-$scenario" || true
    fi
  done
  cp "$work/pictures-missing/folder-chooser.png" "$work/pictures-damaged/error-message.png" \
    "$work/pictures-held/module-in-use.png" "$docs/"
  echo "run-installer: README pictures in $docs"
fi
