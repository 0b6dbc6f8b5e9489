#!/usr/bin/env bash
# The release packages, end to end, in a tree of their own under build/package-test:
#  - reproducible: two copies of the source in different folders, built a minute apart, give
#    the same .exe and the same zip, byte for byte;
#  - the program keeps its guards against planted DLLs (tests/app/check-hardening.sh);
#  - signed with a throwaway certificate: the program in both packages and the installer carry
#    its valid signature, which one changed byte breaks; a wrong password or an unreachable
#    time-stamp server fails the release and leaves no package; the winget manifest names the
#    installer's SHA-256 and product code;
#  - the signed installer, under Wine in a fresh prefix on a virtual display: installs silently
#    over an older version, puts the program, its Start menu shortcut and its uninstall entry
#    in place, the installed program shows its main window, and a silent uninstall takes all
#    of it away again but the user's own setting.
# Prints one line per check and a closing pass/fail line; exits non-zero on any failure.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
state="$root/build/package-test"
name="Windows Ostrevane"
started=$SECONDS
passed=0
failed=0

check() { # check DESCRIPTION COMMAND [ARGS...]
    local what=$1
    shift
    if "$@"; then
        echo "  ok    $what"
        passed=$((passed + 1))
    else
        echo "  FAIL  $what"
        failed=$((failed + 1))
    fi
}

finish() {
    local verdict=PASS
    [ "$failed" -eq 0 ] || verdict=FAIL
    echo "package tests: $verdict in $((SECONDS - started)) s"
    echo "packages: $passed passed, $failed failed"
    exit $((failed > 0))
}

rm -rf "$state"
mkdir -p "$state"

# --- Two builds of one snapshot of the source, in different folders and at different times.
echo "=== package test: two builds"
snapshot() { # snapshot DEST: the source as it is now, without builds, packages or history
    mkdir -p "$1"
    tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$1" -xf -
}
epoch=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 946684800)
export SOURCE_DATE_EPOCH=$epoch
a="$state/a/src"
b="$state/another/folder/src"
snapshot "$a"
mkdir -p "$(dirname "$b")" && cp -a "$a" "$b"
# The first as a user makes a release (default build tree and dist/ inside the source), the
# second with both outside it.
log="$state/build.log"
if ! bash "$a/scripts/package.sh" >"$log" 2>&1 ||
    ! OSTREVANE_PACKAGE_BUILD="$state/b-build" OSTREVANE_PACKAGE_DIST="$state/b-dist" \
        bash "$b/scripts/package.sh" >>"$log" 2>&1; then
    tail -n 30 "$log"
    check "both package builds succeed" false
    finish
fi
exe_a="$a/build/package/app/$name.exe"
exe_b="$state/b-build/app/$name.exe"
version=$(sed -n 's/^#define OSTREVANE_VERSION_TEXT "\(.*\)"$/\1/p' "$a/build/package/app/OstrevaneVersion.h")
zip_a="$a/dist/Windows-Ostrevane-$version-win64.zip"
echo "  $name.exe sha256: $(sha256sum <"$exe_a" | cut -d' ' -f1) (first build)"
echo "  $name.exe sha256: $(sha256sum <"$exe_b" | cut -d' ' -f1) (second build)"
check "the two builds give the same .exe" cmp "$exe_a" "$exe_b"
check "the two builds give the same zip" cmp "$zip_a" "$state/b-dist/Windows-Ostrevane-$version-win64.zip"
check "SHA256SUMS matches the packages" bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' _ "$a/dist"
members() { unzip -Z1 "$zip_a" | tr '\n' '|'; }
check "the zip holds the program and the read-me in one folder" \
    test "$(members)" = "$name/$name.exe|$name/ReadMe.txt|"
check "the zip's program is the one built" cmp <(unzip -p "$zip_a" "$name/$name.exe") "$exe_a"
check "the program imports only KnownDLLs, from System32, has ASLR and DEP, is long-path aware" \
    bash "$root/tests/app/check-hardening.sh" "$exe_a"
