#!/usr/bin/env bash
# Fails when the committed pictures differ from what the generator draws.
#   check_pictures.sh MAKE_PICTURES COMMITTED_FOLDER SCRATCH_FOLDER
set -euo pipefail
generator=$1 committed=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
"$generator" "$scratch"
status=0
for file in banner.bmp flower.bmp installer.ico; do
  if ! cmp "$committed/$file" "$scratch/$file"; then
    echo "$file differs from the generator's output: run resources/pictures/regenerate.sh" >&2
    status=1
  fi
done
exit $status
