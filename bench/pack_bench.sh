#!/usr/bin/env bash
# Packing time and size of lumipack against makensis (zlib) and gzip -9 on
# the same payloads, in one run. Each figure is the median of RUNS runs; the
# ratios compare lumipack with makensis's time and with one zlib -9 stream's
# time and size (Python's zlib module: the same library, single-threaded).
#
# usage: bench/pack_bench.sh [SIZE_MB...]      (default: 8 64 256)
# env:   RUNS (default 3), SEED (default 1), BENCH_BUILD (default build/bench-native)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-3}
seed=${SEED:-1}
build=${BENCH_BUILD:-$root/build/bench-native}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(8 64 256)

for tool in makensis gzip python3 cmake ninja; do
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
python3 "$root/bench/make_payload.py" --stub stub.exe
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

now() { date +%s.%N; }
# Wall time of one run of a command, in seconds.
time_once() {
  local t0 t1
  t0=$(now)
  "$@" >/dev/null 2>&1 || { echo "pack_bench: $* failed" >&2; exit 1; }
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
size_of() { stat -c %s "$1"; }

pack_lumipack() {
  "$lumipack" build -o lumipack.exe --title Bench --company Bench --screensaver payload.scr \
    --stub stub.exe
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
  times_lumipack=() times_nsis=() times_gzip=() times_zlib=()
  for ((round = 0; round < runs; round++)); do
    times_lumipack+=("$(time_once pack_lumipack)")
    times_nsis+=("$(time_once pack_nsis)")
    times_gzip+=("$(time_once pack_gzip)")
    read -r t s_zlib < <(pack_zlib)
    times_zlib+=("$t")
  done
  t_lumipack=$(printf '%s\n' "${times_lumipack[@]}" | median)
  t_nsis=$(printf '%s\n' "${times_nsis[@]}" | median)
  t_gzip=$(printf '%s\n' "${times_gzip[@]}" | median)
  t_zlib=$(printf '%s\n' "${times_zlib[@]}" | median)

  block=$("$lumipack" inspect --json lumipack.exe |
    python3 -c 'import json, sys; print(json.load(sys.stdin)["record"]["fields"]["screensaver_block_length"])')
  s_lumipack=$((block - 8))  # the zlib stream inside the block
  s_nsis=$(size_of nsis.exe)
  s_gzip=$(size_of payload.gz)
  rows+=("$mb $t_lumipack $s_lumipack $t_nsis $s_nsis $t_gzip $s_gzip $t_zlib $s_zlib")
done

echo
echo "cores: $(nproc), runs per figure: $runs (median), payload seed: $seed"
printf '%-6s | %-20s | %-20s | %-20s | %-20s | %-9s %-9s %-9s\n' \
  "MiB" "lumipack s / bytes" "makensis s / bytes" "gzip -9 s / bytes" "zlib -9 s / bytes" \
  "t/nsis" "t/zlib" "size/zlib"
for row in "${rows[@]}"; do
  read -r mb tl sl tn sn tg sg tz sz <<< "$row"
  awk -v mb="$mb" -v tl="$tl" -v sl="$sl" -v tn="$tn" -v sn="$sn" -v tg="$tg" -v sg="$sg" \
      -v tz="$tz" -v sz="$sz" 'BEGIN {
    printf "%-6s | %7.2f %12d | %7.2f %12d | %7.2f %12d | %7.2f %12d | %-9.3f %-9.3f %+.3f%%\n",
      mb, tl, sl, tn, sn, tg, sg, tz, sz, tl / tn, tl / tz, (sl / sz - 1) * 100 }'
done
echo
echo "t/nsis: lumipack's time over makensis's; t/zlib: over one zlib -9 stream's;"
echo "size/zlib: lumipack's zlib stream against one zlib -9 stream of the same file."
