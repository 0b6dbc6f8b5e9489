#!/usr/bin/env bash
# bench/window/run.sh [FOLDER]: builds the window benchmark for 64-bit Windows and runs it under
# Wine on a virtual display (Xvfb), on the disk that holds FOLDER (default /tmp):
#   big:   a 7-pass shred of a 1 GiB file through the real main window against the same run
#          with no window; goal: the window costs at most 5 % (ratio <= 1.05);
#   small: 2000 files of 1 KiB through the window against no window; goal: ratio <= 1.1.
# Both alternate the two peers in one process, best of ROUNDS (default 3) each.
# Variables: CASES (default "big small"), ROUNDS, MEBIBYTES (default 1024), SMALL_COUNT
# (default 2000), SMALL_BYTES (default 1024), BENCH_BUILD (default <repo>/build).
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
parent=$(realpath "${1:-/tmp}")
cases=${CASES:-big small}
rounds=${ROUNDS:-3}
mebibytes=${MEBIBYTES:-1024}
small_count=${SMALL_COUNT:-2000}
small_bytes=${SMALL_BYTES:-1024}
tree=${BENCH_BUILD:-$repo/build}/bench-window-win64

die() {
    echo "bench/window: $*" >&2
    exit 1
}

bash "$repo/scripts/install-deps.sh"
for tool in cmake wine Xvfb; do
    command -v "$tool" >/dev/null || die "$tool is missing"
done
[ -d "$parent" ] || die "no such folder: $parent"
free_mib=$(($(df -Pk "$parent" | awk 'NR == 2 { print $4 }') / 1024))
[ "$free_mib" -gt $((mebibytes * 2)) ] || die "less than $((mebibytes * 2)) MiB free on $parent"

source "$repo/bench/window/session.sh" window-bench

windows_path() {
    printf 'Z:%s' "${1//\//\\}"
}

bench() {
    "$repo/tools/wine-run" "$state" "$tree/bench/window/ostrevane_window_bench.exe" "$@" |
        tr -d '\r'
}

# Prints the run's output and checks its ratio against the goal; false when over it.
judge() {
    local output=$1 goal=$2 what=$3 ratio
    echo "$output"
    ratio=$(echo "$output" | sed -n 's/.*ratio=\([0-9.]*\).*/\1/p')
    [ -n "$ratio" ] || die "$what: no result"
    if awk -v r="$ratio" -v g="$goal" 'BEGIN { exit !(r <= g) }'; then
        echo "$what: window / no window = $ratio: within the goal (<= $goal)"
    else
        echo "$what: window / no window = $ratio: over the goal (<= $goal)"
        return 1
    fi
}

# Other work on the machine slows the flushes most of all; the report shows how busy it was.
echo "== load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
for case in $cases; do
    case $case in
    big)
        echo "== big: $mebibytes MiB, 7 passes, $rounds rounds each, in $parent"
        output=$(bench big "$(windows_path "$work/target.bin")" "$mebibytes" "$rounds")
        judge "$output" 1.05 big || status=1
        ;;
    small)
        echo "== small: $small_count files of $small_bytes bytes, $rounds rounds each, in $parent"
        mkdir "$work/small"
        output=$(bench small "$(windows_path "$work/small")" "$small_count" "$small_bytes" \
            "$rounds")
        judge "$output" 1.1 small || status=1
        ;;
    *) die "unknown case: $case" ;;
    esac
done
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
