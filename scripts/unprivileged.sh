#!/usr/bin/env bash
# Runs a command as root without the power to ignore file permissions, so
# that read-only files behave for it (and for a Wine server it starts) as
# they do for a normal user.
exec setpriv --bounding-set=-dac_override,-dac_read_search -- "$@"
