#!/usr/bin/env bash
# Saves PNG pictures of the installer's main (at 96 and 144 pixels per inch) and help dialogs.
#
#   screenshots.sh WINE_RUN WINE_STATE GUI_TEST_EXE OUTPUT_FOLDER
#
# Two tests of installer_gui_test run under Wine (WINE_RUN,
# cmake/wine-run.sh, with the build tree's WINE_STATE) and, with
# ADDON_SCREENSHOTS set, write BMP files; ImageMagick turns them into PNG.
set -euo pipefail
wine_run=$1 state=$2 gui_test=$3 out=$4

mkdir -p "$out"
rm -f "$out"/main-dialog*.* "$out"/help-dialog.*
ADDON_SCREENSHOTS=$out "$wine_run" "$state" "$gui_test" \
  --gtest_filter='InstallerGui.MainDialog*:InstallerGui.CloseRequests*'
for name in main-dialog main-dialog-144dpi help-dialog; do
  convert "$out/$name.bmp" "$out/$name.png"
  rm -f "$out/$name.bmp"
  echo "screenshot: $out/$name.png"
done
