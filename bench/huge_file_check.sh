#!/usr/bin/env bash
# By hand: a 5 GiB file (mostly holes, with written regions that move about and new data past
# the old end) built and applied with the native tpatch; prints time, peak memory and patch
# size. Needs about 11 GB of free disk for the applied copy and its staging.
# Usage: bench/huge_file_check.sh [SIZE_MiB]   (default 5120; build the native preset first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exec bash "$root/tests/tools/large_file_check.sh" "$root/build/native/Tools/tpatch/tpatch" \
  "${1:-5120}" sparse
