#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Vantor needs.
# Safe to run again; uses sudo when not run as root.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

PACKAGES=(
  # toolchain and test frameworks
  build-essential cmake pkg-config googletest libgtest-dev zip clang-format
  # engine libraries
  libogre-1.12-dev ogre-1.12-tools libode-dev libois-dev liblua5.1-0-dev
  libopenal-dev libopenal1 libsndfile1-dev libcurl4-openssl-dev libx11-dev
  libfreetype-dev
  # headless display, software OpenGL, input driving, screenshots
  xvfb xauth libgl1-mesa-dri x11-utils x11-apps xdotool python3
  # fonts for overlays
  fonts-dejavu-core
)

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"
