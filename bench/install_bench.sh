#!/usr/bin/env bash
# Quiet installation of a large screensaver: our installer (/q), in each
# architecture this host's Wine runs (lumiset.exe, x86; lumiset64.exe, x64),
# against a makensis installer doing the same job (/S; a 32-bit program, so
# only where the host runs those) and a plain CopyFileA of the uncompressed
# file, in one run, under one Wine with one persistent wineserver in a fresh
# prefix and a private Xvfb.
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
#        ARCHS (default: what the host runs, "x86 x64" or "x64"),
#        LUMIPACK (default build/native/lumipack),
#        STUB (replaces the x86 stub, default build/mingw/lumiset.exe),
#        STUB64 (replaces the x64 stub, default build/mingw64/lumiset64.exe),
#        STUB_ALT (none by default; either architecture),
#        BENCH_BUILD=1 to rebuild the stubs, the samples and the uninstallers
#        in build/mingw and build/mingw64 first (otherwise they are used as
#        they are)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-3}
seed=${SEED:-1}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(8 64 256)
lumipack=${LUMIPACK:-$root/build/native/lumipack}
stub_alt=${STUB_ALT:-}
out=$root/build/bench
# shellcheck source=../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
read -r -a archs <<< "${ARCHS:-$LUMISET_WINE_ARCHS}"
[ ${#archs[@]} -gt 0 ] || { echo "install_bench: Wine does not run on this host" >&2; exit 1; }
declare -A tree=([x86]=$root/build/mingw [x64]=$root/build/mingw64)
declare -A stub=([x86]=${STUB:-${tree[x86]}/lumiset.exe} [x64]=${STUB64:-${tree[x64]}/lumiset64.exe})
for arch in "${archs[@]}"; do
  why=$(lumiset_wine_runs "$arch") || { echo "install_bench: no $arch here: $why" >&2; exit 1; }
done
# The helpers, the payload's base and the stand-in uninstaller come from the
# first architecture; NSIS needs a host that runs 32-bit programs.
base=${archs[0]}
sample_scr=${tree[$base]}/samples/starfield/starfield.scr
uninstaller=${tree[$base]}/tests/uidriver.exe
with_nsis=""
nsis_why=$(lumiset_wine_runs x86) && with_nsis=1

[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "install_bench: RUNS must be a positive number" >&2; exit 2; }
declare -A compiler=([x86]=i686-w64-mingw32-g++ [x64]=x86_64-w64-mingw32-g++)
for tool in wineserver ${with_nsis:+makensis} Xvfb "${compiler[$base]}" python3 cmake; do
  command -v "$tool" >/dev/null || { echo "install_bench: $tool is not installed" >&2; exit 1; }
done

if [ -n "${BENCH_BUILD:-}" ]; then
  for arch in "${archs[@]}"; do
    cmake --build "${tree[$arch]}" --target lumiset starfield uidriver >/dev/null
  done
fi
for file in "$lumipack" "${archs[@]/#/stub:}" ${stub_alt:+"$stub_alt"} "$sample_scr" "$uninstaller"; do
  case "$file" in stub:*) file=${stub[${file#stub:}]} ;; esac
  [ -f "$file" ] || { echo "install_bench: $file is missing (build it first)" >&2; exit 1; }
done
for arch in "${archs[@]}"; do
  if [ -n "$(find "$root/src" "$root/resources" -newer "${stub[$arch]}" -type f -print -quit)" ]; then
    echo "install_bench: warning: ${stub[$arch]} is older than the sources (BENCH_BUILD=1 rebuilds it)" >&2
  fi
done

# The two helper programs, GUI subsystem so that Wine starts no console for
# them.
mkdir -p "$out"
for name in noop copy_file; do
  "${compiler[$base]}" -O2 -static -mwindows "$root/bench/${name}_win.cpp" -o "$out/$name.exe"
done
# A no-op of each architecture: a 64-bit program starts through Wine's other
# loader, at its own cost.
for arch in "${archs[@]}"; do
  "${compiler[$arch]}" -O2 -static -mwindows "$root/bench/noop_win.cpp" -o "$out/noop-$arch.exe"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/install-bench.XXXXXX")
prefix=""
cleanup() {
  lumiset_wine_remove_prefix "$prefix"
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
cp "$out/noop.exe" "$out/copy_file.exe" "$out/noop-"*.exe "$bench/"
# A side's installed file is $system/${side}bench.scr.
sides=("${archs[@]/#/ours}")
[ -z "$with_nsis" ] || sides+=(nsis)
sides+=(copy)
[ -z "$stub_alt" ] || sides+=(alt)
# The system folder as a program of the base architecture names it.
system_name='C:\windows\System32'
[ "$base" = x86 ] && system_name='C:\windows\Sysnative'
# side size run wall_s peak_kib private_kib source sampled_kib; run 0 is not counted
results=$work/results

# The loader each architecture's programs run under. Debian's wine starts a
# 64-bit program as a new process from its 32-bit loader, which waits for
# it: the process measured would be that waiting loader (as much memory as a
# 64-bit no-op, whatever the program does). Wine's 64-bit loader runs the
# program in the process it starts.
declare -A loader=([x86]=$LUMISET_WINE [x64]=$LUMISET_WINE)
[ -x /usr/lib/wine/wine64 ] && loader[x64]=/usr/lib/wine/wine64
# measure SIDE SIZE RUN NAME PROGRAM ARGS...: one run, appended to results.
measure() {
  local side=$1 size=$2 run=$3 name=$4 line wall peak private rc source sampled
  local wine=${loader[x86]}
  [[ $side == *x64 ]] && wine=${loader[x64]}
  shift 4
  line=$(python3 "$root/bench/measure_process.py" "$name" "$wine" "$@")
  read -r wall peak private rc source sampled <<< "$line"
  if [ "$rc" != 0 ] || [ "$peak" = 0 ]; then
    echo "install_bench: $side ($size MiB): exit code $rc, peak RSS $peak KiB" >&2
    exit 1
  fi
  echo "$side $size $run $wall $peak $private $source $sampled" >> "$results"
}
clear_targets() { local side; for side in "${sides[@]}"; do rm -f "$system/${side}bench.scr"; done; }
run_oursx86() { measure oursx86 "$1" "$2" lumiset-x86.exe 'C:\bench\lumiset-x86.exe' /q; }
run_oursx64() { measure oursx64 "$1" "$2" lumiset-x64.exe 'C:\bench\lumiset-x64.exe' /q; }
run_alt() { measure alt "$1" "$2" lumiset-alt.exe 'C:\bench\lumiset-alt.exe' /q; }
run_nsis() { measure nsis "$1" "$2" nsis-bench.exe 'C:\bench\nsis-bench.exe' /S; }
run_copy() {
  measure copy "$1" "$2" copy_file.exe 'C:\bench\copy_file.exe' 'C:\bench\payload.scr' \
    "$system_name\\copybench.scr"
}
check_target() {
  cmp -s "$1" "$bench/payload.scr" || { echo "install_bench: $1 differs from the payload" >&2; exit 1; }
}

: > "$results"
# The first start in a prefix does more than later ones.
for ((i = 0; i <= 5; i++)); do
  for arch in "${archs[@]}"; do
    measure "noop$arch" 0 "$i" "noop-$arch.exe" "C:\\bench\\noop-$arch.exe"
  done
done

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
uninstaller = "$uninstaller"

[options]
setup_options = true
open_display_properties = false
start_menu_entry = true
desktop_icon = false
detect_existing = true
info_page = false
EOF
  for arch in "${archs[@]}"; do
    "$lumipack" build "$work/lumipack.toml" --stub "${stub[$arch]}" --file-name "ours${arch}bench" \
      -o "$bench/lumiset-$arch.exe" >/dev/null
  done
  if [ -n "$stub_alt" ]; then
    "$lumipack" build "$work/lumipack.toml" --stub "$stub_alt" --file-name altbench \
      -o "$bench/lumiset-alt.exe" >/dev/null
  fi
  if [ -n "$with_nsis" ]; then
    makensis -V1 -DPAYLOAD="$bench/payload.scr" -DOUTFILE="$bench/nsis-bench.exe" \
      "$root/bench/install_bench.nsi" >/dev/null
  fi
  # Written out now, so that no writeback of them overlaps the runs.
  sync "$bench/payload.scr" "$bench/"*.exe

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
  # At the first size, one more run of each of ours with its log, for the
  # timeline of where the time goes.
  if [ "$mb" = "${sizes[0]}" ]; then
    for arch in "${archs[@]}"; do
      clear_targets
      started=$(date +%s.%N)
      "${loader[$arch]}" "C:\\bench\\lumiset-$arch.exe" /q "/log=C:\\bench\\timeline-$arch.log" \
        >/dev/null 2>&1
      ended=$(date +%s.%N)
      cp "$bench/timeline-$arch.log" "$work/timeline-$arch.log"
      echo "$arch $mb $started $ended" >> "$work/timelines"
    done
  fi
  clear_targets
  rm -f "$bench/payload.scr" "$bench/lumiset-"*.exe "$bench/nsis-bench.exe" "$bench/timeline-"*.log
done

# Every installer did the finishing work too: the 32-bit ones under the
# 32-bit Program Files, the 64-bit one under the native one.
finished=()
for arch in "${archs[@]}"; do
  folder="Program Files (x86)"
  [ "$arch" = x64 ] && folder="Program Files"
  finished+=("$folder/Lumiset Bench/Lumiset Bench Saver/Uninstall.exe")
done
[ -z "$with_nsis" ] || finished+=("Program Files (x86)/Lumiset Bench NSIS/NSIS Bench Saver/Uninstall.exe")
for file in "${finished[@]}"; do
  [ -f "$drive_c/$file" ] || { echo "install_bench: no C:/$file" >&2; exit 1; }
done

python3 - "$results" "$runs" "$seed" "$(cut -d' ' -f1-3 /proc/loadavg)" "$(nproc)" \
  "${nsis_why:-}" "${archs[@]}" <<'PY'
import statistics
import sys
from collections import defaultdict

path, runs, seed, load, cores, nsis_why, *archs = sys.argv[1:]
rows = defaultdict(list)
sources = set()
gap = 0.0  # how far sampling fell short of the exact peak, installers only
for line in open(path):
    side, size, run, wall, peak, private, source, sampled = line.split()
    if run == "0":
        continue
    rows[side, int(size)].append((float(wall), int(peak) / 1024, int(private) / 1024))
    sources.add(source)
    if source == "taskstats" and not side.startswith("noop") and side != "copy":
        gap = max(gap, (int(peak) - int(sampled)) / 1024)

def med(side, size, field):
    return statistics.median(r[field] for r in rows[side, size])

sizes = sorted({s for _, s in rows if s})
print()
print(f"cores: {cores}, load average at the end: {load}, runs per figure: {runs} (median), "
      f"payload seed: {seed}")
for arch in archs:
    print(f"Wine no-op start, {arch}: {med('noop' + arch, 0, 0):.2f} s, "
          f"peak RSS {med('noop' + arch, 0, 1):.1f} MiB (median of 5)")
print()
nsis = any(side == "nsis" for side, _ in rows)
print(f"{'MiB':>5} {'arch':>4} | {'ours s':>7} {'MiB':>6} | {'NSIS s':>7} {'MiB':>6} | "
      f"{'copy s':>7} | {'ours/NSIS':>9} | {'ours peak RSS':>13} {'(private)':>9}")
for size in sizes:
    tc = med("copy", size, 0)
    for arch in archs:
        to, ro, po = (med("ours" + arch, size, f) for f in range(3))
        if nsis:
            tn, rn = med("nsis", size, 0), med("nsis", size, 1)
            nsis_cells, ratio = f"{tn:7.2f} {rn:6.1f}", f"{to / tn:9.2f}"
        else:
            nsis_cells, ratio = f"{'-':>7} {'-':>6}", f"{'-':>9}"
        print(f"{size:>5} {arch:>4} | {to:7.2f} {ro:6.1f} | {nsis_cells} | {tc:7.2f} | "
              f"{ratio} | {ro:9.1f} MiB {po:5.1f} MiB")
if not nsis:
    print(f"NSIS: skipped, its installers are 32-bit programs and {nsis_why}.")
if any(side == "alt" for side, _ in rows):
    first = "ours" + archs[0]
    print()
    print(f"STUB_ALT, the same installer with the other stub, in the same run "
          f"(against ours {archs[0]}):")
    print(f"{'MiB':>5} | {'alt s':>7} {'MiB':>6} | {'alt/ours':>9} | {'(private)':>9}")
    for size in sizes:
        ta, ra, pa = (med("alt", size, f) for f in range(3))
        print(f"{size:>5} | {ta:7.2f} {ra:6.1f} | {ta / med(first, size, 0):9.2f} | {pa:5.1f} MiB")
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
fails = []
for arch in archs:
    ours = "ours" + arch
    if nsis:
        for s in sizes:
            limit = 0.8 if s <= 8 else 0.6
            ratio = med(ours, s, 0) / med("nsis", s, 0)
            if ratio > limit:
                fails.append(f"{arch} time {ratio:.2f} x NSIS at {s} MiB")
            if med(ours, s, 1) >= med("nsis", s, 1):
                fails.append(f"{arch} peak RSS {med(ours, s, 1):.1f} MiB at {s} MiB")
print("Targets for ours: time <= 0.8 x NSIS at 8 MiB and <= 0.6 x above it, peak RSS below "
      "NSIS's at every size: " + ("met" if not fails else "missed (" + "; ".join(fails) + ")"))
PY

# Where one quiet installation of each of ours spends its time, from its log.
while read -r arch mb started ended; do
  noop=$(awk -v side="noop$arch" '$1 == side && $3 != 0 {print $4}' "$results" | sort -n |
    awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
  echo
  echo "Timeline of one quiet installation, $arch, $mb MiB (the installer's /log):"
  python3 "$root/bench/timeline.py" "$work/timeline-$arch.log" "$started" "$ended" "$noop"
done < <(cat "$work/timelines" 2>/dev/null)
