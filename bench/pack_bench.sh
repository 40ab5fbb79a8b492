#!/usr/bin/env bash
# Packing time, peak memory and size of lumipack against makensis (zlib) and
# gzip -9 on the same payloads, in one run. Each figure is the median of RUNS
# runs; the ratios compare lumipack with makensis's time and peak memory and
# with one zlib -9 stream's time and size (Python's zlib module: the same
# library, single-threaded). The stub is the x86 one of the Windows tree
# (build/mingw, or LUMISET_STUB).
#
# usage: bench/pack_bench.sh [SIZE_MB...]      (default: 8 64 256)
# env:   RUNS (default 3), SEED (default 1), BENCH_BUILD (default build/bench-native)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-3}
seed=${SEED:-1}
build=$(realpath -m "${BENCH_BUILD:-$root/build/bench-native}")
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(8 64 256)

stub=${LUMISET_STUB:-$root/build/mingw/lumiset.exe}
[ -f "$stub" ] || { echo "pack_bench: no stub at $stub (./dev.sh build makes it)" >&2; exit 1; }
for tool in makensis gzip python3 cmake ninja /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "pack_bench: $tool is not installed" >&2; exit 1; }
done

# lumipack in Release, without the sanitizers the test build uses; clang, as
# for the native tests.
CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMISET_SANITIZE=OFF -DLUMISET_FUZZ=OFF >/dev/null
cmake --build "$build" --target lumipack >/dev/null
lumipack=$build/lumipack

work=$(mktemp -d "${TMPDIR:-/tmp}/pack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$stub" stub.exe
# Its default uninstaller beside it, as in the kit.
uninstaller=$(dirname "$stub")/lumiset-uninstall.exe
[ ! -f "$uninstaller" ] || cp "$uninstaller" lumiset-uninstall.exe
cat > bench.nsi <<'NSI'
Unicode true
SetCompressor zlib
RequestExecutionLevel user
OutFile "nsis.exe"
InstallDir "$TEMP\lumipack-bench"
Section
  SetOutPath "$INSTDIR"
  File "payload.scr"
SectionEnd
NSI

# Wall time in seconds and peak resident memory in KiB of one run of a
# function of this script, as "SECONDS KIB" (the peak of the process that
# uses the most, the tool, not the shell that starts it).
time_once() {
  /usr/bin/time -f '%e %M' -o measure.txt \
    bash -c "lumipack=$lumipack; $(declare -f "$1"); $1" >/dev/null 2>&1 ||
    { echo "pack_bench: $1 failed" >&2; exit 1; }
  cat measure.txt
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
size_of() { stat -c %s "$1"; }

pack_lumipack() {
  "$lumipack" build -o lumipack.exe --title Bench --company Bench --screensaver payload.scr \
    --stub stub.exe --no-progress
}
pack_nsis() { makensis -V1 bench.nsi; }
pack_gzip() { gzip -9 -n -c payload.scr > payload.gz; }
# One zlib -9 stream in this process: prints the compression time alone,
# without the interpreter's start or the file's reading, and the size.
pack_zlib() {
  python3 - <<'PY'
import time, zlib
data = open("payload.scr", "rb").read()
t0 = time.perf_counter()
size = len(zlib.compress(data, 9))
print("%.3f %d" % (time.perf_counter() - t0, size))
PY
}

rows=()
for mb in "${sizes[@]}"; do
  python3 "$root/bench/make_payload.py" "$mb" payload.scr --seed "$seed"
  # The tools take turns within each round, so load from elsewhere on the
  # machine falls on all of them alike.
  times_lumipack=() times_nsis=() times_gzip=() times_zlib=() rss_lumipack=() rss_nsis=()
  for ((round = 0; round < runs; round++)); do
    read -r t m < <(time_once pack_lumipack)
    times_lumipack+=("$t") rss_lumipack+=("$m")
    read -r t m < <(time_once pack_nsis)
    times_nsis+=("$t") rss_nsis+=("$m")
    read -r t m < <(time_once pack_gzip)
    times_gzip+=("$t")
    read -r t s_zlib < <(pack_zlib)
    times_zlib+=("$t")
  done
  t_lumipack=$(printf '%s\n' "${times_lumipack[@]}" | median)
  t_nsis=$(printf '%s\n' "${times_nsis[@]}" | median)
  t_gzip=$(printf '%s\n' "${times_gzip[@]}" | median)
  t_zlib=$(printf '%s\n' "${times_zlib[@]}" | median)
  m_lumipack=$(printf '%s\n' "${rss_lumipack[@]}" | median)
  m_nsis=$(printf '%s\n' "${rss_nsis[@]}" | median)

  block=$("$lumipack" inspect --json lumipack.exe |
    python3 -c 'import json, sys; print(json.load(sys.stdin)["record"]["fields"]["screensaver_block_length"])')
  s_lumipack=$((block - 8))  # the zlib stream inside the block
  s_nsis=$(size_of nsis.exe)
  s_gzip=$(size_of payload.gz)
  rows+=("$mb $t_lumipack $s_lumipack $t_nsis $s_nsis $t_gzip $s_gzip $t_zlib $s_zlib $m_lumipack $m_nsis")
done

echo
echo "cores: $(nproc), runs per figure: $runs (median), payload seed: $seed"
printf '%-5s | %-26s | %-26s | %-19s | %-19s | %-7s %-7s %-7s %-9s\n' \
  "MiB" "lumipack s / MiB RSS / B" "makensis s / MiB RSS / B" "gzip -9 s / bytes" \
  "zlib -9 s / bytes" "t/nsis" "t/zlib" "rss/nsis" "size/zlib"
for row in "${rows[@]}"; do
  read -r mb tl sl tn sn tg sg tz sz ml mn <<< "$row"
  awk -v mb="$mb" -v tl="$tl" -v sl="$sl" -v tn="$tn" -v sn="$sn" -v tg="$tg" -v sg="$sg" \
      -v tz="$tz" -v sz="$sz" -v ml="$ml" -v mn="$mn" 'BEGIN {
    printf "%-5s | %6.2f %5.0f %13d | %6.2f %5.0f %13d | %6.2f %12d | %6.2f %12d | %-7.3f %-7.3f %-8.3f %.4f\n",
      mb, tl, ml / 1024, sl, tn, mn / 1024, sn, tg, sg, tz, sz, tl / tn, tl / tz, ml / mn, sl / sz }'
done
echo
echo "t/nsis: lumipack's time over makensis's; t/zlib: over one zlib -9 stream's;"
echo "rss/nsis: lumipack's peak resident memory over makensis's;"
echo "size/zlib: lumipack's zlib stream over one zlib -9 stream of the same file."
