#!/usr/bin/env bash
# Checks the sample game that scripts/make-sample-game generates: every build's ts2.exe is a
# real Windows program carrying its version stamp, the data is there in all its kinds, and from
# 1.1.5 to 1.2.3 files are added, removed, modified and left alone. Usage: check_sample_game.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
game=$(mktemp -d)
trap 'rm -rf "$game"' EXIT
"$root/scripts/make-sample-game" "$game" >/dev/null
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for build in "$game"/*/; do
  version=$(basename "$build")
  exe="$build/ts2.exe"
  file -b "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' || fail "$version: ts2.exe is not a PE32 GUI program"
  cmp -s <(dd if="$exe" bs=1 skip=78 count=15 status=none) <(printf 'Windows only.\r\n') ||
    fail "$version: no marker at 78"
  [ "$(dd if="$exe" bs=1 skip=94 count=16 status=none | tr -d '\0')" = "$version" ] ||
    fail "$version: version text at 94 is not $version"
  for f in version.txt version_de.txt version_fr.txt version_it.txt version_es.txt; do
    grep -q "$version" "$build/$f" || fail "$version: $f does not name its version"
  done
  [ -d "$build/Logs" ] || fail "$version: no Logs folder"
done

old="$game/1.1.5" new="$game/1.2.3"
[ "$(du -sm "$new" | cut -f1)" -ge 3 ] || fail "1.2.3 is smaller than 3 MB"
cmp -s "$old/data/music.ogg" "$new/data/music.ogg" || fail "music.ogg should be unchanged"
cmp -s "$old/data/textures.pak" "$new/data/textures.pak" && fail "textures.pak should change"
[ -f "$old/data/legacy/intro.bik" ] && [ ! -e "$new/data/legacy" ] || fail "data/legacy should go"
[ ! -e "$old/data/dlc" ] && [ -f "$new/data/dlc/harbour.map" ] || fail "data/dlc should come"
[ "$(head -c 4 "$new/data/music.ogg")" = OggS ] || fail "music.ogg lacks its header"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "ok: sample game builds $(ls "$game" | tr '\n' ' ')"
