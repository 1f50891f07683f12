#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the program need.
# Idempotent and silent: `apt-get update` runs once, and only when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang clang-format
  # the program's skin archive and icon are made at build time from SVG sources
  python3 librsvg2-bin
  # libraries the program links
  libcurl4-openssl-dev libssl-dev libjsoncpp-dev zlib1g-dev libstb-dev libpugixml-dev
  libcairo2-dev libpango1.0-dev libx11-dev libxext-dev
  # synthetic X input (XTest) for the test and the demo that drive the window on an X server
  libxtst-dev
  # the web browser object's engine, run in the helper program xjwebhelper
  libwebkit2gtk-4.1-dev
  # the 7z library the patch worker carries and loads (its tests build archives with 7z)
  p7zip-full
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  nginx-light openssl xvfb x11-apps libxtst-dev zip unzip iproute2 util-linux procps
  # the pinned UI font (Chinese and Latin)
  fonts-wqy-microhei fontconfig
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
