#!/usr/bin/env bash
# Installs every Debian 12 package Tindra needs to build, test and run.
# Idempotent: packages already present are left alone, and the package lists
# are refreshed only when something is missing.
set -euo pipefail

packages=(
    cmake g++ pkg-config ninja-build
    qtbase5-dev libqt5svg5-dev qt5-image-formats-plugins
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
    libmpv-dev
    fonts-liberation fonts-dejavu-core
    ffmpeg
    parallel
    xvfb xauth
    # the Debian package: made with man pages and icons, checked by its tools
    dpkg-dev file help2man librsvg2-bin
    lintian desktop-file-utils appstream man-db bash-completion
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
