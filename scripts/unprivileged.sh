#!/usr/bin/env bash
# Root ignores file permissions: read-only files would never fail for the
# tests or for a Wine server they start, as they do for a normal user.
#
#   scripts/unprivileged.sh COMMAND [ARGS...]
#       runs COMMAND as root without the power to ignore file permissions;
#   . scripts/unprivileged.sh "$0" "$@"
#       (sourced at the top of a script) runs the whole script again that
#       way, once, when it was started by root.
if [ "${BASH_SOURCE[0]}" != "$0" ]; then
  if [ "$(id -u)" -eq 0 ] && [ -z "${ADDON_UNPRIVILEGED:-}" ]; then
    export ADDON_UNPRIVILEGED=1
    exec setpriv --bounding-set=-dac_override,-dac_read_search -- bash "$@"
  fi
  return 0
fi
exec setpriv --bounding-set=-dac_override,-dac_read_search -- "$@"
