#!/bin/sh
# Times orvex-convert against cp (one file at a time, an archive of 6000 modules) and
# prints its peak memory and temporary files for archives of up to 100000 modules.
# `tools/bench.sh audio [COUNT]` prints the figures of the audio files instead.
set -eu
cd "$(dirname "$0")/.."
./tools/build.sh
if [ "${1:-}" = audio ]; then
    cmake --build build --target orvex-audio-bench
    exec ./build/bin/orvex-audio-bench "${2:-6000}"
fi
cmake --build build --target orvex-bench
./build/bin/orvex-bench "${1:-1000}"
