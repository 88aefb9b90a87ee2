#!/bin/sh
# Installs what is missing, builds, and starts the program in its own folder, where it
# finds the about box's pictures.
set -eu
cd "$(dirname "$0")/.."
./tools/build.sh
cd build/bin
exec ./orvex
