#!/usr/bin/env bash
# Builds and applies a patch for one large file with the native tpatch and checks the result
# byte for byte. The new file is the old one cut in pieces that swap places far apart, with new
# data inserted and bytes changed, so the diff must find moved data across the whole file.
# Prints time, peak memory and the patch size of both steps.
#
# Usage: large_file_check.sh TPATCH SIZE_MiB [sparse]
#   sparse: the files are mostly holes (truncate) with written regions, as for a 5 GiB by-hand
#   check that should not need 10 GB of data written first.
# Limits checked: the patch stays small, apply stays under 64 MiB of memory, the build under
# its 1 GiB budget plus the program.
set -euo pipefail
[ -n "${TRACE:-}" ] && set -x
root="$(cd "$(dirname "$0")/../.." && pwd)"
tpatch="$1" size_mib="$2" mode="${3:-dense}"
work=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-large.XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$root/bench/measure.sh"

# FILE OFFSET_MiB BYTES SEED: writes noise into FILE at that offset.
put_noise() {
  noise "$3" "$4" | dd of="$1" bs=1M iflag=fullblock oflag=seek_bytes seek=$(($2 << 20)) \
    conv=notrunc status=none
}
# FROM OFFSET_MiB COUNT_MiB TO OFFSET_MiB: copies a region from one file into another.
copy_region() {
  dd if="$1" of="$4" bs=1M skip="$2" count="$3" seek="$5" conv=notrunc status=none
}

mkdir -p "$work/old/data" "$work/new/data" "$work/inst"
echo "game 1.0" >"$work/old/game.exe"
echo "game 1.1" >"$work/new/game.exe"
old="$work/old/data/big.pak" new="$work/new/data/big.pak"
third=$((size_mib / 3))
if [ "$mode" = sparse ]; then
  # Holes with a written region in each third; the new file moves them about and grows.
  truncate -s "${size_mib}M" "$old"
  for i in 0 1 2; do put_noise "$old" $((i * third + 7)) $((16 << 20)) "region$i"; done
  truncate -s "$((size_mib + 100))M" "$new"
  copy_region "$old" $((2 * third + 7)) 16 "$new" 7           # the last region comes first
  copy_region "$old" 7 16 "$new" $((2 * third + 7))            # and the first goes last
  copy_region "$old" $((third + 7)) 16 "$new" $((third + 7))   # one stays where it was
  put_noise "$new" $((size_mib + 50)) $((4 << 20)) grown       # new data past the old end
else
  noise $((size_mib << 20)) old >"$old"
  # new = second third, 4 MiB new, first third, last third; a few bytes changed everywhere.
  copy_region "$old" "$third" "$third" "$new" 0
  put_noise "$new" "$third" $((4 << 20)) inserted
  copy_region "$old" 0 "$third" "$new" $((third + 4))
  copy_region "$old" $((2 * third)) $((size_mib - 2 * third)) "$new" $((2 * third + 4))
  for at in $(seq 5 37 $((size_mib - 1))); do
    printf 'changed' | dd of="$new" bs=1 seek=$((at << 20)) conv=notrunc status=none
  done
fi
cp --sparse=always "$work/old/game.exe" "$work/inst/"
mkdir -p "$work/inst/data"
cp --sparse=always "$old" "$work/inst/data/"

# measure prints "wall_s cpu_s peak_MiB" without a line end.
read -r build_s build_cpu build_mib < <(measure "$tpatch" build --old "1.0=$work/old" \
  --new "1.1=$work/new" --version-file game.exe --level 3 -o "$work/patch.bin"; echo)
patch_bytes=$(stat -c %s "$work/patch.bin")
read -r apply_s apply_cpu apply_mib < <(measure "$tpatch" apply "$work/patch.bin" "$work/inst"; echo)
echo "file ${size_mib} MiB ($mode): patch $patch_bytes bytes;" \
  "build ${build_s} s, ${build_cpu} s CPU, peak ${build_mib} MiB;" \
  "apply ${apply_s} s, ${apply_cpu} s CPU, peak ${apply_mib} MiB"

failures=0
cmp -s "$work/inst/data/big.pak" "$new" || { echo "FAIL: the applied file differs"; failures=1; }
[ "$patch_bytes" -lt $((12 << 20)) ] || { echo "FAIL: patch over 12 MiB"; failures=1; }
awk -v m="$apply_mib" 'BEGIN { exit !(m < 64) }' || { echo "FAIL: apply peak over 64 MiB"; failures=1; }
awk -v m="$build_mib" 'BEGIN { exit !(m < 1100) }' || { echo "FAIL: build peak over 1100 MiB"; failures=1; }
ls "$work" | grep -q partial && { echo "FAIL: scratch files left"; failures=1; }
exit $failures
