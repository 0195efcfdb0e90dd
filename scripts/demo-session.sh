#!/usr/bin/env bash
# Runs inside the virtual display started by scripts/demo: starts the update from the demo's
# own folder (not the installation, so the utility finds the game through the registry), drives
# it with the UI driver as a player would, takes screenshots when the driver says the moment
# has come, and leaves the log pane in log-pane.txt. Exit status: the driver's.
set -euo pipefail
out="$DEMO_OUT"
uidrive="$DEMO_BUILD/tests/uidriver/uidrive.exe"

shoot() {  # NAME: waits for the driver's signal, saves the screen, lets the driver go on
  local name="$1"
  for _ in $(seq 1 1800); do
    [ -f "$out/$name.ready" ] && break
    kill -0 "$driver" 2>/dev/null || return 0  # the driver gave up before this moment
    sleep 0.1
  done
  sleep 0.5
  # Only the window: the desktop's plain background around it is trimmed away.
  import -window root png:- | convert - -trim +repage -bordercolor white -border 8 "$out/$name.png"
  touch "$out/$name.done"
}

# Yes/No box: 6 is Yes, 7 is No. The demo declines the change list (it would open Notepad).
wine "$uidrive" --cwd "$out" "$DEMO_UPDATE" -- \
  window "Tessaly Update Utility" \
  text 1002 \
  touch "$out/start-dialog.ready" wait-file "$out/start-dialog.done" \
  click 1 \
  window-class PatcherClass \
  answer-until 14 "View updates" 7 240 \
  touch "$out/finished.ready" wait-file "$out/finished.done" \
  echo "-- log pane --" lines 16 echo "-- end of log pane --" \
  close \
  exit 30 >"$out/driver.log" 2>&1 &
driver=$!
shoot start-dialog
shoot finished
status=0
wait $driver || status=$?
rm -f "$out"/*.ready "$out"/*.done

# Wine's console ends lines with CR LF; the utility's texts are in the Windows code page and
# the terminal wants UTF-8.
tr -d '\r' <"$out/driver.log" | sed -n '/^-- log pane --$/,/^-- end of log pane --$/{//!p}' |
  iconv -f WINDOWS-1252 -t UTF-8 >"$out/log-pane.txt"
exit $status
