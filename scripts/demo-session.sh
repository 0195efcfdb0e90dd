#!/usr/bin/env bash
# Runs inside the virtual display started by scripts/demo: starts the utility with the UI
# driver, takes screenshots when the driver says the moment has come, and prints a summary.
set -euo pipefail
out="$DEMO_OUT"
build="$DEMO_BUILD"
utility="$build/Patcher/TessalyUpdate.exe"
uidrive="$build/tests/uidriver/uidrive.exe"

shoot() {  # NAME: waits for the driver's signal, saves the screen, lets the driver go on
  local name="$1"
  for _ in $(seq 1 600); do [ -f "$out/$name.ready" ] && break; sleep 0.1; done
  sleep 0.5
  import -window root "$out/$name.png"
  touch "$out/$name.done"
}

wine "$uidrive" "$utility" -- \
  window "Tessaly Update Utility" \
  text 1002 \
  touch "$out/start-dialog.ready" wait-file "$out/start-dialog.done" \
  click 2 \
  exit 30 > "$out/driver.log" 2>&1 &
driver=$!
shoot start-dialog
status=0
wait $driver || status=$?
rm -f "$out"/*.ready "$out"/*.done

echo
echo "== Tessaly Update Utility demo"
sed 's/^/   /' "$out/driver.log"
echo "   screenshots: $(cd "$out" && ls *.png | tr '\n' ' ')"
if [ $status -eq 0 ]; then
  echo "== demo passed"
else
  echo "== demo FAILED (status $status)"
fi
exit $status
