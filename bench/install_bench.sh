#!/usr/bin/env bash
# Quiet installation of a large screensaver: our installer (lumiset.exe /q)
# against a makensis installer doing the same job (/S) and a plain CopyFileA
# of the uncompressed file, in one run, under one Wine with one persistent
# wineserver in a fresh prefix and a private Xvfb.
#
# Every side runs once unmeasured, then RUNS times in turn; each figure is
# the median. Before every run all installed screensavers are deleted.
# Wall time is that of `wine PROGRAM` from start to exit; peak RSS is the
# high-water RSS of the Windows process itself, as bench/measure_process.py
# measures it (see there how, and why not /usr/bin/time). A trivial program's
# start is measured for reference. With STUB_ALT a second build of the stub
# runs as a fourth side, for comparing a change in the same run.
#
# usage: bench/install_bench.sh [SIZE_MB...]      (default: 8 64 256)
# env:   RUNS (default 3), SEED (default 1),
#        LUMIPACK (default build/native/lumipack), STUB (default build/mingw/lumiset.exe),
#        STUB_ALT (none by default),
#        BENCH_BUILD=1 to rebuild the stub, the sample and the uninstaller in
#        build/mingw first (otherwise they are used as they are)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-3}
seed=${SEED:-1}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(8 64 256)
lumipack=${LUMIPACK:-$root/build/native/lumipack}
mingw=$root/build/mingw
stub=${STUB:-$mingw/lumiset.exe}
stub_alt=${STUB_ALT:-}
sample_scr=$mingw/samples/starfield/starfield.scr
uninstaller=$mingw/tests/uidriver.exe
out=$root/build/bench

[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "install_bench: RUNS must be a positive number" >&2; exit 2; }
for tool in wine wineserver makensis Xvfb i686-w64-mingw32-g++ python3 cmake; do
  command -v "$tool" >/dev/null || { echo "install_bench: $tool is not installed" >&2; exit 1; }
done

if [ -n "${BENCH_BUILD:-}" ]; then
  cmake --build "$mingw" --target lumiset starfield uidriver >/dev/null
fi
for file in "$lumipack" "$stub" ${stub_alt:+"$stub_alt"} "$sample_scr" "$uninstaller"; do
  [ -f "$file" ] || { echo "install_bench: $file is missing (build it first)" >&2; exit 1; }
done
if [ -z "${STUB:-}" ] && [ -n "$(find "$root/src" "$root/resources" -newer "$stub" -type f -print -quit)" ]; then
  echo "install_bench: warning: $stub is older than the sources (BENCH_BUILD=1 rebuilds it)" >&2
fi

# The two helper programs: 32-bit like the installers, GUI subsystem so that
# Wine starts no console for them.
mkdir -p "$out"
for name in noop copy_file; do
  i686-w64-mingw32-g++ -O2 -static -mwindows "$root/bench/${name}_win.cpp" -o "$out/$name.exe"
done

# shellcheck source=../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/install-bench.XXXXXX")
prefix=""
cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
  fi
  lumiset_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

prefix=$(lumiset_wine_fresh_prefix)
lumiset_start_xvfb
export WINEPREFIX=$prefix
wineserver -p

drive_c=$prefix/drive_c
bench=$drive_c/bench           # C:\bench: the programs and the payload
system=$drive_c/windows/system32
mkdir -p "$bench"
cp "$out/noop.exe" "$out/copy_file.exe" "$bench/"
ours_scr=$system/oursbench.scr
nsis_scr=$system/nsisbench.scr
copy_scr=$system/copybench.scr
alt_scr=$system/altbench.scr
sides=(ours nsis copy)
[ -z "$stub_alt" ] || sides+=(alt)
# side size run wall_s peak_kib private_kib source sampled_kib; run 0 is not counted
results=$work/results

