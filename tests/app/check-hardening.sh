#!/usr/bin/env bash
# check-hardening.sh EXE [OBJDUMP]: the built program, read as a PE file, keeps what guards a
# user who starts it from a folder others can write to:
#  - every DLL imported at load time is one of Windows' KnownDLLs, which come from System32
#    whatever lies beside the program (COMCTL32 comes from the assembly the manifest names);
#  - the loader searches System32 only for those imports (DependentLoadFlags);
#  - its addresses are randomised with high entropy, and its data is not executable;
#  - its manifest makes it long-path aware.
# Prints each fault; exits non-zero on any.
set -u
exe=$1
objdump=${2:-x86_64-w64-mingw32-objdump}
faults=0
fault() {
    echo "$exe: $*" >&2
    faults=$((faults + 1))
}
headers=$("$objdump" -p "$exe") || exit 1

# The KnownDLLs of Windows 10 and 11.
known=" advapi32 clbcatq combase comdlg32 coml2 gdi32 gdiplus imagehlp imm32 kernel32 msctf
        msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32
        shlwapi user32 wldap32 ws2_32 comctl32 "
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || fault "no import table found"
for dll in $dlls; do
    name=${dll,,}
    [[ $known == *[[:space:]]${name%.dll}[[:space:]]* ]] || fault "imports $dll, which is no KnownDLL"
done

flags=$(awk '/^DllCharacteristics/ { on = 1; next } on && /^[[:space:]]/ { print $1; next } { on = 0 }' <<<"$headers")
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
    grep -qx "$flag" <<<"$flags" || fault "DllCharacteristics lack $flag"
done

# Bytes of the loaded image at an address (RVA LENGTH), read from the file's sections.
base=0x$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")
sections=$("$objdump" -h "$exe" | grep '^ *[0-9]')
at() {
    local va=$((base + $1)) size vma file
    while read -r _ _ size vma _ file _; do
        if ((va >= 0x$vma && va + $2 <= 0x$vma + 0x$size)); then
            tail -c +$((va - 0x$vma + 0x$file + 1)) "$exe" | head -c $(($2))
        fi
    done <<<"$sections"
}

# DependentLoadFlags, 0x4E into the load configuration: System32 only for the program's imports.
read -r config config_size < <(awk '/^Entry a / { print "0x" $3, "0x" $4 }' <<<"$headers")
flags=0
((config_size >= 0x50)) && flags=$(at $((config + 0x4e)) 2 | od -An -tu2 | tr -d ' ')
[ "${flags:-0}" -eq 2048 ] || fault "DependentLoadFlags are not LOAD_LIBRARY_SEARCH_SYSTEM32"

# The manifest: resource type 24, found through the resource tree.
read -r rva size < <(awk '/^[0-9a-f]+   Entry: ID: 0x000018,/ { on = 1 }
    on && /Leaf: Addr:/ { gsub(",", ""); print $4, $6; exit }' <<<"$headers")
manifest=""
[ -n "${rva:-}" ] && manifest=$(at "$rva" "$size")
grep -q '<longPathAware [^>]*>true</longPathAware>' <<<"$manifest" ||
    fault "the manifest does not make it long-path aware"

exit $((faults > 0))
