#!/usr/bin/env bash
# Saves PNG pictures of the installer's main and help dialogs.
#
#   screenshots.sh WINE_RUN WINE_STATE CAPTURE_EXE SETUP_EXE OUTPUT_FOLDER
#
# The capture runs under Wine (WINE_RUN, cmake/wine-run.sh, with the build
# tree's WINE_STATE) and writes BMP files; ImageMagick turns them into PNG.
set -euo pipefail
wine_run=$1 state=$2 capture=$3 setup=$4 out=$5

mkdir -p "$out"
rm -f "$out"/main-dialog.* "$out"/help-dialog.*
"$wine_run" "$state" "$capture" "$setup" "$out"
for name in main-dialog help-dialog; do
  convert "$out/$name.bmp" "$out/$name.png"
  rm -f "$out/$name.bmp"
  echo "screenshot: $out/$name.png"
done