# measure SIDE SIZE RUN NAME PROGRAM ARGS...: one run, appended to results.
measure() {
  local side=$1 size=$2 run=$3 name=$4 line wall peak private rc source sampled
  shift 4
  line=$(python3 "$root/bench/measure_process.py" "$name" wine "$@")
  read -r wall peak private rc source sampled <<< "$line"
  if [ "$rc" != 0 ] || [ "$peak" = 0 ]; then
    echo "install_bench: $side ($size MiB): exit code $rc, peak RSS $peak KiB" >&2
    exit 1
  fi
  echo "$side $size $run $wall $peak $private $source $sampled" >> "$results"
}
clear_targets() { rm -f "$ours_scr" "$nsis_scr" "$copy_scr" "$alt_scr"; }
run_ours() { measure ours "$1" "$2" lumiset-bench.exe 'C:\bench\lumiset-bench.exe' /q; }
run_alt() { measure alt "$1" "$2" lumiset-alt.exe 'C:\bench\lumiset-alt.exe' /q; }
run_nsis() { measure nsis "$1" "$2" nsis-bench.exe 'C:\bench\nsis-bench.exe' /S; }
run_copy() {
  measure copy "$1" "$2" copy_file.exe 'C:\bench\copy_file.exe' 'C:\bench\payload.scr' \
    'C:\windows\Sysnative\copybench.scr'
}
check_target() {
  cmp -s "$1" "$bench/payload.scr" || { echo "install_bench: $1 differs from the payload" >&2; exit 1; }
}

: > "$results"
# The first start in a prefix does more than later ones.
for ((i = 0; i <= 5; i++)); do measure noop 0 "$i" noop.exe 'C:\bench\noop.exe'; done

for mb in "${sizes[@]}"; do
  echo "install_bench: $mb MiB: building the installers" >&2
  # The payload: the sample screensaver with the generated content behind it
  # (a PE image with an overlay is still one), so the packer takes it as is.
  python3 "$root/bench/make_payload.py" "$mb" "$work/content.bin" --seed "$seed"
  { cat "$sample_scr"; tail -c +1025 "$work/content.bin"; } > "$bench/payload.scr"
  rm -f "$work/content.bin"

  cat > "$work/lumipack.toml" <<EOF
title = "Lumiset Bench Saver"
company = "Lumiset Bench"
screensaver = "$bench/payload.scr"
file_name = "oursbench"
uninstaller = "$uninstaller"

[options]
setup_options = true
open_display_properties = false
start_menu_entry = true
desktop_icon = false
detect_existing = true
info_page = false
EOF
  "$lumipack" build "$work/lumipack.toml" --stub "$stub" -o "$bench/lumiset-bench.exe" >/dev/null
  if [ -n "$stub_alt" ]; then
    "$lumipack" build "$work/lumipack.toml" --stub "$stub_alt" --file-name altbench \
      -o "$bench/lumiset-alt.exe" >/dev/null
  fi
  makensis -V1 -DPAYLOAD="$bench/payload.scr" -DOUTFILE="$bench/nsis-bench.exe" \
    "$root/bench/install_bench.nsi" >/dev/null
  # Written out now, so that no writeback of them overlaps the runs.
  sync "$bench/payload.scr" "$bench/"*-bench.exe ${stub_alt:+"$bench/lumiset-alt.exe"}

  echo "install_bench: $mb MiB: running" >&2
  # An unmeasured first run of each side (the first installation in a
  # prefix creates keys and folders that later ones find), then RUNS in turn.
  # Every run starts with no installed copy and none of the other sides'
  # output left to write back; each side's last copy is compared with the
  # payload.
  for ((i = 0; i <= runs; i++)); do
    for side in "${sides[@]}"; do
      clear_targets
      "run_$side" "$mb" "$i"
      if ((i == runs)); then check_target "$system/${side}bench.scr"; fi
    done
  done
  clear_targets
  rm -f "$bench/payload.scr" "$bench/lumiset-bench.exe" "$bench/nsis-bench.exe" \
    "$bench/lumiset-alt.exe"
done

