#!/usr/bin/env bash
# Installs the Debian packages that building and testing Dirvane need.
# Runs `apt-get update` once and `apt-get install -y` only when something is
# missing; needs root (or sudo) only then.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format
    libicu-dev
    googletest libgtest-dev libgmock-dev
    python3
    clang-14 libclang-rt-14-dev lld valgrind
    lighttpd
    chromium chromium-driver python3-selenium fonts-ipafont-gothic
    qt6-base-dev xvfb xauth x11-utils
    python3-html5lib wrk time tzdata
    mingw-w64 wine wine64 locales
    libfcgi-dev spawn-fcgi nginx apache2 caddy
    dpkg-dev fakeroot lintian qt6-translations-l10n systemd
)

# Wine takes its ANSI code page (932) from this locale.
ensure_japanese_locale() {
    if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
        return 0
    fi
    echo "Generating the locale ja_JP.UTF-8"
    local as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo "ja_JP.UTF-8 UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
    fi
    "${as_root[@]}" locale-gen
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        as_root=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${as_root[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
ensure_japanese_locale

# axe-core for the accessibility audit of tests/server/visitor_browser_test.py,
# beside the build (build/ is not part of the source).
axe_dir="$(cd "$(dirname "$0")/.." && pwd)/build/axe"
if [ ! -f "$axe_dir/node_modules/axe-core/axe.min.js" ]; then
    # Debian's npm, unless an npm (Node.js's own package brings one) is there.
    if ! command -v npm >/dev/null; then
        as_root=()
        [ "$(id -u)" -eq 0 ] || as_root=(sudo)
        DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends npm
    fi
    echo "Installing axe-core into $axe_dir"
    npm install --no-audit --no-fund --prefix "$axe_dir" axe-core@4
fi
