# Sourced by the window benchmarks, with repo, parent and tree set: builds the benchmark driver
# in $tree, makes the work folder $work below $parent (named after $1), and starts the virtual
# display and Wine prefix the driver runs in. All of it goes again when the script exits.
echo "== building (Release)"
cmake --preset win64 -B "$tree" -DOSTREVANE_TESTS=OFF -DOSTREVANE_BENCH=ON >/dev/null
cmake --build "$tree" -j2 --target ostrevane_window_bench >/dev/null

work=$(mktemp -d "$parent/ostrevane-$1.XXXXXX")
state=$tree/wine
cleanup() {
    "$repo/tools/wine-session" stop "$state" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
"$repo/tools/wine-session" start "$state" >/dev/null
