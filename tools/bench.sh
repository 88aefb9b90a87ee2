#!/bin/sh
# Times orvex-convert against cp (one file at a time, an archive of 6000 modules) and
# prints its peak memory and temporary files for archives of up to 100000 modules.
set -eu
cd "$(dirname "$0")/.."
./tools/build.sh
cmake --build build --target orvex-bench
./build/bin/orvex-bench "${1:-1000}"
