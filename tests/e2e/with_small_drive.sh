#!/bin/sh
# Runs a Windows test program under wine with a 1 MiB RAM disk mapped as drive T: and as the
# network share \\tessaly-server\small, so that the program sees a real volume that is nearly
# full. Needs the right to mount; without it the cases that want the volume fail, saying so.
set -u
mountpoint=$(mktemp -d)
drive="${WINEPREFIX:?WINEPREFIX must be set}/dosdevices/t:"
# Wine finds \\server\share below dosdevices/unc.
server="$WINEPREFIX/dosdevices/unc/tessaly-server"
if mount -t tmpfs -o size=1m tmpfs "$mountpoint" 2>/dev/null; then
  ln -sfn "$mountpoint" "$drive"
  mkdir -p "$server"
  ln -sfn "$mountpoint" "$server/small"
  export TESSALY_SMALL_DRIVE='T:' TESSALY_SMALL_SHARE='\\tessaly-server\small'
  trap 'rm -f "$drive" "$server/small"; umount "$mountpoint"; rmdir "$mountpoint"' EXIT
else
  echo "with_small_drive: cannot mount a RAM disk here"
  trap 'rmdir "$mountpoint"' EXIT
fi
wine "$@"
