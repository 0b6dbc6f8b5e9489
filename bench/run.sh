#!/usr/bin/env bash
# bench/run.sh [FOLDER]: builds the benchmark driver natively (Release, no sanitizers) and for
# 64-bit Windows, then times, on the disk that holds FOLDER (default /tmp):
#   a 1 GiB file: the engine natively and under Wine, `shred -n 7 -u`, and seven `dd` runs
#     with fsync (what the device can do for seven passes at best);
#   2000 files of 4 KiB: the engine natively and under Wine, `shred -n 7 -u`,
#     `shred -n 7 --remove=unlink`, and under Wine two floors: only the Windows calls that
#     seven passes and a deletion need, by name and through one handle per file
#     (bench/FloorBench.cpp);
#   the peak memory of the native engine over the 1 GiB file, above that of an empty run.
# Every measurement gets a freshly written target; peers are interleaved and the best of
# ROUNDS rounds (default 3) is kept. Build trees go to BENCH_BUILD (default <repo>/build).
set -euo pipefail
shopt -s inherit_errexit

repo=$(cd "$(dirname "$0")/.." && pwd)
parent=$(realpath "${1:-/tmp}")
rounds=${ROUNDS:-3}
build_root=${BENCH_BUILD:-$repo/build}
big_bytes=$((1024 * 1024 * 1024))
small_count=2000
small_bytes=4096

die() {
    echo "bench: $*" >&2
    exit 1
}

bash "$repo/scripts/install-deps.sh"
for tool in cmake wine shred dd awk split; do
    command -v "$tool" >/dev/null || die "$tool is missing"
done
[ -x /usr/bin/time ] || die "/usr/bin/time is missing (apt-get install time)"
[ -d "$parent" ] || die "no such folder: $parent"
free_kib=$(df -Pk "$parent" | awk 'NR == 2 { print $4 }')
# The random source and one target at a time, with room to spare.
[ "$free_kib" -gt $((3 * 1024 * 1024)) ] || die "less than 3 GiB free on $parent"

echo "== building (Release, no sanitizers)"
native_tree=$build_root/bench-linux
win_tree=$build_root/bench-win64
cmake --preset linux -B "$native_tree" -DCMAKE_BUILD_TYPE=Release -DOSTREVANE_SANITIZE=OFF \
    -DOSTREVANE_TESTS=OFF -DOSTREVANE_BENCH=ON >/dev/null
cmake --build "$native_tree" -j2 --target ostrevane_bench >/dev/null
cmake --preset win64 -B "$win_tree" -DOSTREVANE_TESTS=OFF -DOSTREVANE_BENCH=ON >/dev/null
cmake --build "$win_tree" -j2 --target ostrevane_bench ostrevane_floor >/dev/null
native_exe=$native_tree/bench/ostrevane_bench
win_exe=$win_tree/bench/ostrevane_bench.exe
floor_exe=$win_tree/bench/ostrevane_floor.exe

