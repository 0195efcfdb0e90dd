#!/usr/bin/env bash
# Measures our delta beside bsdiff, xdelta3 and zstd --patch-from on every old/new pair of the
# development corpus: patch bytes, diff and apply wall time and peak memory. Every output is
# checked against the new file.
# Usage: bench/run_delta_bench.sh [CORPUS_DIR] [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/tmp/corpus-dev}"
build="${2:-$root/build/native}"
tool="$build/bench/delta_bench"
[ -d "$corpus" ] || "$root/../shared/corpus/unpack-dev-corpus.sh" "$corpus"
[ -x "$tool" ] || { echo "build delta_bench first (cmake --build --preset native)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command under /usr/bin/time; prints "seconds peak_kib".
measure() {
    /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
        { echo "failed: $* $(cat "$work/err")" >&2; return 1; }
    cat "$work/time"
}

printf '%-22s %-10s %12s %9s %9s %9s %9s\n' pair tool patch_bytes diff_s diff_MiB apply_s apply_MiB
for dir in "$corpus"/*/; do
    pair=$(basename "$dir")
    old="$dir/old" new="$dir/new"
    size=$(stat -c %s "$new")
    for peer in tessaly bsdiff xdelta3 zstd-22 zstd-19; do
        patch="$work/$pair.$peer" out="$work/$pair.$peer.out"
        case $peer in
            tessaly)
                d=$(measure "$tool" encode "$old" "$new" "$patch" --level 19 --threads 2)
                a=$(measure "$tool" decode "$old" "$patch" "$out" "$size") ;;
            bsdiff)
                d=$(measure bsdiff "$old" "$new" "$patch")
                a=$(measure bspatch "$old" "$out" "$patch") ;;
            xdelta3)
                d=$(measure xdelta3 -e -9 -S djw -f -s "$old" "$new" "$patch")
                a=$(measure xdelta3 -d -f -s "$old" "$patch" "$out") ;;
            zstd-22)
                d=$(measure zstd -q -f --patch-from="$old" --ultra -22 --long=31 "$new" -o "$patch")
                a=$(measure zstd -q -f -d --long=31 --patch-from="$old" "$patch" -o "$out") ;;
            zstd-19)
                d=$(measure zstd -q -f --patch-from="$old" -19 --long=31 "$new" -o "$patch")
                a=$(measure zstd -q -f -d --long=31 --patch-from="$old" "$patch" -o "$out") ;;
        esac
        cmp -s "$out" "$new" || { echo "$peer produced a wrong file for $pair" >&2; exit 1; }
        read -r ds dk <<<"$d"
        read -r as ak <<<"$a"
        printf '%-22s %-10s %12d %9.2f %9.1f %9.2f %9.1f\n' "$pair" "$peer" \
            "$(stat -c %s "$patch")" "$ds" "$(echo "$dk/1024" | bc -l)" "$as" \
            "$(echo "$ak/1024" | bc -l)"
    done
done
