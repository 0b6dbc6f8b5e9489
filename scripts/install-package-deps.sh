#!/usr/bin/env bash
# Installs what making the release packages needs on a Debian 12 machine (as root): the
# project's build dependencies, then the MSI compiler and the zip tools. Only what is missing.
set -eu
exec bash "$(dirname "$0")/install-deps.sh" wixl zip unzip
