#!/usr/bin/env bash
# make-readme.sh VERSION OUTPUT: the read-me as the packages carry it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
# Notepad of older Windows shows a file without carriage returns on one line.
sed -e "s/@VERSION@/$1/" -e 's/$/\r/' "$here/ReadMe.txt" >"$2"
chmod 0644 "$2"
