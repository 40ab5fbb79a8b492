#!/usr/bin/env bash
# The sample screensaver of each Windows tree, checked with its own stub
# under --werror: it must lint clean (a GUI program that imports only what
# Windows ships). Exits 77 (skipped) when neither tree is built.
#
# usage: sample_lint.sh LUMIPACK SOURCE_DIR X86_BUILD_DIR X64_BUILD_DIR
set -euo pipefail
lumipack=$1 source_dir=$2
checked=0
for tree_stub in "$3:lumiset.exe" "$4:lumiset64.exe"; do
  tree=${tree_stub%:*} stub=${tree_stub##*:}
  scr=$tree/samples/starfield/starfield.scr
  [ -f "$tree/$stub" ] && [ -f "$scr" ] || continue
  out=$("$lumipack" check "$source_dir/samples/starfield/lumipack.toml" --screensaver "$scr" \
    --stub "$tree/$stub" --werror --message-format json) ||
    { echo "sample_lint: $scr does not lint clean:"; echo "$out"; exit 1; }
  if grep -q '"type":"warning"' <<<"$out"; then
    echo "sample_lint: $scr: $out"
    exit 1
  fi
  echo "sample_lint: $scr lints clean with $stub"
  checked=$((checked + 1))
done
if [ "$checked" -eq 0 ]; then
  echo "sample_lint: skipped: no Windows tree holds the stub and the sample screensaver"
  exit 77
fi
