#!/usr/bin/env bash
# Installs what making the release packages needs on a Debian 12 machine (as root): the
# project's build dependencies, then the MSI compiler and the zip tools. Only what is missing.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
packages=(wixl zip unzip)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
