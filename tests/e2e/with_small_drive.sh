#!/bin/sh
# Runs a Windows test program under wine with a 1 MiB RAM disk mapped as drive T:, so that the
# program sees a real volume that is nearly full. Needs the right to mount; without it the
# cases that want the drive skip themselves.
set -u
mountpoint=$(mktemp -d)
drive="${WINEPREFIX:?WINEPREFIX must be set}/dosdevices/t:"
if mount -t tmpfs -o size=1m tmpfs "$mountpoint" 2>/dev/null; then
  ln -sfn "$mountpoint" "$drive"
  export TESSALY_SMALL_DRIVE='T:'
  trap 'rm -f "$drive"; umount "$mountpoint"; rmdir "$mountpoint"' EXIT
else
  echo "with_small_drive: cannot mount a RAM disk here"
  trap 'rmdir "$mountpoint"' EXIT
fi
wine "$@"
