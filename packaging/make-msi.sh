#!/usr/bin/env bash
# make-msi.sh VERSION EXE OUTPUT: compiles the installer for 64-bit Windows around EXE.
# The version is the one people see ("2.00"); Windows Installer reads it as 2.0.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
version=$1 exe=$2 output=$3
# wixl takes source files only by paths relative to the folder it runs in.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/program.exe"
cp "$here/../app/res/Ostrevane.ico" "$here/Ostrevane.wxs" "$work/"
bash "$here/make-readme.sh" "$version" "$work/ReadMe.txt"
# wixl only warns about WiX features it does not implement; such a package is not what the
# source says, so any message fails the build.
log=$(cd "$work" && wixl -a x64 -D "Version=$version" -D Exe=program.exe -D Icon=Ostrevane.ico \
      -D ReadMe=ReadMe.txt -o package.msi Ostrevane.wxs 2>&1) || { echo "$log" >&2; exit 1; }
if [ -n "$log" ]; then
    echo "$log" >&2
    exit 1
fi
mv "$work/package.msi" "$output"
