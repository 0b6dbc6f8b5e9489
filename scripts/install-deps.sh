#!/usr/bin/env bash
# install-deps.sh [PACKAGE...]: installs what building and testing need on a Debian 12
# machine (as root), and any packages named, only what is missing, so a second call costs
# nothing.
set -eu
packages=(cmake make g++ googletest clang-format
          mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 xvfb xauth x11-utils
          fonts-liberation e2fsprogs util-linux mount coreutils procps imagemagick time
          dosfstools fusefat ntfs-3g "$@")
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
