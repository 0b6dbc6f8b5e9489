#!/usr/bin/env bash
# fill-load-config.sh EXE NM OBJDUMP: points the PE header's load configuration entry at the
# program's _load_config_used (app/LoadConfig.cpp), which binutils' ld up to 2.40 leaves empty,
# and corrects the header's checksum. The same input gives the same bytes, so the build stays
# reproducible; an entry already pointing there is left as it is.
set -eu
exe=$1
nm=$2
objdump=$3
va=0x$("$nm" "$exe" | awk '$3 == "_load_config_used" { print $1 }')
[ "$va" != 0x ] || { echo "$exe: no _load_config_used" >&2; exit 1; }
u32() { od -An -tu4 -j"$1" -N4 "$exe" | tr -d ' '; }
pe=$(u32 60)
rva=$((va - 0x$(od -An -tx8 -j$((pe + 48)) -N8 "$exe" | tr -d ' ')))
# The structure's first field is its size.
h=$("$objdump" -s --start-address=$((va)) --stop-address=$((va + 4)) "$exe" | awk '/^ [0-9a-f]+ / { print $2 }')
size=$((0x${h:6:2}${h:4:2}${h:2:2}${h:0:2}))
# PE32+: the checksum 64 bytes into the optional header, entry 10 of the directory at 112.
sum=$((pe + 24 + 64))
entry=$((pe + 24 + 112 + 10 * 8))
[ "$(u32 $entry) $(u32 $((entry + 4)))" = "$rva $size" ] && exit 0
[ "$(u32 $entry) $(u32 $((entry + 4)))" = "0 0" ] || { echo "$exe: load configuration entry in use" >&2; exit 1; }
put() { # put OFFSET VALUE: a 32-bit little-endian value
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($2 & 255)) $(($2 >> 8 & 255)) \
        $(($2 >> 16 & 255)) $(($2 >> 24 & 255)))" | dd of="$exe" bs=1 seek="$1" conv=notrunc status=none
}
put "$entry" "$rva"
put $((entry + 4)) "$size"
# The checksum is a sum of 16-bit words with end-around carry plus the file's length: the four
# words that were zero are added in.
length=$(wc -c <"$exe")
total=$(($(u32 $sum) - length + (rva & 0xffff) + (rva >> 16) + (size & 0xffff) + (size >> 16)))
while ((total >> 16)); do total=$(((total & 0xffff) + (total >> 16))); done
put "$sum" $((total + length))
