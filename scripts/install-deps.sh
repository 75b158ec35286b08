#!/usr/bin/env bash
# Installs every system package Noctivane needs to build, run and test.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
  qt6-tools-dev
  curl libcurl4-openssl-dev libgumbo-dev libsqlite3-dev libjpeg62-turbo-dev zlib1g-dev
  libgtest-dev libgmock-dev libcpp-httplib-dev libssl-dev
  xvfb xauth fonts-dejavu-core python3
  # The icons of files, folders and places when no desktop names an icon theme.
  adwaita-icon-theme
  # Readers of the editor tests (RTF, PDF) and the colouring benchmark's page.
  poppler-utils unrtf python3-doc
  clang libclang-rt-dev clang-format
  bash-doc
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
