#!/usr/bin/env bash
# check-hardening.sh EXE: the built program, read as a PE file, keeps what guards a user who
# starts it from a folder others can write to (Downloads):
#  - every DLL imported at load time is one of the KnownDLLs of Windows 10 and 11, which come
#    from System32 whatever lies beside it (COMCTL32 from the assembly the manifest names);
#  - the loader looks for those imports in System32 only (DependentLoadFlags);
#  - its addresses are randomised with high entropy and its data is not executable;
#  - its manifest makes it long-path aware.
# Prints each fault; exits non-zero on any.
set -u
exe=$1
faults=0
fault() { echo "$exe: $*" >&2 && faults=$((faults + 1)); }
headers=$(x86_64-w64-mingw32-objdump -p "$exe") || exit 1

known="advapi32|clbcatq|combase|comdlg32|coml2|gdi32|gdiplus|imagehlp|imm32|kernel32|msctf|msvcrt"
known+="|normaliz|nsi|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shcore|shell32|shlwapi|user32"
known+="|wldap32|ws2_32|comctl32"
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || fault "no import table found"
others=$(grep -viE "^($known)\.dll$" <<<"$dlls")
[ -z "$others" ] || fault "imports DLLs that are no KnownDLLs:" $others

flags=$(awk '/^DllCharacteristics/ { on = 1; next } on && /^[[:space:]]/ { print $1; next } { on = 0 }' <<<"$headers")
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
    grep -qx "$flag" <<<"$flags" || fault "DllCharacteristics lack $flag"
done

# DependentLoadFlags: the word 0x4E into the load configuration, LOAD_LIBRARY_SEARCH_SYSTEM32.
read -r config _ < <(awk '/^Entry a / && $3 != 0 { print "0x" $3 }' <<<"$headers")
base=0x$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")
at=$((base + ${config:-0} + 0x4e))
word=$(x86_64-w64-mingw32-objdump -s --start-address=$at --stop-address=$((at + 2)) "$exe" |
    awk '/^ [0-9a-f]+ / { print $2 }')
[ -n "${config:-}" ] && [ "$word" = 0008 ] || fault "DependentLoadFlags are not LOAD_LIBRARY_SEARCH_SYSTEM32"

manifest=$(x86_64-w64-mingw32-windres -i "$exe" -J coff -O rc | sed -n '/^1 24 /,/^END/p')
grep -q '<longPathAware [^>]*>true</longPathAware>' <<<"$manifest" ||
    fault "the manifest does not make it long-path aware"
exit $((faults > 0))
