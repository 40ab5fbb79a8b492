#!/usr/bin/env bash
# Lumiset's one entry point for developers and CI.
#   ./dev.sh demo   set up, build, pack StarfieldSetup.exe and run it under Wine
#   ./dev.sh test   set up, build, and run every test layer through one ctest
#   ./dev.sh build  set up and build only
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD

setup() {
  scripts/install-deps.sh
}

build() {
  CC=clang CXX=clang++ cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DLUMISET_FUZZ_SECONDS="${LUMISET_FUZZ_SECONDS:-60}" >/dev/null
  cmake --build build/native
  cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DLUMISET_NATIVE_BUILD_DIR="$root/build/native" >/dev/null
  cmake --build build/mingw
  # One ctest over both trees, so one closing line reports every layer.
  printf 'subdirs("native" "mingw")\n' >build/CTestTestfile.cmake
}

demo() {
  mkdir -p out
  local installer=out/StarfieldSetup.exe
  build/native/lumipack build samples/starfield/lumipack.toml \
    --screensaver build/mingw/samples/starfield/starfield.scr \
    --stub build/mingw/lumiset.exe -o "$installer"
  echo "Packed $installer ($(stat -c %s "$installer") bytes)"
  scripts/demo-install.sh "$installer"
}

case "${1:-}" in
  demo) setup; build; demo ;;
  test) setup; build; ctest --test-dir build --output-on-failure -j2 ;;
  build) setup; build ;;
  *) sed -n '2,5p' "$0" >&2; exit 2 ;;
esac
