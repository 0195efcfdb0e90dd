# Shared by the bench scripts; sourced, not run. Needs $work, a scratch folder.

# Runs a command under /usr/bin/time; prints "wall_s cpu_s peak_MiB".
measure() {
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
        { echo "failed: $* $(cat "$work/err")" >&2; return 1; }
    awk '{ printf "%.2f %.2f %.1f", $1, $2 + $3, $4 / 1024 }' "$work/time"
}
