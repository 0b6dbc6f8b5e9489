#!/usr/bin/env bash
# make-winget.sh VERSION MSI URL FOLDER: writes into FOLDER the three manifests (version,
# installer, default locale) by which winget installs MSI, downloaded from URL. They follow the
# schema 1.6.0 of winget's community repository, where they go into
# manifests/v/Velmarth/WindowsOstrevane/VERSION/. The product code comes from MSI itself:
# every build of the installer has a new one.
set -eu
version=$1 msi=$2 url=$3 out=$4
id=Velmarth.WindowsOstrevane
property() { # property NAME: its value in the installer's Property table
    msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' -v p="$1" '$1 == p { print $2 }'
}
product_code=$(property ProductCode)
upgrade_code=$(property UpgradeCode)
[ -n "$product_code" ] && [ -n "$upgrade_code" ] || {
    echo "make-winget: no product or upgrade code in $msi" >&2
    exit 1
}
sha256=$(sha256sum <"$msi" | cut -d' ' -f1)

mkdir -p "$out"
manifest() { # manifest TYPE FILE: the schema's name and the package, then the lines on stdin
    {
        echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.1.6.0.schema.json"
        echo
        echo "PackageIdentifier: $id"
        echo "PackageVersion: \"$version\""
        cat
        echo "ManifestType: $1"
        echo "ManifestVersion: 1.6.0"
    } >"$out/$2"
}
manifest version "$id.yaml" <<EOF
DefaultLocale: en-US
EOF
# The package replaces an older one itself (a major upgrade), so winget installs over it.
manifest installer "$id.installer.yaml" <<EOF
InstallerLocale: en-US
Platform:
- Windows.Desktop
InstallerType: msi
Scope: machine
InstallModes:
- interactive
- silent
- silentWithProgress
InstallerSwitches:
  Silent: /quiet /norestart
  SilentWithProgress: /passive /norestart
UpgradeBehavior: install
ProductCode: '$product_code'
AppsAndFeaturesEntries:
- UpgradeCode: '$upgrade_code'
Installers:
- Architecture: x64
  InstallerUrl: $url
  InstallerSha256: ${sha256^^}
EOF
# Publisher, licence and copyright as the read-me gives them (the package tests compare them).
manifest defaultLocale "$id.locale.en-US.yaml" <<EOF
PackageLocale: en-US
Publisher: Velmarth
PackageName: Windows Ostrevane
License: Proprietary
Copyright: Copyright (c) 2026 Velmarth. All rights reserved.
ShortDescription: Destroys files so that their contents cannot be read back.
EOF
