#!/usr/bin/env bash
# Installs the Debian 12 packages that Orvane needs to build, run, test and
# package, and any more named as arguments. Installing packages is the one step that needs root: an ordinary
# user is asked for sudo, and only for the apt-get commands. When every package
# is already there, nothing is installed and neither root nor sudo is needed.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl1-mesa-dev qt6-qpa-plugins
    libzip-dev libpugixml-dev zlib1g-dev
    libgtest-dev libgmock-dev
    fonts-liberation
    xvfb xauth x11-utils
    desktop-file-utils file
)
# More for one purpose, named by the caller (the sanitizer build: clang ...).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    echo "Installing ${missing[*]} with sudo apt-get (installing packages needs root)."
    as_root=(sudo)
else
    {
        echo "Orvane needs these packages, and installing them needs root: ${missing[*]}"
        echo "Ask someone with root to run (or run 'su -' and then):"
        echo "    apt-get install ${missing[*]}"
        echo "and start this again. Building, running and testing need no root."
    } >&2
    exit 1
fi

apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
if ! "${apt[@]}" update -qq || ! "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"; then
    echo "Installing the packages failed. As root: apt-get install ${missing[*]}" >&2
    exit 1
fi
