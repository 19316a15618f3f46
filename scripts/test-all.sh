#!/usr/bin/env bash
# Builds every configuration and runs every test: Linux with sanitizers,
# 32-bit and 64-bit Windows under Wine, and a short fuzzing run. Each
# configuration is one CMake workflow (configure, build, test); name some
# to run only those (scripts/test-all.sh native win32).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Root ignores file permissions; drop that power so that read-only files
# fail for the tests as they would for a normal user, natively and under
# Wine (whose server is started from inside as well).
if [ "$(id -u)" -eq 0 ] && [ -z "${ADDON_UNPRIVILEGED:-}" ]; then
  export ADDON_UNPRIVILEGED=1
  exec scripts/unprivileged.sh bash "$0" "$@"
fi

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32 win64 fuzz)

for preset in "${presets[@]}"; do
  echo "=== $preset ==="
  cmake --workflow --preset "$preset"
done
echo "=== all configurations passed: ${presets[*]} ==="
