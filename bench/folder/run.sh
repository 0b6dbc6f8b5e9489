#!/usr/bin/env bash
# bench/folder/run.sh [FOLDER]: a folder of 20 000 files of 1 KiB, on the disk that holds FOLDER
# (default /tmp), dropped on the real main window under Wine and Xvfb by a real WM_DROPFILES
# and shredded with the button; against GNU shred over as many freshly written files:
#   find DIR -type f -print0 | xargs -0 -n 1000 shred -n 7 -u
# and, under Wine in the same session, the engine alone (ostrevane_bench, no window) and two
# floors (ostrevane_floor: only the Windows calls that seven passes and a deletion need, by
# name, and through one handle per file).
# Goals: the list holds every file at most 2 s after the drop; the window's shred takes at
# most 1.5 times shred's (stretch: no longer than shred), at most 1.1 times the engine's
# alone; the engine alone at most 1.15 times the one-handle floor.
# And the safe floor: one handle, hiding names, and the least sound check of the name before
# each rename and the deletion; goal: the window's shred at most 1.1 times it.
# Peers alternate; the best of ROUNDS (default 1) is kept. Variables: ROUNDS, COUNT (default
# 20000), PEERS (default all: window engine floor floor1 floorH floorC shred), BENCH_BUILD
# (default <repo>/build).
set -euo pipefail
shopt -s inherit_errexit

repo=$(cd "$(dirname "$0")/../.." && pwd)
parent=$(realpath "${1:-/tmp}")
rounds=${ROUNDS:-1}
count=${COUNT:-20000}
bytes=1024
tree=${BENCH_BUILD:-$repo/build}/bench-window-win64

die() {
    echo "bench/folder: $*" >&2
    exit 1
}

bash "$repo/scripts/install-deps.sh"
for tool in cmake wine Xvfb shred split find xargs awk; do
    command -v "$tool" >/dev/null || die "$tool is missing"
done
[ -d "$parent" ] || die "no such folder: $parent"

source "$repo/bench/window/session.sh" folder-bench
cmake --build "$tree" -j2 --target ostrevane_bench ostrevane_floor >/dev/null

source_file=$work/random.src
dir=$work/folder
head -c $((count * bytes)) /dev/urandom >"$source_file"

now() { date +%s.%N; }

write_folder() {
    mkdir "$dir"
    split -b "$bytes" -a 5 -d "$source_file" "$dir/f"
    sync -f "$dir"
    [ "$(find "$dir" -type f | wc -l)" -eq "$count" ] || die "the files were not written"
}

check_gone() {
    [ -z "$(ls -A "$dir")" ] || die "$1 left files in $dir"
    rmdir "$dir"
}

# Prints "<list seconds> <shred seconds>".
measure() {
    local t0 t1 output
    write_folder
    case $1 in
    engine | floor | floor1 | floorH | floorC)
        local exe=$tree/bench/ostrevane_bench.exe option=()
        [ "$1" != engine ] && exe=$tree/bench/ostrevane_floor.exe
        [ "$1" = floor1 ] && option=(--one-handle)
        [ "$1" = floorH ] && option=(--one-handle-hiding)
        [ "$1" = floorC ] && option=(--one-handle-checked)
        output=$("$repo/tools/wine-run" "$state" "$exe" "${option[@]}" "Z:${dir//\//\\}" |
            tr -d '\r')
        check_gone "the $1"
        echo "$output" | sed -n 's/.*seconds=\([0-9.]*\).*/- \1/p'
        ;;
    window)
        output=$("$repo/tools/wine-run" "$state" \
            "$tree/bench/window/ostrevane_window_bench.exe" folder "Z:${dir//\//\\}" "$count" |
            tr -d '\r' | tail -n 1)
        check_gone "the window"
        echo "$output" | sed -n 's/.*list_seconds=\([0-9.]*\) shred_seconds=\([0-9.]*\).*/\1 \2/p'
        ;;
    shred)
        t0=$(now)
        find "$dir" -type f -print0 | xargs -0 -n 1000 shred -n 7 -u
        t1=$(now)
        check_gone "shred"
        awk -v a="$t0" -v b="$t1" 'BEGIN { printf "- %.6f\n", b - a }'
        ;;
    esac
}

