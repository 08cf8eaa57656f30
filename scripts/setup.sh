#!/bin/sh
# Sets up a fresh Debian 12 machine: packages, configure, build, install.
set -eu
cd "$(dirname "$0")/.."

packages="cmake g++ pkg-config
  qt6-base-dev qt6-image-formats-plugins libsdl2-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  ffmpeg libavcodec-extra fonts-dejavu-core
  xvfb xauth imagemagick x11-apps xdotool
  pulseaudio pulseaudio-utils
  pipewire wireplumber pipewire-pulse dbus-daemon dbus-bin at-spi2-core
  fuse3 libfuse3-dev"

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

as_root apt-get update -q
# shellcheck disable=SC2086
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $packages

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
as_root cmake --install build
