#!/usr/bin/env bash
# run.sh: time Dirvane against the system-call and process-start floors.
#
# Usage: bench/run.sh [build-dir]     (default: build)
#
# Builds the two floor programs, generates folders of 100, 10 000 and
# 100 000 entries in a temporary directory and times, interleaved, Dirvane
# listing each folder, the readdir+stat floor, `ls -l` (LC_ALL=C) and, at
# 100 entries, the process-start floor. Prints a table and the ratios
# against the targets. It is a report: exit 0 whatever the figures, non-zero
# only when something fails to build or run.
#
# DIRVANE_BIN overrides the program timed as Dirvane (a stand-in for trying
# the script); it is called like Dirvane, with the settings file path as
# argument 1 and the folder as working directory.
#
# DIRVANE_BENCH_CHARSET=UTF-8 times the UTF-8 variant: the folders hold UTF-8
# names only, and Dirvane runs as a copy in the temporary directory with a
# Dirvane.ini of its own that sets charset=UTF-8.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${1:-build}"
dirvane="${DIRVANE_BIN:-$build/bin/Dirvane}"

if [[ ! -x "$dirvane" ]]; then
    echo "run.sh: no executable at $dirvane (build Dirvane first)" >&2
    exit 2
fi
dirvane="$(cd "$(dirname "$dirvane")" && pwd)/$(basename "$dirvane")"
command -v python3 >/dev/null || { echo "run.sh: python3 is required" >&2; exit 2; }
command -v cc >/dev/null || { echo "run.sh: cc is required" >&2; exit 2; }
ls_bin="$(command -v ls)"

tmp="$(mktemp -d "${TMPDIR:-/tmp}/dirvane-bench.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

echo "Building the floors in $tmp"
cc -O2 -o "$tmp/floor_readdir_stat" "$here/floor_readdir_stat.c"
cc -O2 -static -o "$tmp/floor_start" "$here/floor_start.c"

sizes=(100 10000 100000)
runs=(200 20 7)
specs=()
for i in "${!sizes[@]}"; do
    n="${sizes[$i]}"
    echo "Generating a folder of $n entries"
    python3 "$here/gen_tree.py" "$tmp/d$n" "$n"
    specs+=("$n=$tmp/d$n:${runs[$i]}")
done

charset="${DIRVANE_BENCH_CHARSET:-}"
if [[ "${charset,,}" == "utf-8" ]]; then
    mkdir "$tmp/bin"
    cp "$dirvane" "$tmp/bin/"
    dirvane="$tmp/bin/$(basename "$dirvane")"
    case "$(basename "$dirvane")" in
        ?*.?*) printf '[index]\ncharset=UTF-8\n' >"${dirvane%.*}.ini" ;;
        *) printf '[index]\ncharset=UTF-8\n' >"$dirvane.ini" ;;
    esac
fi

echo
echo "Dirvane:      $dirvane"
case "$(basename "$dirvane")" in
    ?*.?*) ini="${dirvane%.*}.ini" ;;
    *) ini="$dirvane.ini" ;;
esac
if [[ -e "$ini" ]]; then
    echo "Settings:     $ini"
else
    echo "Settings:     none ($(basename "$ini") absent: defaults)"
fi
echo "Machine:      $(nproc) cores, $(uname -sr)"
echo "Timer:        python3 posix_spawn loop, interleaved round-robin"
echo

python3 "$here/timing.py" --dirvane "$dirvane" --stat "$tmp/floor_readdir_stat" \
    --start "$tmp/floor_start" --ls "$ls_bin" "${specs[@]}"