check "the script's last line says the release is unsigned" grep -q "UNSIGNED" <(tail -n 1 "$log")
check "without OSTREVANE_RELEASE_URL no winget manifest is written, and the script says so" \
    bash -c 'test ! -e "$1/dist/winget" && grep -q "winget manifests skipped" "$2"' _ "$a" "$log"

# --- Signed with a throwaway certificate, from the second build's tree (no new build).
echo "=== package test: a signed release"
keys="$state/keys"
mkdir -m 700 "$keys"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/CN=Ostrevane Test Signer" \
    -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
    -passout "pass:test pass" -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
openssl pkcs12 -export -in "$keys/cert.pem" -inkey "$keys/key.pem" -passin "pass:test pass" \
    -passout "pass:test pass" -out "$keys/test.pfx"
release() { # release DIST [VAR=VALUE...]: the second copy's release, signed with the test key
    local dist=$1
    shift
    env OSTREVANE_PACKAGE_BUILD="$state/b-build" OSTREVANE_PACKAGE_DIST="$dist" \
        SIGN_PFX="$keys/test.pfx" SIGN_PASSWORD="test pass" "$@" bash "$b/scripts/package.sh"
}
signed="$state/s-dist"
address=https://downloads.test/ostrevane/releases/$version
if ! release "$signed" OSTREVANE_RELEASE_URL="$address/" >"$state/signed.log" 2>&1; then
    tail -n 30 "$state/signed.log"
    check "the signed package build succeeds" false
    finish
fi
check "the script's last line says the release is signed by the test certificate" \
    grep -q "SIGNED by CN = Ostrevane Test Signer" <(tail -n 1 "$state/signed.log")
signed_msi="$signed/Windows-Ostrevane-$version-win64.msi"
unzip -q "$signed/Windows-Ostrevane-$version-win64.zip" -d "$state/s-zip"
msiextract -C "$state/s-msi" "$signed_msi" >/dev/null
signed_exe="$state/s-zip/$name/$name.exe"
verified() { # verified FILE: a SHA-256 signature of the test certificate over FILE as it is
    osslsigncode verify -in "$1" -CAfile "$keys/cert.pem" >"$state/verify.log" 2>&1 &&
        grep -q '^Message digest algorithm *: SHA256' "$state/verify.log"
}
tampered_fails() { # tampered_fails FILE: with the byte in its middle changed, FILE fails verify
    local copy="$state/tampered.${1##*.}" at=$(($(stat -c %s "$1") / 2)) byte
    cp "$1" "$copy"
    byte=$(od -An -tu1 -j "$at" -N1 "$1")
    printf "\\$(printf %o $((byte ^ 1)))" | dd of="$copy" bs=1 seek="$at" conv=notrunc status=none
    ! cmp -s "$1" "$copy" && ! verified "$copy"
}
check "the zip's program is signed by the test certificate" verified "$signed_exe"
check "the installer's program is signed by the test certificate" \
    verified "$state/s-msi/$name/$name.exe"
check "the installer is signed by the test certificate" verified "$signed_msi"
check "a byte changed in the signed program fails the check" tampered_fails "$signed_exe"
check "a byte changed in the signed installer fails the check" tampered_fails "$signed_msi"
check "SHA256SUMS matches the signed packages" \
    bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' _ "$signed"
manifest="$signed/winget/Velmarth.WindowsOstrevane.installer.yaml"
check "the winget manifest names the signed installer's SHA-256" \
    grep -qix "  InstallerSha256: $(sha256sum <"$signed_msi" | cut -d' ' -f1)" "$manifest"
check "the winget manifest gives the installer at the address given" \
    grep -qx "  InstallerUrl: $address/Windows-Ostrevane-$version-win64.msi" "$manifest"
