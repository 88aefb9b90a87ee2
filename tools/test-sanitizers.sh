#!/bin/sh
# Builds the engine, the converter and every test that needs no Qt with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan, unoptimised (so that the
# build is quick and the reports exact), and runs the tests.
set -eu
cd "$(dirname "$0")/.."

build=build-asan
mkdir -p "$build"
log="$build/sanitizers.log"

if ! {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVEX_GUI=OFF -DORVEX_SANITIZE=ON &&
    cmake --build "$build" -j2
} >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "sanitizers: the build failed (whole log: $log)" >&2
    exit 1
fi

# Some tests preload a library of their own into orvex-convert: the sanitizer's runtime
# then does not come first, which is fine for them. The test that limits the address
# space (ulimit -v) cannot run here: the sanitizer reserves terabytes of it for itself.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:verify_asan_link_order=0"
export UBSAN_OPTIONS="print_stacktrace=1"
if ! (cd "$build" && ctest -j2 --output-on-failure -E 'Batch\.OutOfMemory') >>"$log" 2>&1; then
    grep -E "^[0-9]+% tests passed|\(Failed\)|\(SEGFAULT\)|\(Subprocess aborted\)|\(Timeout\)|\(Exception\)" "$log" >&2 || true
    echo "sanitizers: tests FAILED (whole log: $log)" >&2
    exit 1
fi

summary=$(grep -E "^[0-9]+% tests passed" "$log" | tail -n 1)
echo "Sanitizer build (address, undefined): $summary"
