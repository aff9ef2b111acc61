#!/usr/bin/env bash
# Installs the Debian packages that building and testing Dirvane need.
# Runs `apt-get update` once and `apt-get install -y` only when something is
# missing; needs root (or sudo) only then.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libicu-dev
    googletest libgtest-dev libgmock-dev
    python3
    clang-14 libclang-rt-14-dev
    lighttpd
    chromium chromium-driver python3-selenium fonts-ipafont-gothic
    qt6-base-dev xvfb xauth
    python3-html5lib wrk time
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
