#!/bin/sh
# Installs what building and testing need on Debian 12 (as root, or through sudo).
set -eu
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  libgtest-dev libgmock-dev googletest libbenchmark-dev \
  clang libclang-rt-14-dev \
  g++-mingw-w64-x86-64-posix mingw-w64-tools \
  wine wine64 xvfb xauth imagemagick fonts-wqy-microhei socat \
  python3 python3-pytest locales
# Wine takes the Chinese locale from LANG/LC_ALL; the C library must know it
# too, or command-line arguments lose their Chinese characters.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  $SUDO locale-gen
fi
