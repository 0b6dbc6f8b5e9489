#!/usr/bin/env bash
# Makes the release packages in dist/: a portable zip and an installer (.msi) for 64-bit
# Windows, SHA256SUMS for both, and in dist/winget/ the manifests by which winget installs the
# .msi. Installs what is missing first.
# Signs the program (in both packages) and the installer when a key is given: SIGN_PFX, or
# SIGN_CERT and SIGN_KEY, with SIGN_PASSWORD and SIGN_TIMESTAMP_URL (packaging/sign.sh).
# Without a key the packages are unsigned, and the zip is the same byte for byte wherever and
# whenever it is built.
# OSTREVANE_RELEASE_URL is the address of the folder the packages are published in, for the
# winget manifests: without it none are written. OSTREVANE_PACKAGE_BUILD and OSTREVANE_PACKAGE_DIST name other folders for
# the build and the packages (the packaging test keeps its own); SOURCE_DATE_EPOCH, if set,
# dates the zip's members instead of the last commit.
# A failed run leaves no packages in dist/: they are made in the build tree and moved there
# only when all of them are ready, and signed.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-package-deps.sh
build=${OSTREVANE_PACKAGE_BUILD:-build/package}
dist=${OSTREVANE_PACKAGE_DIST:-dist}
name="Windows Ostrevane"
mkdir -p "$dist"
rm -rf "$dist"/Windows-Ostrevane-*-win64.zip "$dist"/Windows-Ostrevane-*-win64.msi \
    "$dist/SHA256SUMS" "$dist/winget"
signer=$(bash packaging/sign.sh --signer "$PWD" "$build" "$dist")

echo "=== package: build"
cmake --preset win64 -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target ostrevane
exe="$build/app/$name.exe"
version=$(sed -n 's/^#define OSTREVANE_VERSION_TEXT "\(.*\)"$/\1/p' "$build/app/OstrevaneVersion.h")
[ -n "$version" ] || { echo "package: no version in $build/app/OstrevaneVersion.h" >&2; exit 1; }

# The zip promises a program that runs alone: no MinGW runtime DLL may have crept in.
for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    case "${dll,,}" in
    lib*.dll) echo "package: $name.exe needs $dll; it must be linked statically" >&2; exit 1 ;;
    esac
done

echo "=== package: $name $version"
release="$build/release"
rm -rf "$release"
mkdir -p "$release"
base="Windows-Ostrevane-$version-win64"

# The zip is reproducible: members in a fixed order, dated by the commit, with fixed
# permissions and no extra fields (owner, exact times) that would vary between machines.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
[ -n "$epoch" ] || { echo "package: not a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
stage="$build/zip"
rm -rf "$stage"
mkdir -p "$stage/$name"
shipped="$stage/$name/$name.exe"
cp "$exe" "$shipped"
[ -z "$signer" ] || bash packaging/sign.sh "$shipped"
bash packaging/make-readme.sh "$version" "$stage/$name/ReadMe.txt"
chmod 0755 "$shipped"
touch -d "@$epoch" "$shipped" "$stage/$name/ReadMe.txt"
zip_path=$(cd "$release" && pwd)/$base.zip
(cd "$stage" && TZ=UTC0 zip -q -X -D "$zip_path" "$name/$name.exe" "$name/ReadMe.txt")

bash packaging/make-msi.sh "$version" "$shipped" "$release/$base.msi"
[ -z "$signer" ] || bash packaging/sign.sh "$release/$base.msi"

# A manifest is only as good as the address it gives: none is written without the real one.
url=${OSTREVANE_RELEASE_URL:-}
[ -z "$url" ] ||
    bash packaging/make-winget.sh "$version" "$release/$base.msi" "${url%/}/$base.msi" "$release/winget"
(cd "$release" && sha256sum -- "$base.zip" "$base.msi" >SHA256SUMS)
mv "$release/$base.zip" "$release/$base.msi" "$release/SHA256SUMS" "$dist/"
[ -z "$url" ] || mv "$release/winget" "$dist/"

echo "=== package: written to $dist"
(cd "$dist" && ls -l -- "$base.zip" "$base.msi" SHA256SUMS)
if [ -n "$url" ]; then
    (cd "$dist" && ls -l -- winget/*)
    echo "winget manifests for the installer at ${url%/}/$base.msi (OSTREVANE_RELEASE_URL)"
else
    echo "winget manifests skipped: set OSTREVANE_RELEASE_URL to the address of the folder" \
        "the release is published in"
fi
echo "$name.exe as built, unsigned: sha256 $(sha256sum <"$exe" | cut -d' ' -f1)"
if [ -n "$signer" ]; then
    stamp="not timestamped: the signatures end with the certificate"
    [ -z "${SIGN_TIMESTAMP_URL:-}" ] || stamp="timestamped by $SIGN_TIMESTAMP_URL"
    echo "=== package: SIGNED by $signer, $stamp (the program in both packages, and the installer)"
else
    echo "=== package: UNSIGNED (no key given: set SIGN_PFX, or SIGN_CERT and SIGN_KEY, to sign)"
fi
