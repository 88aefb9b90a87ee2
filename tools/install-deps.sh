#!/bin/sh
# Installs, from Debian's packages, whatever the build, the program and its tests need
# and is not on this machine yet. Safe to run again: it only installs what is missing.
set -eu

packages="cmake ninja-build g++ make pkg-config qt6-base-dev libgl-dev cc65 libgme-dev libgtest-dev \
libxcb1-dev fonts-liberation fonts-dejavu-core clang libclang-rt-14-dev xvfb xauth x11-utils openbox imagemagick \
dpkg-dev desktop-file-utils appstream lintian ccache libicu-dev \
qt6-multimedia-dev pulseaudio pulseaudio-utils xdg-utils libfile-mimeinfo-perl \
libsndfile1-dev ffmpeg flac"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    # shellcheck disable=SC2086
    $SUDO apt-get install -y -q --no-install-recommends $missing
fi
