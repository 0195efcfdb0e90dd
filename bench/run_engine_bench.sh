#!/usr/bin/env bash
# Measures whole patches made by tpatch (payload with its table and checks, applied through the
# engine's transaction) beside bsdiff, xdelta3 and zstd --patch-from on old/new pairs of the
# development corpus, in the same run. Every output is compared with the new file.
# Usage: bench/run_engine_bench.sh [CORPUS_DIR] [PAIR ...]   (default pairs: all)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/tmp/corpus-dev}"
shift || true
tpatch="$root/build/native/Tools/tpatch/tpatch"
[ -d "$corpus" ] || "$root/../shared/corpus/unpack-dev-corpus.sh" "$corpus"
[ -x "$tpatch" ] || { echo "build tpatch first (cmake --build --preset native)" >&2; exit 2; }
pairs=("$@")
[ ${#pairs[@]} -gt 0 ] || pairs=($(cd "$corpus" && ls -d */ | tr -d /))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$root/bench/measure.sh"

printf '%-20s %-8s %10s %7s %7s %8s %7s %7s %8s\n' pair tool patch_B diff_s diff_cpu diff_MiB \
    apply_s app_cpu app_MiB
for pair in "${pairs[@]}"; do
    old="$corpus/$pair/old" new="$corpus/$pair/new"
    for peer in tpatch bsdiff xdelta3 zstd-19 zstd-22; do
        patch="$work/$pair.$peer" out="$work/$pair.$peer.out"
        case $peer in
            tpatch)
                # Two builds whose only difference is the pair's file.
                rm -rf "$work/o" "$work/n" "$work/i"
                mkdir -p "$work/o" "$work/n"
                echo "identifying file" | tee "$work/o/ident.txt" > "$work/n/ident.txt"
                cp "$old" "$work/o/file"
                cp "$new" "$work/n/file"
                cp -r "$work/o" "$work/i"
                d=$(measure "$tpatch" build --old 1="$work/o" --new 2="$work/n" \
                    --version-file ident.txt -o "$patch")
                a=$(measure "$tpatch" apply "$patch" "$work/i")
                cp "$work/i/file" "$out" ;;
            bsdiff)
                d=$(measure bsdiff "$old" "$new" "$patch")
                a=$(measure bspatch "$old" "$out" "$patch") ;;
            xdelta3)
                d=$(measure xdelta3 -e -9 -S djw -f -s "$old" "$new" "$patch")
                a=$(measure xdelta3 -d -f -s "$old" "$patch" "$out") ;;
            zstd-19)
                d=$(measure zstd -q -f --patch-from="$old" -19 --long=31 "$new" -o "$patch")
                a=$(measure zstd -q -f -d --long=31 --patch-from="$old" "$patch" -o "$out") ;;
            zstd-22)
                d=$(measure zstd -q -f --patch-from="$old" --ultra -22 --long=31 "$new" -o "$patch")
                a=$(measure zstd -q -f -d --long=31 --patch-from="$old" "$patch" -o "$out") ;;
        esac
        cmp -s "$out" "$new" || { echo "$peer produced a wrong file for $pair" >&2; exit 1; }
        printf '%-20s %-8s %10d %7s %7s %8s %7s %7s %8s\n' "$pair" "$peer" \
            "$(stat -c %s "$patch")" $d $a
    done
done
