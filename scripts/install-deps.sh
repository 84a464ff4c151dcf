#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages needed to build, test and run the program.
# Run as root (or through sudo); packages already present are left as they are.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-qpa-plugins libturbojpeg0-dev libsimpleini-dev libexiv2-dev libcli11-dev
    libgtest-dev libgmock-dev
    libbenchmark-dev  # only with -DDM_BUILD_BENCHMARKS=ON, as CI builds
    fonts-liberation fonts-dejavu-core fonts-noto-cjk
    xvfb xauth
    dpkg-dev file desktop-file-utils appstream exiv2 lintian
)
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
