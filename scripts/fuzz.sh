#!/usr/bin/env bash
# Builds the libFuzzer targets with clang 14 under AddressSanitizer and
# UndefinedBehaviorSanitizer (build dir build-fuzz, or DIRVANE_FUZZ_BUILD) and
# runs each one for DIRVANE_FUZZ_SECONDS seconds (default 60) on a copy of its
# seed corpus in fuzz/corpus/<target>. Exits non-zero when any target reports a finding; the
# crashing input is left in build-fuzz/findings/<target>/.
#   DIRVANE_FUZZ_SECONDS=600 scripts/fuzz.sh           # longer runs
#   DIRVANE_FUZZ_TARGETS="fuzz_ini" scripts/fuzz.sh    # some targets only
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${DIRVANE_FUZZ_BUILD:-$root/build-fuzz}
seconds=${DIRVANE_FUZZ_SECONDS:-60}
# Seven targets: the whole run takes about seven times DIRVANE_FUZZ_SECONDS
# plus the build. fuzz_page lists a folder it makes under the temporary folder.
targets=${DIRVANE_FUZZ_TARGETS:-"fuzz_ini fuzz_number fuzz_url_html fuzz_compare fuzz_row fuzz_log_path fuzz_page"}

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRVANE_FUZZ=ON -DDIRVANE_TESTS=OFF \
    -DDIRVANE_WERROR=ON >/dev/null
ninja -C "$build" -j2 $targets

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in $targets; do
    seeds="$root/fuzz/corpus/$target"
    work="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$work" "$findings"
    # The seeds (and kept regression inputs) run first, then the fuzzer grows
    # its own corpus in the build dir.
    echo "== $target: ${seconds}s"
    if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=70000 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$work" "$seeds" >"$build/$target.log" 2>&1; then
        tail -n 40 "$build/$target.log"
        failed+=("$target")
        continue
    fi
    grep -E "stat::number_of_executed_units|cov:" "$build/$target.log" | tail -n 2 || true
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz findings in: ${failed[*]} (inputs in $build/findings)" >&2
    exit 1
fi
echo "fuzz: all targets ran ${seconds}s without a finding"
