#!/usr/bin/env bash
# The author's kit as an author meets it: unpacked into an empty folder, its
# sums checked, the sample built with the stub and default uninstaller that
# lie beside lumipack (no --stub), and the installer run quietly under Wine
# where this host runs it. The Windows kit must hold the same programs.
#
# usage: kit_test.sh SOURCE_DIR DIST_DIR      (exits 77 when there is no kit)
set -euo pipefail
source_dir=$1 dist=$2
shopt -s nullglob
linux=("$dist"/lumipack-*-linux-x86_64.tar.gz)
windows=("$dist"/lumipack-*-windows.zip)
if [ ${#linux[@]} -ne 1 ] || [ ${#windows[@]} -ne 1 ]; then
  echo "no kit in $dist (./dev.sh dist makes it): skipped"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/lumipack-kit.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "kit: $*" >&2; exit 1; }

(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "the archives do not match SHA256SUMS"
tar -xzf "${linux[0]}" -C "$work"
kit=$(echo "$work"/lumipack-*-linux-x86_64)
cd "$kit"
sha256sum --quiet -c SHA256SUMS || fail "the kit's files do not match its SHA256SUMS"
for f in lumipack lumiset.exe lumiset64.exe lumiset-uninstall.exe lumiset64-uninstall.exe \
    README.md sample/lumipack.toml sample/starfield.scr; do
  [ -f "$f" ] || fail "$f is missing"
done
./lumipack --version

./lumipack build sample/lumipack.toml --no-progress || fail "the sample does not build"
./lumipack build sample/lumipack.toml --arch x64 -o Starfield64Setup.exe --no-progress ||
  fail "the 64-bit sample does not build"
report() { ./lumipack inspect --json "$1" | python3 -c "import json, sys; r = json.load(sys.stdin)
print(r['ok'], r['stub']['arch'], r['items']['uninstaller']['kind'])"; }
[ "$(report sample/StarfieldSetup.exe)" = "True x86 default" ] || fail "sample: $(report sample/StarfieldSetup.exe)"
[ "$(report Starfield64Setup.exe)" = "True x64 default" ] || fail "x64: $(report Starfield64Setup.exe)"

mkdir "$work/windows"
(cd "$work/windows" && cmake -E tar xf "${windows[0]}")
win=$(echo "$work"/windows/lumipack-*-windows)
(cd "$win" && sha256sum --quiet -c SHA256SUMS) || fail "the Windows kit's files do not match"
for f in lumipack.exe lumiset.exe lumiset64.exe lumiset-uninstall.exe lumiset64-uninstall.exe; do
  cmp -s "$win/$f" "$kit/$f" 2>/dev/null || [ "$f" = lumipack.exe ] || fail "windows: $f differs"
done
[ -f "$win/lumipack.exe" ] || fail "windows: lumipack.exe is missing"

# Install it the way an end user would, where Wine runs the installer.
source "$source_dir/scripts/wine-env.sh"
for installer in sample/StarfieldSetup.exe Starfield64Setup.exe; do
  arch=$(lumiset_pe_arch "$installer")
  if ! lumiset_wine_runs "$arch" >/dev/null; then
    echo "$installer: Wine does not run $arch programs here; not installed"
    continue
  fi
  out=$("$source_dir/scripts/demo-install.sh" "$PWD/$installer" /q) ||
    fail "$installer did not install: $out"
  echo "$out"
  grep -qi 'starfield.scr' <<<"$out" || fail "$installer installed no screensaver"
  grep -q 'Uninstall.exe' <<<"$out" || fail "$installer installed no uninstaller"
done
echo "kit: ok"
