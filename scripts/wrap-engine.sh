#!/usr/bin/env bash
# Wraps the engine library for the utility's resource: a 4-byte little-endian byte count, then
# the library image without its debugging information. Usage: wrap-engine.sh ENGINE.dll OUTPUT STRIP
set -euo pipefail
image="$2.image"
"$3" --strip-debug -o "$image" "$1"
size=$(stat -c %s "$image")
{
  printf "\\x$(printf %02x $((size & 255)))\\x$(printf %02x $(((size >> 8) & 255)))"
  printf "\\x$(printf %02x $(((size >> 16) & 255)))\\x$(printf %02x $(((size >> 24) & 255)))"
  cat "$image"
} > "$2.tmp"
rm -f "$image"
mv "$2.tmp" "$2"
