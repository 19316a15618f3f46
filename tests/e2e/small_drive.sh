#!/usr/bin/env bash
# small_drive.sh mount|unmount DIR
#
# Mounts a 256 KiB memory file system at DIR, a volume that fills up for the
# full-disk tests, or unmounts it again. Without the right to mount, DIR stays
# a plain folder and the tests that need a small volume skip.
set -u
dir=$2
case $1 in
  mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" && exit 0
    mount -t tmpfs -o size=256k tmpfs "$dir" 2>/dev/null ||
      echo "small_drive.sh: cannot mount at $dir; the full-disk tests will skip"
    ;;
  unmount)
    if mountpoint -q "$dir"; then umount "$dir"; fi
    ;;
esac
exit 0
