#!/usr/bin/env bash
# Installs what making the release packages and running every test need on a Debian 12
# machine (as root): the project's build dependencies, the MSI compiler and tools (msitools
# reads the product code), the zip tools, osslsigncode and openssl to sign, and for the
# forensic tests The Sleuth Kit, PhotoRec and exFAT through FUSE. Only what is missing.
set -eu
exec bash "$(dirname "$0")/install-deps.sh" wixl msitools zip unzip osslsigncode openssl \
    sleuthkit testdisk exfatprogs exfat-fuse
