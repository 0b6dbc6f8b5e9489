#!/usr/bin/env bash
# bench/window/run.sh [FOLDER]: builds the window benchmark for 64-bit Windows and runs it under
# Wine on a virtual display (Xvfb): a 7-pass shred of a 1 GiB file in FOLDER (default /tmp)
# through the real main window, against the same run with no window, alternating, best of
# ROUNDS (default 3) each. Goal: the window costs at most 5 % (ratio <= 1.05).
# Variables: ROUNDS, MEBIBYTES (default 1024), BENCH_BUILD (default <repo>/build).
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
parent=$(realpath "${1:-/tmp}")
rounds=${ROUNDS:-3}
mebibytes=${MEBIBYTES:-1024}
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

echo "== building (Release)"
cmake --preset win64 -B "$tree" -DOSTREVANE_TESTS=OFF -DOSTREVANE_BENCH=ON >/dev/null
cmake --build "$tree" -j2 --target ostrevane_window_bench >/dev/null

work=$(mktemp -d "$parent/ostrevane-window-bench.XXXXXX")
state=$tree/wine
cleanup() {
    "$repo/tools/wine-session" stop "$state" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
"$repo/tools/wine-session" start "$state" >/dev/null

target="Z:${work//\//\\}\\target.bin"
echo "== $mebibytes MiB, 7 passes, $rounds rounds each, in $parent"
output=$("$repo/tools/wine-run" "$state" "$tree/bench/window/ostrevane_window_bench.exe" \
    "$target" "$mebibytes" "$rounds" | tr -d '\r')
echo "$output"
ratio=$(echo "$output" | sed -n 's/.*ratio=\([0-9.]*\).*/\1/p')
[ -n "$ratio" ] || die "no result"
if awk -v r="$ratio" 'BEGIN { exit !(r <= 1.05) }'; then
    echo "window / no window = $ratio: within the goal (<= 1.05)"
else
    echo "window / no window = $ratio: over the goal (<= 1.05)"
    exit 1
fi
