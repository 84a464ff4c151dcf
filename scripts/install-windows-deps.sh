#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the Windows build of the serial layer and its Wine run need, on top of
# scripts/install-deps.sh: the mingw-w64 cross compiler (the posix flavour, which has
# std::thread), Wine, and GoogleTest's sources to build it with that compiler.
# Run as root (or through sudo); packages already present are left as they are.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix wine64 wine googletest)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
