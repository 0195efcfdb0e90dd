#!/usr/bin/env bash
# Checks a built utility the way a studio's release check would: the executable format and the
# resources it must carry (the message table under all 34 language ids, icon group 102, start
# dialog 103, the application manifest). Usage: check_executable.sh EXE "EXPECTED FILE(1) TEXT"
set -euo pipefail
exe="$1"
expected_format="$2"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

format=$(file -b "$exe")
case "$format" in
  *"$expected_format"*) echo "ok: format: $format" ;;
  *) fail "format is '$format', expected '$expected_format'" ;;
esac

# The 32-bit program asks for the whole 4 GiB that 64-bit Windows gives a large-address-aware one.
case "$format" in
  *"PE32 executable"*)
    headers=$(objdump -p "$exe")
    grep -q 'large address aware' <<<"$headers" && echo "ok: large address aware" ||
      fail "the 32-bit program is not large address aware"
    ;;
esac

here="$(cd "$(dirname "$0")" && pwd)"
sh "$here/../patcher/check_string_tables.sh" "$exe" || fail "message table incomplete"
resources=$(wrestool -l "$exe")
grep -q -- "--type=14 --name=102 " <<<"$resources" && echo "ok: icon group 102" ||
  fail "icon group 102 missing"
grep -q -- "--type=5 --name=103 " <<<"$resources" && echo "ok: dialog 103" ||
  fail "dialog 103 missing"

# The manifest Windows reads at start: visual styles, the supported Windows versions and the
# execution level (without one, writes below Program Files would land in the VirtualStore).
manifest=$(wrestool -x --raw --type=24 --name=1 "$exe" 2>/dev/null | tr -d '\r' || true)
if [ -z "$manifest" ]; then
  fail "application manifest (resource 24/1) missing"
else
  grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest" &&
    echo "ok: manifest asks for common controls 6" || fail "manifest lacks common controls 6"
  grep -q '<requestedExecutionLevel level="requireAdministrator"' <<<"$manifest" &&
    echo "ok: manifest requests administrator rights" || fail "manifest lacks the execution level"
  [ "$(grep -c '<supportedOS Id=' <<<"$manifest")" -eq 5 ] &&
    echo "ok: manifest lists 5 supported Windows versions" || fail "manifest's supported OS list"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