# Both installers did the finishing work too.
for file in "Lumiset Bench/Lumiset Bench Saver/Uninstall.exe" \
            "Lumiset Bench NSIS/NSIS Bench Saver/Uninstall.exe"; do
  [ -f "$drive_c/Program Files (x86)/$file" ] ||
    { echo "install_bench: no $file under Program Files (x86)" >&2; exit 1; }
done

python3 - "$results" "$runs" "$seed" "$(cut -d' ' -f1-3 /proc/loadavg)" "$(nproc)" <<'PY'
import statistics
import sys
from collections import defaultdict

path, runs, seed, load, cores = sys.argv[1:]
rows = defaultdict(list)
sources = set()
gap = 0.0  # how far sampling fell short of the exact peak, installers only
for line in open(path):
    side, size, run, wall, peak, private, source, sampled = line.split()
    if run == "0":
        continue
    rows[side, int(size)].append((float(wall), int(peak) / 1024, int(private) / 1024))
    sources.add(source)
    if source == "taskstats" and side in ("ours", "nsis", "alt"):
        gap = max(gap, (int(peak) - int(sampled)) / 1024)

def med(side, size, field):
    return statistics.median(r[field] for r in rows[side, size])

sizes = sorted({s for _, s in rows if s})
noop_t, noop_rss = med("noop", 0, 0), med("noop", 0, 1)
print()
print(f"cores: {cores}, load average at the end: {load}, runs per figure: {runs} (median), "
      f"payload seed: {seed}")
print(f"Wine no-op start: {noop_t:.2f} s, peak RSS {noop_rss:.1f} MiB (median of 5)")
print()
print(f"{'MiB':>5} | {'ours s':>7} {'MiB':>6} | {'NSIS s':>7} {'MiB':>6} | {'copy s':>7} | "
      f"{'ours/NSIS':>9} | {'ours peak RSS':>13} {'(private)':>9}")
for size in sizes:
    to, ro, po = (med("ours", size, f) for f in range(3))
    tn, rn = med("nsis", size, 0), med("nsis", size, 1)
    tc = med("copy", size, 0)
    print(f"{size:>5} | {to:7.2f} {ro:6.1f} | {tn:7.2f} {rn:6.1f} | {tc:7.2f} | "
          f"{to / tn:9.2f} | {ro:9.1f} MiB {po:5.1f} MiB")
if any(side == "alt" for side, _ in rows):
    print()
    print("STUB_ALT, the same installer with the other stub, in the same run:")
    print(f"{'MiB':>5} | {'alt s':>7} {'MiB':>6} | {'alt/NSIS':>9} | {'alt/ours':>9} | {'(private)':>9}")
    for size in sizes:
        ta, ra, pa = (med("alt", size, f) for f in range(3))
        print(f"{size:>5} | {ta:7.2f} {ra:6.1f} | {ta / med('nsis', size, 0):9.2f} | "
              f"{ta / med('ours', size, 0):9.2f} | {pa:5.1f} MiB")
print()
print("Times: wall time of `wine PROGRAM` to its exit, Wine's start (the no-op) included.")
if sources == {"taskstats"}:
    how = (f"from the kernel's exit statistics (taskstats; VmHWM sampled every 2 ms\n"
           f"  stayed within {gap:.1f} MiB of it for the installers)")
else:
    how = "VmHWM sampled every 2 ms (taskstats was not available for every run)"
print("Peak RSS: high-water RSS of the Windows process itself, Wine's libraries included,")
print(f"  {how}.")
print("Private: the largest RssAnon sampled (heaps, stacks, buffers).")
fails = [f"time {med('ours', s, 0) / med('nsis', s, 0):.2f} x NSIS at {s} MiB"
         for s in sizes if med("ours", s, 0) > med("nsis", s, 0)]
fails += [f"peak RSS {med('ours', s, 1):.1f} MiB at {s} MiB" for s in sizes if med("ours", s, 1) > 16]
print("Targets for ours: time <= 1.0 x NSIS and peak RSS <= 16 MiB at every size: "
      + ("met" if not fails else "missed (" + "; ".join(fails) + ")"))
PY
