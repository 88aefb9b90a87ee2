#!/bin/sh
# Converts 1000 generated modules with orvex-convert and compares with copying them.
set -eu
cd "$(dirname "$0")/.."
./tools/build.sh
cmake --build build --target orvex-bench
./build/bin/orvex-bench "${1:-1000}"
