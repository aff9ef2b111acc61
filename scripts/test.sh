#!/usr/bin/env bash
# Installs what is missing, builds Dirvane twice (release, and with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test of
# both, then the fuzz targets, then the Windows builds (tests under Wine).
#
#   scripts/test.sh           everything, as CI runs it
#   scripts/test.sh --quick   the release build and its unit tests only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
case "${1:-}" in
    --quick) quick=1 ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

# Every tracked C++ source is formatted as .clang-format says.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
# Every relative link of the README and the manual leads to a file and a
# heading that exist.
git ls-files -z '*.md' | xargs -0 python3 scripts/check-doc-links.py

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIRVANE_WERROR=ON
cmake --build build -j "$jobs"
if [ "$quick" -eq 1 ]; then
    ctest --test-dir build --output-on-failure -j "$jobs" -L unit
    echo "Unit tests passed."
    exit 0
fi
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDIRVANE_WERROR=ON \
    -DDIRVANE_SANITIZE=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The libFuzzer targets, a bounded run each (clang 14, ASan+UBSan).
DIRVANE_FUZZ_SECONDS="${DIRVANE_FUZZ_SECONDS:-60}" scripts/fuzz.sh

# Windows: both MinGW-w64 targets; the 64-bit one tested under Wine.
scripts/windows.sh

echo "All tests passed."
