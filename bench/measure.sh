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