best_list="" best_window="" best_shred="" best_engine="" best_floor="" best_floor1="" best_floorH=""
best_floorC=""
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for ((round = 1; round <= rounds; ++round)); do
    echo "== round $round of $rounds: $count files of $bytes bytes in $parent"
    read -ra peers <<<"${PEERS:-window engine floor floor1 floorH floorC shred}"
    ((round % 2 == 0)) && peers=($(printf '%s\n' "${peers[@]}" | tac))
    for peer in "${peers[@]}"; do
        read -r list seconds < <(measure "$peer") || die "$peer failed"
        [ -n "${seconds:-}" ] || die "$peer gave no time"
        if [ "$peer" = window ]; then
            printf '   window: listed in %.3f s, shredded in %.3f s\n' "$list" "$seconds"
            best_list=$(smaller "$list" "$best_list")
            best_window=$(smaller "$seconds" "$best_window")
        elif [ "$peer" = engine ]; then
            printf '   engine alone: %.3f s\n' "$seconds"
            best_engine=$(smaller "$seconds" "$best_engine")
        elif [ "$peer" = floor ]; then
            printf '   floor: %.3f s\n' "$seconds"
            best_floor=$(smaller "$seconds" "$best_floor")
        elif [ "$peer" = floor1 ]; then
            printf '   one-handle floor: %.3f s\n' "$seconds"
            best_floor1=$(smaller "$seconds" "$best_floor1")
        elif [ "$peer" = floorH ]; then
            printf '   one-handle floor hiding names: %.3f s\n' "$seconds"
            best_floorH=$(smaller "$seconds" "$best_floorH")
        elif [ "$peer" = floorC ]; then
            printf '   safe floor (hiding names, checking each act): %.3f s\n' "$seconds"
            best_floorC=$(smaller "$seconds" "$best_floorC")
        else
            printf '   shred -n 7 -u: %.3f s\n' "$seconds"
            best_shred=$(smaller "$seconds" "$best_shred")
        fi
    done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

divide() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "") print "-"; else printf "%.3f", a / b }'; }
ratio=$(divide "$best_window" "$best_shred")
window_engine=$(divide "$best_window" "$best_engine")
engine_floor=$(divide "$best_engine" "$best_floor")
engine_floor1=$(divide "$best_engine" "$best_floor1")
engine_floorH=$(divide "$best_engine" "$best_floorH")
window_floorC=$(divide "$best_window" "$best_floorC")
echo
echo "Results: best of $rounds rounds, $count x $bytes B, on $parent" \
    "($(df -PT "$parent" | awk 'NR == 2 { print $2 }')), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average before: $load_before   after: $load_after"
printf 'listed after the drop:      %8.3f s   (goal <= 2)\n' "$best_list"
printf 'shred through the window:   %8.3f s\n' "$best_window"
printf 'engine alone (no window):   %8.3f s\n' "$best_engine"
printf 'floor (Windows calls only): %8.3f s\n' "$best_floor"
printf 'one-handle floor:           %8.3f s\n' "$best_floor1"
printf '  the same, hiding names:   %8.3f s\n' "$best_floorH"
printf 'shred -n 7 -u (xargs):      %8.3f s\n' "$best_shred"
printf 'window / shred:             %8s     (goal <= 1.5, stretch <= 1.0)\n' "$ratio"
printf 'window / engine alone:      %8s     (goal <= 1.1)\n' "$window_engine"
printf 'engine alone / floor:       %8s\n' "$engine_floor"
printf 'engine / one-handle floor:  %8s     (goal <= 1.15)\n' "$engine_floor1"
printf 'engine / floor hiding names: %7s\n' "$engine_floorH"
printf '  safe floor (checks too):  %8.3f s\n' "$best_floorC"
printf 'window / safe floor:        %8s     (goal <= 1.1)\n' "$window_floorC"
awk -v l="$best_list" -v r="$ratio" -v w="$window_engine" -v e="$engine_floor1" \
    'BEGIN { exit !(l <= 2 && r <= 1.5 && w <= 1.1 && e <= 1.15) }'
