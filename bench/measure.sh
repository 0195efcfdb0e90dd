# Shared by the bench scripts and the large-file check; sourced, not run. Needs $work, a
# scratch folder.

# Runs a command; prints "wall_seconds cpu_seconds peak_MiB". The CPU time (user + system, to
# the millisecond, from the subshell's `times`) is what a loaded machine disturbs least.
measure() {
    local LC_ALL=C  # a decimal point in $EPOCHREALTIME and awk, whatever the user's locale
    local start=$EPOCHREALTIME cpu
    cpu=$( (/usr/bin/time -f '%M' -o "$work/time" "$@" >/dev/null 2>"$work/err" && times) |
        awk 'NR == 2 { gsub(/[ms]/, " "); print $1 * 60 + $2 + $3 * 60 + $4 }')
    [ -n "$cpu" ] || {
        echo "failed: $* $(tail -3 "$work/err")" >&2
        return 1
    }
    local end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" -v c="$cpu" '{ printf "%.3f %.3f %.1f", b - a, c, $1 / 1024 }' \
        "$work/time"
}

# Sets `cmd` to a tool's diff command: old new patch. Tools: tpatch (needs $tpatch), bsdiff,
# xdelta3, zstd-22, zstd-19 and hdiffz (needs $peers, see find_peers).
diff_command() {
    case $1 in
        tpatch) cmd=("$tpatch" diff "$2" "$3" "$4") ;;
        bsdiff) cmd=(bsdiff "$2" "$3" "$4") ;;
        xdelta3) cmd=(xdelta3 -e -9 -S djw -D -f -s "$2" "$3" "$4") ;;
        zstd-22) cmd=(zstd -q -f --patch-from="$2" --ultra -22 --long=31 "$3" -o "$4") ;;
        zstd-19) cmd=(zstd -q -f --patch-from="$2" -19 --long=31 "$3" -o "$4") ;;
        hdiffz) cmd=("$peers/hdiffz" -m-6 -SD -c-zstd-21-24 -f "$2" "$3" "$4") ;;
    esac
}

# Sets `cmd` to a tool's apply command: old patch out.
apply_command() {
    case $1 in
        tpatch) cmd=("$tpatch" patch "$2" "$3" "$4") ;;
        bsdiff) cmd=(bspatch "$2" "$4" "$3") ;;
        xdelta3) cmd=(xdelta3 -d -D -f -s "$2" "$3" "$4") ;;
        zstd-*) cmd=(zstd -q -f -d --long=31 --patch-from="$2" "$3" -o "$4") ;;
        hdiffz) cmd=("$peers/hpatchz" -f "$2" "$3" "$4") ;;
    esac
}

# Sets $peers to the folder of hdiffz and hpatchz (../shared/peers beside the checkout, or
# $TESSALY_PEERS) when both run here; otherwise empties it and says why on stderr.
find_peers() {
    peers=${TESSALY_PEERS:-$(cd "$1/.." && pwd)/shared/peers}
    if ! "$peers/hdiffz" -v >/dev/null 2>&1 || ! "$peers/hpatchz" -v >/dev/null 2>&1; then
        echo "bench: hdiffz/hpatchz not found or not runnable in $peers: that peer is skipped" >&2
        peers=""
    fi
}

# BYTES SEED: that many pseudo-random bytes, the same for the same seed.
noise() {
    local key
    key=$(printf '%s' "$2" | sha256sum | cut -c1-32)
    { openssl enc -aes-128-ctr -K "$key" -iv 00000000000000000000000000000000 </dev/zero \
        2>/dev/null || true; } | head -c "$1"
}

# Builds the native tpatch of the checkout at $1 when needed; sets $tpatch.
build_tpatch() {
    local build="$1/build/native" built
    [ -f "$build/build.ninja" ] || (cd "$1" && cmake --preset native >/dev/null)
    built=$(cmake --build "$build" --target tpatch 2>&1) || {
        echo "$built" | tail -20 >&2
        echo "bench: tpatch does not build" >&2
        exit 1
    }
    tpatch="$build/Tools/tpatch/tpatch"
}
