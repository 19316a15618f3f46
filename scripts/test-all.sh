#!/usr/bin/env bash
# Builds every configuration and runs every test: Linux with sanitizers,
# 32-bit and 64-bit Windows under Wine, a short fuzzing run, and the
# release checks. Each configuration is one CMake workflow (configure,
# build, test); `release` runs the checks in tests/release/, which build the
# release workflow in copies of the sources. Name some to run only those
# (scripts/test-all.sh native release).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Run without root's power to ignore file permissions, as a normal user's
# tests (and the Wine server they start) would.
. scripts/unprivileged.sh "$0" "$@"

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32 win64 fuzz release)

for preset in "${presets[@]}"; do
  echo "=== $preset ==="
  if [ "$preset" = release ]; then
    bash tests/release/refused_lists.sh
    bash tests/release/reproducible.sh
    bash tests/release/signed.sh
  else
    cmake --workflow --preset "$preset"
  fi
done
echo "=== all configurations passed: ${presets[*]} ==="
