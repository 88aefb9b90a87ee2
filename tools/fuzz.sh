#!/bin/sh
# Builds the libFuzzer target (tests/fuzz: loading and saving, the SAP reader, the tags
# file reader and the length finder, picked by an input's first byte) with clang in
# build-fuzz, or ORVEX_FUZZ_BUILD, and runs it on a copy of the seed corpus for
# ORVEX_FUZZ_SECONDS seconds (default 60). Any crash, sanitizer report, leak, timeout or
# broken check fails the run; the input that caused it is kept in findings/ there.
set -eu
cd "$(dirname "$0")/.."

build=${ORVEX_FUZZ_BUILD:-build-fuzz}
seconds=${ORVEX_FUZZ_SECONDS:-60}
mkdir -p "$build"
log="$build/fuzz-build.log"

if ! {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DORVEX_GUI=OFF -DORVEX_FUZZ=ON &&
    cmake --build "$build" -j2 --target orvex_fuzz_convert
} >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz: the build failed (whole log: $log)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvex-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
cp -R tests/fuzz/corpus "$work/corpus"
mkdir "$work/artifacts" "$work/tmp"

status=0
TMPDIR="$work/tmp" \
ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
UBSAN_OPTIONS="print_stacktrace=1" \
"$build/bin/orvex_fuzz_convert" "$work/corpus" \
    -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
    >"$work/fuzz.out" 2>&1 || status=$?

findings=$(find "$work/artifacts" -type f | wc -l)
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
    rm -rf "$build/findings"
    cp -R "$work/artifacts" "$build/findings"
    cp "$work/fuzz.out" "$build/findings/fuzz.out"
    tail -n 80 "$work/fuzz.out" >&2
    echo "fuzz: FAILED (exit status $status, $findings finding(s) kept in $build/findings)" >&2
    exit 1
fi

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.out" | tail -n 1)
inputs=$(find "$work/corpus" -type f | wc -l)
echo "Fuzzing: ${runs:-?} inputs run in ${seconds} s, corpus grew to $inputs, no findings."
