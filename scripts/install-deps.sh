#!/usr/bin/env bash
# Installs the Debian packages the build, the programs and the tests need,
# only those that are missing. Safe to run again and again.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6webenginecore6-bin libqt6opengl6-dev qt6-qpa-plugins
  libcurl4-openssl-dev libssl-dev libminizip-dev zlib1g-dev
  libopencc-dev opencc libespeak-ng-dev espeak-ng espeak-ng-data libpcre2-dev
  libgtest-dev libgmock-dev libcpp-httplib-dev libbenchmark-dev
  fonts-arphic-uming fontconfig
  xvfb xauth openbox
  librsvg2-bin desktop-file-utils appstream lintian dpkg-dev
  epubcheck
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