readme="$state/s-zip/$name/ReadMe.txt"
on_one_line() { # on_one_line TEXT...: each TEXT, none empty, whole on one line of the read-me
    local text
    for text; do [ -n "$text" ] && grep -qiF -- "$text" "$readme" || return 1; done
}
locale_value() { sed -n "s/^$1: //p" "$signed/winget/Velmarth.WindowsOstrevane.locale.en-US.yaml"; }
check "the winget manifest's publisher, licence and copyright are the shipped read-me's" \
    on_one_line "$(locale_value Publisher)" "$(locale_value License)" "$(locale_value Copyright)"
check "the shipped read-me gives the install folder and the setting's key each on one line" \
    on_one_line "Program Files\\$name" 'HKEY_CURRENT_USER\Software\Velmarth\Ostrevane'
key_copies() {
    find "$state/b-build" "$signed" -type f -size "$(stat -c %s "$keys/test.pfx")c" \
        -exec cmp -s "$keys/test.pfx" {} \; -print
}
check "no copy of the key in the build tree or the packages" test -z "$(key_copies)"
failed_release() { # failed_release [VAR=VALUE...]: fails, leaving no package in a dist/ with one
    rm -rf "$state/f-dist"
    cp -a "$signed" "$state/f-dist"
    ! release "$state/f-dist" "$@" >>"$state/signed.log" 2>&1 && test -z "$(ls -A "$state/f-dist")"
}
check "a wrong password fails the release, leaving no package" failed_release SIGN_PASSWORD=wrong
check "an unreachable time-stamp server fails the release, leaving no package" \
    failed_release SIGN_TIMESTAMP_URL=http://127.0.0.1:1/
# A key inside the source, the build tree or dist/ is refused before anything is built.
for inside in "$b" "$state/b-build"; do
    cp "$keys/test.pfx" "$inside/key.pfx"
    check "a key inside ${inside#"$state"/} is refused, leaving no package" \
        failed_release SIGN_PFX="$inside/key.pfx"
    rm -f "$inside/key.pfx"
done
mkdir -p "$state/k-dist"
cp "$keys/test.pfx" "$state/k-dist/key.pfx"
key_in_dist() {
    ! release "$state/k-dist" SIGN_PFX="$state/k-dist/key.pfx" >>"$state/signed.log" 2>&1 &&
        test "$(ls -A "$state/k-dist")" = key.pfx
}
check "a key inside dist/ is refused, leaving no package" key_in_dist

# --- The signed installer under Wine, in a prefix and a home of its own (Wine writes menu
# entries and folders under the home).
echo "=== package test: installer under Wine"
export HOME="$state/home" XDG_DATA_HOME="$state/home/.local/share" XDG_CONFIG_HOME="$state/home/.config"
mkdir -p "$HOME"
wine_state="$state/wine"
if ! "$root/tools/wine-session" start "$wine_state" >"$state/wine.log" 2>&1; then
    cat "$state/wine.log"
    check "the Wine session starts" false
    finish
fi
trap '"$root/tools/wine-session" stop "$wine_state" >/dev/null 2>&1' EXIT
export WINEPREFIX="$wine_state/prefix" WINEDEBUG=-all DISPLAY=$(cat "$wine_state/display")
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/$name/$name.exe"
installed_win="C:\\Program Files\\$name\\$name.exe"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
msiexec() { timeout 120 wine msiexec "$@" </dev/null >>"$state/wine.log" 2>&1; }

# Every uninstall entry named like the program, one "key|publisher|version|icon" line each.
entries() {
    timeout 60 wine reg query "$uninstall_key" /s </dev/null 2>/dev/null | tr -d '\r' | awk -F'    ' '
        /^HKEY_/ { if (n == "'"$name"'") print k "|" p "|" v "|" i; k = $0; n = p = v = i = ""; next }
        $2 == "DisplayName" { n = $4 } $2 == "Publisher" { p = $4 }
        $2 == "DisplayVersion" { v = $4 } $2 == "DisplayIcon" { i = $4 }
        END { if (n == "'"$name"'") print k "|" p "|" v "|" i }'
}
field() { echo "$entry" | cut -d'|' -f"$1"; }

