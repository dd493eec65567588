#!/usr/bin/env bash
# Installs the Debian packages that building and testing the updater need.
# Does nothing when they are all there already.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    juce-modules-source
    libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev libxcomposite-dev
    libfreetype-dev libfontconfig1-dev libudev-dev libxtst-dev
    fonts-dejavu-core fonts-noto-cjk
    googletest libgtest-dev libgmock-dev
    xvfb xauth
    umockdev libumockdev-dev gir1.2-umockdev-1.0
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
