#!/usr/bin/env bash
# Installs what is missing, builds both presets and runs every test: the portable parts
# natively with sanitizers, everything else under Wine on a virtual display; then the
# release packages (reproducible build, installer under Wine).
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-package-deps.sh
jobs=$(nproc)
status=0
for preset in linux win64; do
    echo "=== $preset: build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done
echo "=== linux: test"
ctest --preset linux -j "$jobs" || status=1
# Under Wine the tests drive real windows on one display, so they run one at a time.
echo "=== win64: test"
ctest --preset win64 || status=1
echo "=== packages: test"
bash tests/package/run.sh || status=1
exit $status
