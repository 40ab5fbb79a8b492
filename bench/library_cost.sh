#!/usr/bin/env bash
# What each system library costs a process under this host's Wine: resident
# memory (working set) after loading it, in each architecture the host runs,
# in a fresh prefix with a private Xvfb.
#
# Two tables per architecture:
#   alone:   each library loaded by itself into a process that imports only
#            kernel32 and the C runtime (the cost includes what it pulls in);
#   in turn: the libraries the installer can use, loaded one after another
#            in the order a run meets them (the cost is what each adds).
#
# usage: bench/library_cost.sh
# env:   ARCHS (default: what the host runs, "x86 x64" or "x64")
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench
# shellcheck source=../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
read -r -a archs <<< "${ARCHS:-$LUMISET_WINE_ARCHS}"
[ ${#archs[@]} -gt 0 ] || { echo "library_cost: Wine does not run on this host" >&2; exit 1; }
declare -A compiler=([x86]=i686-w64-mingw32-g++ [x64]=x86_64-w64-mingw32-g++)

mkdir -p "$out"
for arch in "${archs[@]}"; do
  "${compiler[$arch]}" -O2 -static -mwindows -std=c++20 "$root/bench/library_cost_win.cpp" \
    -o "$out/library_cost_$arch.exe"
done

prefix=""
cleanup() {
  lumiset_wine_remove_prefix "$prefix"
  lumiset_stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM

prefix=$(lumiset_wine_fresh_prefix)
lumiset_start_xvfb
export WINEPREFIX=$prefix
wineserver -p
bench=$prefix/drive_c/bench
mkdir -p "$bench"

# run ARCH STEP...: the program's output lines, "NAME KIB".
run() {
  local arch=$1
  shift
  cp "$out/library_cost_$arch.exe" "$bench/"
  rm -f "$bench/out.txt"
  wine "C:\\bench\\library_cost_$arch.exe" 'C:\bench\out.txt' "$@" ||
    echo "library_cost: $arch: a step failed: $*" >&2
  cat "$bench/out.txt"
}

# Each alone: a library, or a library with the step it exists for.
alone=(user32.dll gdi32.dll advapi32.dll "comctl32.dll +controls" "ole32.dll +com" shell32.dll
       riched32.dll uxtheme.dll)
# In turn: what the installer's quiet run needs first (the registry, a hidden
# frame window), then what the pages, the links and the help add.
in_turn=(advapi32.dll user32.dll gdi32.dll +window comctl32.dll +controls ole32.dll +com
         shell32.dll uxtheme.dll riched32.dll)

for arch in "${archs[@]}"; do
  run "$arch" >/dev/null  # the prefix's first start of this architecture does more
  echo
  echo "$arch: each library alone (KiB added to a process of $(run "$arch" | awk '{print $2}') KiB)"
  for entry in "${alone[@]}"; do
    read -r -a steps <<< "$entry"
    run "$arch" "${steps[@]}" | awk -v name="$entry" \
      'NR == 1 {start = $2} END {printf "  %-24s %7d\n", name, $2 - start}'
  done
  echo "$arch: in turn (KiB each step adds; resident after it)"
  run "$arch" "${in_turn[@]}" | awk \
    'NR == 1 {prev = $2; printf "  %-24s %7s %8d\n", "start", "", $2; next}
     {printf "  %-24s %7d %8d\n", $1, $2 - prev, $2; prev = $2}'
done
