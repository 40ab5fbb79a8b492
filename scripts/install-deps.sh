#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: a machine that already has them pays only for one dpkg query.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine32:i386 wine64
  xvfb xdotool imagemagick osslsigncode
  clang libclang-rt-14-dev
  libgtest-dev googletest zlib1g-dev
  libtomlplusplus-dev libcli11-dev nlohmann-json3-dev libstb-dev
  nsis
  python3 python3-pytest python3-jsonschema python3-yaml openssl icoutils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