work=$(mktemp -d "$parent/ostrevane-bench.XXXXXX")
cleanup() {
    rm -rf "$work"
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# A private prefix, no display: the driver opens no window.
export WINEPREFIX=$win_tree/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
fi
# Keeps one server up for the whole run, so no measurement pays for starting it.
wineserver -p

source_file=$work/random.src
big=$work/big.bin
small=$work/small

# Wine's drive Z: is the host's root.
windows_path() {
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
}

now() { date +%s.%N; }

# The driver's own timing of the run: "seconds=<s>" in its one line of output.
driver_seconds() {
    tr -d '\r' | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p'
}

write_big() {
    dd if="$source_file" of="$big" bs=1M conv=fsync status=none
}

write_small() {
    mkdir "$small"
    head -c $((small_count * small_bytes)) "$source_file" |
        split -b "$small_bytes" -a 4 -d - "$small/f"
    sync -f "$small"
    [ "$(find "$small" -type f | wc -l)" -eq "$small_count" ] || die "small files not written"
}

# Each measurement checks that its targets are gone: a failed run is no result.
check_big_gone() {
    [ ! -e "$big" ] || die "$1 left $big behind"
}

check_small_gone() {
    [ -z "$(ls -A "$small")" ] || die "$1 left files in $small"
    rmdir "$small"
}

measure() {
    local what=$1 t0 t1
    case $what in
    big_native)
        write_big
        "$native_exe" "$big" | driver_seconds
        check_big_gone "the native engine"
        ;;
    big_wine)
        write_big
        wine "$win_exe" "$(windows_path "$big")" | driver_seconds
        check_big_gone "the engine under Wine"
        ;;
    big_shred)
        write_big
        t0=$(now)
        shred -n 7 -u "$big"
        t1=$(now)
        check_big_gone "shred"
        awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
        ;;
    big_dd)
        write_big
        t0=$(now)
        for _ in 1 2 3 4 5 6 7; do
            dd if="$source_file" of="$big" bs=1M conv=notrunc,fsync status=none
        done
        t1=$(now)
        rm -f "$big"
        awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
        ;;
    small_native)
        write_small
        "$native_exe" "$small" | driver_seconds
        check_small_gone "the native engine"
        ;;
    small_wine)
        write_small
        wine "$win_exe" "$(windows_path "$small")" | driver_seconds
        check_small_gone "the engine under Wine"
        ;;
    small_floor)
        write_small
        wine "$floor_exe" "$(windows_path "$small")" | driver_seconds
        check_small_gone "the floor under Wine"
        ;;
    small_floor_one_handle | small_floor_hiding)
        write_small
        local option=--one-handle
        [ "$what" = small_floor_hiding ] && option=--one-handle-hiding
        wine "$floor_exe" "$option" "$(windows_path "$small")" | driver_seconds
        check_small_gone "the floor $option under Wine"
        ;;
    small_shred_u | small_shred_unlink)
        write_small
        local remove=-u
        [ "$what" = small_shred_unlink ] && remove=--remove=unlink
        t0=$(now)
        shred -n 7 "$remove" "$small"/*
        t1=$(now)
        check_small_gone "shred $remove"
        awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
        ;;
    esac
}

kinds=(big_native big_wine big_shred big_dd small_native small_wine small_floor
       small_floor_one_handle small_floor_hiding small_shred_u small_shred_unlink)
declare -A best

echo "== preparing a 1 GiB random source in $work"
head -c "$big_bytes" /dev/urandom >"$source_file"
sync -f "$source_file"

# Other work on the machine slows the flushes most of all; the report shows how busy it was.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

for ((round = 1; round <= rounds; ++round)); do
    echo "== round $round of $rounds"
    # Each round starts with a different peer, so no one always runs right after the source
    # file or the previous round's deletions.
    for ((k = 0; k < ${#kinds[@]}; ++k)); do
        kind=${kinds[$(((k + round - 1) % ${#kinds[@]}))]}
        seconds=$(measure "$kind") || die "$kind failed"
        [ -n "$seconds" ] || die "$kind gave no time"
        printf '   %-20s %10.3f s\n' "$kind" "$seconds"
        if [ -z "${best[$kind]:-}" ] ||
            awk -v a="$seconds" -v b="${best[$kind]}" 'BEGIN { exit !(a < b) }'; then
            best[$kind]=$seconds
        fi
    done
done

echo "== peak memory (maximum resident set)"
/usr/bin/time -f %M -o "$work/rss-empty" "$native_exe" >/dev/null
write_big
/usr/bin/time -f %M -o "$work/rss-big" "$native_exe" "$big" >/dev/null
check_big_gone "the native engine"
rss_empty=$(tail -n 1 "$work/rss-empty")
rss_big=$(tail -n 1 "$work/rss-big")

mib_per_s() {
    awk -v s="$1" -v bytes="$2" 'BEGIN { printf "%8.0f MiB/s written", 7 * bytes / s / 1048576 }'
}

fs_type=$(df -PT "$parent" | awk 'NR == 2 { print $2 }')
echo
echo "Results: best of $rounds rounds, on $parent ($fs_type), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Load average (1, 5, 15 min): $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after"
echo "1 GiB file, 7 passes with flushes, then deletion:"
printf '  %-34s %9.3f s %s\n' "engine, native" "${best[big_native]}" \
    "$(mib_per_s "${best[big_native]}" $big_bytes)"
printf '  %-34s %9.3f s %s\n' "engine, Wine (start-up excluded)" "${best[big_wine]}" \
    "$(mib_per_s "${best[big_wine]}" $big_bytes)"
printf '  %-34s %9.3f s %s\n' "shred -n 7 -u" "${best[big_shred]}" \
    "$(mib_per_s "${best[big_shred]}" $big_bytes)"
printf '  %-34s %9.3f s %s\n' "device limit: 7 x dd conv=fsync" "${best[big_dd]}" \
    "$(mib_per_s "${best[big_dd]}" $big_bytes)"
echo "$small_count files of $small_bytes bytes:"
printf '  %-34s %9.3f s\n' "engine, native" "${best[small_native]}"
printf '  %-34s %9.3f s\n' "engine, Wine (start-up excluded)" "${best[small_wine]}"
printf '  %-34s %9.3f s\n' "floor: Windows calls alone, Wine" "${best[small_floor]}"
printf '  %-34s %9.3f s\n' "one-handle floor, Wine" "${best[small_floor_one_handle]}"
printf '  %-34s %9.3f s\n' "the same, hiding names, Wine" "${best[small_floor_hiding]}"
printf '  %-34s %9.3f s\n' "shred -n 7 -u" "${best[small_shred_u]}"
printf '  %-34s %9.3f s\n' "shred -n 7 --remove=unlink" "${best[small_shred_unlink]}"
echo "Peak memory, native engine: empty run $rss_empty KiB, 1 GiB run $rss_big KiB"

met=0
goals=0
# goal LABEL VALUE [OPERATOR LIMIT]: prints the value beside its goal and counts the goal.
goal() {
    local verdict=""
    if [ $# -eq 4 ]; then
        goals=$((goals + 1))
        if awk -v v="$2" -v op="$3" -v g="$4" \
            'BEGIN { exit !(op == "<" ? v < g : v <= g) }'; then
            verdict="met"
            met=$((met + 1))
        else
            verdict="MISSED"
        fi
    fi
    printf '  %-44s %8.2f   %-8s %s\n' "$1" "$2" "${3:-} ${4:-}" "$verdict"
}
divide() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }

echo
printf '  %-44s %8s   %-8s\n' "" "value" "goal"
goal "1 GiB: engine / dd limit" "$(divide "${best[big_native]}" "${best[big_dd]}")" "<=" 1.15
goal "1 GiB: engine / shred -n 7 -u" "$(divide "${best[big_native]}" "${best[big_shred]}")" \
    "<=" 0.5
goal "1 GiB: Wine / native" "$(divide "${best[big_wine]}" "${best[big_native]}")" "<=" 1.15
goal "small: engine / shred -n 7 -u" \
    "$(divide "${best[small_native]}" "${best[small_shred_u]}")" "<=" 0.6
goal "small: engine / shred -n 7 --remove=unlink" \
    "$(divide "${best[small_native]}" "${best[small_shred_unlink]}")" "<=" 1.2
goal "small: Wine / native" "$(divide "${best[small_wine]}" "${best[small_native]}")"
goal "small: engine / floor (both Wine)" "$(divide "${best[small_wine]}" "${best[small_floor]}")"
goal "small: engine / one-handle floor (both Wine)" \
    "$(divide "${best[small_wine]}" "${best[small_floor_one_handle]}")" "<=" 1.15
goal "small: engine / floor hiding names (both Wine)" \
    "$(divide "${best[small_wine]}" "${best[small_floor_hiding]}")"
goal "memory above the empty run, MiB" \
    "$(awk -v a="$rss_big" -v b="$rss_empty" 'BEGIN { printf "%.4f", (a - b) / 1024 }')" "<" 16
echo
echo "Goals met: $met of $goals"
