#!/usr/bin/env bash
# Installs everything Orvane needs to build, run and test on Debian 12. Run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl1-mesa-dev qt6-qpa-plugins
    libzip-dev libpugixml-dev zlib1g-dev
    libgtest-dev libgmock-dev
    fonts-liberation
    xvfb xauth x11-utils
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
