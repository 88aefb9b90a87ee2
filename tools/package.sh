#!/bin/sh
# Installs what is missing, builds in Release and makes the Debian package
# orvex_<version>_<arch>.deb with CPack; prints the package's path last.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release
(cd build-release && cpack >/dev/null)
ls "$PWD"/build-release/orvex_*.deb
