#!/bin/sh
# Installs what is missing, builds, and runs every test headless.
set -eu
cd "$(dirname "$0")/.."
./tools/build.sh
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j2)
# Further test runs (sanitizer build, fuzzing) live in their own scripts.
for extra in tools/test-sanitizers.sh tools/fuzz.sh; do
    if [ -x "$extra" ]; then
        "./$extra"
    fi
done
echo "All tests passed."
