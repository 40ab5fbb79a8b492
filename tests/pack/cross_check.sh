#!/usr/bin/env bash
# Builds the same installers with a native lumipack and with lumipack.exe
# under Wine and requires identical bytes; then lets each read the other's
# output (inspect and extract) and requires identical results.
#
# usage: cross_check.sh NATIVE_LUMIPACK WINDOWS_LUMIPACK STUB SCREENSAVER [RUNNER...]
# RUNNER runs a Windows program (default: scripts/wine-run.sh).
set -euo pipefail

native=$1 windows=$2 stub=$3 screensaver=$4
shift 4
if [ $# -gt 0 ]; then
  runner=("$@")
else
  runner=("$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh")
fi
# A runner that starts with the Wine guard: ask it once whether this host runs
# the architecture at all (it exits 77 with the reason when not), then run
# what it guards directly.
if [ ${#runner[@]} -gt 2 ] && [ "$(basename "${runner[0]}")" = with-wine-arch.sh ]; then
  "${runner[0]}" "${runner[1]}" true || exit
  runner=("${runner[@]:2}")
fi
for f in "$native" "$windows" "$stub" "$screensaver"; do
  [ -f "$f" ] || { echo "cross_check: $f does not exist (build it first)" >&2; exit 1; }
done
native=$(realpath "$native") windows=$(realpath "$windows")
stub=$(realpath "$stub") screensaver=$(realpath "$screensaver")

work=$(mktemp -d)
prefix=""
cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# wine-run.sh makes a fresh Wine prefix for every program; the four runs here
# share one instead, made the same way, which saves most of the time.
if [ ${#runner[@]} -eq 1 ] && [ "$(basename "${runner[0]}")" = wine-run.sh ]; then
  # shellcheck source=/dev/null
  source "$(dirname "${runner[0]}")/wine-env.sh"
  prefix=$(lumiset_wine_fresh_prefix)
  export WINEPREFIX="$prefix"
  runner=(wine)
fi
cd "$work"

cp "$stub" stub.exe
# A screensaver of several compression chunks, so both builds split it and
# compress on more than one thread.
{
  cat "$screensaver"
  head -c 2500000 /dev/urandom
  head -c 1500000 < <(yes 'static int frame = 0; // stars')
} > big.scr
cp "$screensaver" uninstall.exe
cp "$screensaver" tool.exe
# A 2 x 1 24-bit BMP.
printf 'BM\x3e\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x02\x00\x00\x00\x01\x00\x00\x00\x01\x00\x18\x00\x00\x00\x00\x00\x08\x00\x00\x00\x13\x0b\x00\x00\x13\x0b\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00' > header.bmp
# A name outside the ANSI code pages: lumipack.exe must open it by its
# UTF-16 name.
printf 'Licence for {ScrName}.\n#ifgerman\nLizenz für {ScrName}, © 2026.\n#endif\n' > 'lizenz-ü-я.txt'
printf 'Stars\r\n#ifrussian\r\nЗвёзды № 1\r\n#endif\r\n' > info.txt

cat > german.toml <<'TOML'
title = "Starfield"
company = "Lumiset Samples"
copyright = "(c) 2026 Lumiset Samples"
language = "german"
screensaver = "big.scr"
file_name = "Sternenfeld"
licence = "lizenz-ü-я.txt"
picture = "header.bmp"
uninstaller = "uninstall.exe"
companion = "tool.exe"
stub = "stub.exe"
[options]
desktop_icon = true
[header]
accent_color = "#FF8000"
TOML
cat > auto.toml <<'TOML'
title = "Starfield"
company = "Lumiset Samples"
screensaver = "big.scr"
info = "info.txt"
stub = "stub.exe"
TOML

fail() { echo "cross_check: $*" >&2; exit 1; }

for job in "german.toml" "auto.toml --fast --threads 3"; do
  name=${job%%.toml*}
  # shellcheck disable=SC2086
  "$native" build $job -o "$name-native.exe" >/dev/null
  # shellcheck disable=SC2086
  "${runner[@]}" "$windows" build $job -o "$name-windows.exe" >/dev/null ||
    fail "lumipack.exe build $job failed"
  cmp "$name-native.exe" "$name-windows.exe" ||
    fail "$job: lumipack.exe wrote other bytes than the native lumipack"
done

"$native" inspect --json german-native.exe > inspect-native.json
"${runner[@]}" "$windows" inspect --json german-native.exe > inspect-windows.json ||
  fail "lumipack.exe inspect failed"
tr -d '\r' < inspect-windows.json | cmp - inspect-native.json ||
  fail "lumipack.exe inspect reports otherwise than the native lumipack"

"${runner[@]}" "$windows" extract auto-native.exe extracted >/dev/null ||
  fail "lumipack.exe extract failed"
"$native" build extracted/lumipack.toml -o rebuilt.exe >/dev/null
cmp rebuilt.exe auto-native.exe ||
  fail "a rebuild from lumipack.exe's extraction differs from the original"
echo "cross_check: lumipack.exe and the native lumipack agree"