# An older version first, so that the package must replace it.
older="$state/older.msi"
bash "$root/packaging/make-msi.sh" 0.01 "$exe_a" "$older"
check "an older version installs silently" msiexec /i "$(windows_path "$older")" /qn
check "the older version is registered" test "$(entries | cut -d'|' -f3)" = "0.01"
check "the package installs silently over it" msiexec /i "$(windows_path "$signed_msi")" /qn

entry=$(entries)
check "one uninstall entry named \"$name\", the older one gone" test "$(echo "$entry" | grep -c .)" -eq 1
check "the entry's publisher is Velmarth" test "$(field 2)" = "Velmarth"
check "the entry's version is $version" test "$(field 3)" = "$version"
check "the entry's icon is the installed program's" test "$(field 4)" = "$installed_win,0"
check "the signed program is installed under Program Files" cmp "$installed" "$signed_exe"
# Windows puts an all-users installer's shortcuts in the common Start menu; Wine's installer
# puts them in the user's.
shortcut="" readme_shortcut=""
for programs in "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
    "$drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"; do
    [ -f "$programs/$name.lnk" ] && shortcut="$programs/$name.lnk"
    [ -f "$programs/$name Read-Me.lnk" ] && readme_shortcut="$programs/$name Read-Me.lnk"
done
check "the Start menu has a shortcut to the installed program" grep -qaF "$installed_win" "${shortcut:-/dev/null}"
# The installer's users read what overwriting cannot reach, and how to uninstall, as the
# zip's do.
check "the read-me is installed beside the program, as the zip has it" \
    cmp "$(dirname "$installed")/ReadMe.txt" <(unzip -p "$zip_a" "$name/ReadMe.txt")
check "the Start menu has a shortcut to the installed read-me" \
    grep -qaF "${installed_win%\\*}\\ReadMe.txt" "${readme_shortcut:-/dev/null}"

# The installed program starts and shows its main window (unmapped while hidden, so a
# viewable window of that title is the main window shown).
wine "$installed_win" </dev/null >>"$state/wine.log" 2>&1 &
program=$!
shown() {
    for _ in $(seq 150); do
        xwininfo -name "$name" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
        kill -0 "$program" 2>/dev/null || return 1
        sleep 0.2
    done
    return 1
}
check "the installed program shows its main window" shown
timeout 30 wine taskkill /im "$name.exe" </dev/null >>"$state/wine.log" 2>&1
for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null

# The user's own setting, as the file picker leaves it; uninstalling must not touch it.
timeout 60 wine reg add 'HKCU\Software\Velmarth\Ostrevane' /v SearchPath /d 'C:\kept\' /f \
    </dev/null >>"$state/wine.log" 2>&1
code=$(field 1 | sed 's/.*\\//')
check "the winget manifest names the installed product code" \
    grep -qxF "ProductCode: '$code'" "$manifest"
check "the package uninstalls silently" msiexec /x "$(windows_path "$signed_msi")" /qn
check "no uninstall entry is left" test -z "$(entries)"
check "no file or folder of the program is left" test -z "$(find "$drive_c" -iname '*ostrevane*')"
check "the user's setting is kept" bash -c 'timeout 60 wine reg query "HKCU\Software\Velmarth\Ostrevane" /v SearchPath </dev/null 2>/dev/null | grep -qF "C:\kept\\"'
# The registry reaches the disk when the server ends.
"$root/tools/wine-session" stop "$wine_state" >/dev/null 2>&1
trap - EXIT
leftovers() {
    grep -i -e ostrevane -e "${code:-no product code}" "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" |
        grep -vF '[Software\\Velmarth\\Ostrevane]'
}
check "no registry entry of the program is left" test -z "$(leftovers)"
finish
