#!/usr/bin/env bash
# Installs what is missing, builds the Windows program and starts it under Wine.
# Without a display it starts on a virtual one (Xvfb) and says so.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target ostrevane
exe=$(find build/win64/app -maxdepth 1 -name '*.exe' | head -n 1)
export WINEPREFIX="$PWD/build/win64/wine-user" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ]; then
    echo "No display: starting the program on a virtual display (Xvfb); its window is not visible."
    exec xvfb-run -a wine "$exe"
fi
exec wine "$exe"
