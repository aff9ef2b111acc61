#!/usr/bin/env bash
# Builds Dirvane and prints the CGI response for a folder, as the web server
# would get it for a request of /example/ (the shipped example folder unless a
# folder is named).
#
#   scripts/run-example.sh [folder]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
folder=$(cd "${1:-$repo/example}" && pwd)

cmake -S "$repo" -B "$repo/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$repo/build" --target Dirvane >&2

# Dirvane reads the common settings file beside its own path: give it the
# example's one through a program folder of its own.
site="$repo/build/example-cgi"
mkdir -p "$site"
ln -sf "$repo/build/bin/Dirvane" "$site/Dirvane"
if [ -f "$folder/Dirvane.ini" ]; then
    cp "$folder/Dirvane.ini" "$site/Dirvane.ini"
else
    cp "$repo/dist/Dirvane.ini" "$site/Dirvane.ini"
fi

cd "$folder"
env SERVER_NAME=localhost REMOTE_ADDR=127.0.0.1 \
    SCRIPT_NAME="/$(basename "$folder")/config.index" \
    HTTP_USER_AGENT="${HTTP_USER_AGENT:-Mozilla/5.0}" \
    "$site/Dirvane" "$folder/config.index"
