#!/usr/bin/env bash
# order-symbols.sh: writes cgi/hot-symbols.txt, the functions and data that
# a Dirvane request touches. The build hands the list to lld, which places
# them together: every request is a new process, and each page of the
# program it touches is mapped on first use.
#
# Usage: scripts/order-symbols.sh [build-dir]      (default: build)
#
# Traces build-dir/bin/Dirvane under valgrind (callgrind for the functions,
# lackey for the data) on two requests: a generated folder of 100 entries
# with the default settings, and the example folder with its Dirvane.ini.
# Run it after changing what a request calls, then rebuild and commit the
# list. A stale list costs only speed: names it lacks are placed as usual.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$repo/build}" && pwd)"
command -v valgrind >/dev/null || { echo "order-symbols.sh: valgrind is required" >&2; exit 2; }
[[ -x "$build/bin/Dirvane" ]] || { echo "order-symbols.sh: no $build/bin/Dirvane" >&2; exit 2; }

tmp="$(mktemp -d "${TMPDIR:-/tmp}/dirvane-order.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

# Dirvane reads the Dirvane.ini beside its own path: one program folder per
# request.
mkdir -p "$tmp/defaults" "$tmp/example"
cp "$build/bin/Dirvane" "$tmp/defaults/Dirvane"
cp "$build/bin/Dirvane" "$tmp/example/Dirvane"
cp "$repo/example/Dirvane.ini" "$tmp/example/Dirvane.ini"
python3 "$repo/bench/gen_tree.py" "$tmp/d100" 100 >/dev/null

trace() { # trace NAME PROGRAM FOLDER
    local name="$1" program="$2" folder="$3"
    (
        cd "$folder"
        export SERVER_NAME=localhost REMOTE_ADDR=127.0.0.1 HTTP_USER_AGENT=Mozilla/5.0
        export SCRIPT_NAME="/$(basename "$folder")/config.index"
        valgrind -q --tool=callgrind --demangle=no --callgrind-out-file="$tmp/$name.callgrind" \
            "$program" "$folder/config.index" >/dev/null
        valgrind -q --tool=lackey --trace-mem=yes --log-file="$tmp/$name.lackey" \
            "$program" "$folder/config.index" >/dev/null
    )
}
trace defaults "$tmp/defaults/Dirvane" "$tmp/d100"
trace example "$tmp/example/Dirvane" "$repo/example"

python3 "$repo/scripts/hot_symbols.py" "$build/bin/Dirvane" \
    --callgrind "$tmp"/*.callgrind --lackey "$tmp"/*.lackey >"$repo/cgi/hot-symbols.txt"
echo "order-symbols.sh: $(wc -l <"$repo/cgi/hot-symbols.txt") symbols in cgi/hot-symbols.txt"
