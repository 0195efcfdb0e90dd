#!/usr/bin/env bash
# Measures our delta beside bsdiff, xdelta3 and zstd --patch-from on every old/new pair of the
# development corpus: patch bytes, diff and apply time (wall and CPU) and peak memory. Every
# output is checked against the new file. Ends with our size against the smallest peer per pair
# and their geometric mean.
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

. "$root/bench/measure.sh"

printf '%-20s %-8s %11s %7s %7s %8s %7s %7s %8s\n' pair tool patch_B diff_s diff_cpu diff_MiB \
    apply_s app_cpu app_MiB | tee "$work/table"
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
        printf '%-20s %-8s %11d %7s %7s %8s %7s %7s %8s\n' "$pair" "$peer" \
            "$(stat -c %s "$patch")" $d $a | tee -a "$work/table"
    done
done
echo
awk 'NR > 1 {
        if ($2 == "tessaly") { ours[$1] = $3; pairs[++n] = $1 }
        else if (!($1 in best) || $3 < best[$1]) { best[$1] = $3; bestTool[$1] = $2 }
     }
     END {
        logSum = 0
        for (i = 1; i <= n; ++i) {
            p = pairs[i]; r = ours[p] / best[p]; logSum += log(r)
            printf "%-20s ours / smallest peer (%s) = %.3f\n", p, bestTool[p], r
        }
        printf "geometric mean of the ratios: %.3f\n", exp(logSum / n)
     }' "$work/table"
