#!/usr/bin/env bash
# Lumiset's one entry point for developers and CI.
#   ./dev.sh demo   set up, build, pack StarfieldSetup.exe and run it under Wine
#   ./dev.sh test   set up, build, and run every test layer through one ctest
#   ./dev.sh build  set up and build only
#   ./dev.sh dist   set up, build, and pack the author's kit into build/dist
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
  # Every Windows program in both architectures: build/mingw (x86) and
  # build/mingw64 (x64).
  local tree toolchain
  for tree in mingw:i686 mingw64:x86_64; do
    toolchain=${tree#*:} tree=${tree%%:*}
    cmake -S . -B "build/$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$toolchain.cmake" \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DLUMISET_NATIVE_BUILD_DIR="$root/build/native" >/dev/null
    cmake --build "build/$tree"
  done
  # One ctest over every tree, so one closing line reports every layer; it
  # says first which Windows architectures this host's Wine runs.
  cat >build/CTestTestfile.cmake <<CTEST
execute_process(COMMAND "$root/scripts/wine-report.sh" OUTPUT_VARIABLE report)
message(NOTICE "\${report}")
subdirs("native" "mingw" "mingw64")
CTEST
}

# The author's kit: a Release lumipack (no sanitizers) with both stubs, both
# default uninstallers, its README and the sample, as
# lumipack-VERSION-linux-x86_64.tar.gz and lumipack-VERSION-windows.zip (the
# 32-bit lumipack.exe, which runs on every Windows), with their SHA-256 sums.
dist() {
  local kit=build/kit dist=build/dist version linux windows
  CC=clang CXX=clang++ cmake -S . -B "$kit" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DLUMISET_SANITIZE=OFF -DLUMISET_FUZZ=OFF -DLUMISET_TESTS=OFF \
    -DLUMISET_KIT_X86_DIR="$root/build/mingw" -DLUMISET_KIT_X64_DIR="$root/build/mingw64" >/dev/null
  cmake --build "$kit" --target lumipack
  version=$("$kit/lumipack" --version)
  linux=lumipack-$version-linux-x86_64 windows=lumipack-$version-windows
  rm -rf "$dist" && mkdir -p "$dist"
  cmake --install "$kit" --prefix "$dist/$linux" >/dev/null
  strip "$dist/$linux/lumipack"
  cp -r "$dist/$linux" "$dist/$windows"
  rm "$dist/$windows/lumipack"
  cp build/mingw/lumipack.exe "$dist/$windows/"
  local tree
  for tree in "$linux" "$windows"; do
    (cd "$dist/$tree" && find . -type f ! -name SHA256SUMS | LC_ALL=C sort |
      xargs sha256sum >SHA256SUMS)
  done
  (cd "$dist" && tar --owner=0 --group=0 --sort=name -czf "$linux.tar.gz" "$linux" &&
    cmake -E tar cf "$windows.zip" --format=zip "$windows" &&
    sha256sum "$linux.tar.gz" "$windows.zip" >SHA256SUMS)
  rm -rf "${dist:?}/$linux" "${dist:?}/$windows"
  echo "Packed $dist/$linux.tar.gz and $dist/$windows.zip"
}

# The architecture the demo installs: x86 where the host runs it, else x64.
demo_arch() {
  bash -c 'source scripts/wine-env.sh; echo "$LUMISET_WINE_ARCHS"'
}

demo() {
  mkdir -p out
  local installer=out/StarfieldSetup.exe archs tree stub label
  archs=$(demo_arch)
  case " $archs " in
    *" x86 "*) tree=build/mingw stub=lumiset.exe label="32-bit (x86)" ;;
    *" x64 "*) tree=build/mingw64 stub=lumiset64.exe label="64-bit (x64)" ;;
    *) echo "Wine does not run on this host" >&2; exit 1 ;;
  esac
  build/native/lumipack build samples/starfield/lumipack.toml \
    --screensaver "$tree/samples/starfield/starfield.scr" \
    --stub "$tree/$stub" -o "$installer"
  echo "Packed $installer ($(stat -c %s "$installer") bytes) with the $label stub" \
    "(this host's Wine runs: $archs)"
  scripts/demo-install.sh "$installer"
}

case "${1:-}" in
  demo) setup; build; demo ;;
  test) setup; build; dist; ctest --test-dir build --output-on-failure -j2 ;;
  build) setup; build ;;
  dist) setup; build; dist ;;
  *) sed -n '2,6p' "$0" >&2; exit 2 ;;
esac
