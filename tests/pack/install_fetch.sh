#!/usr/bin/env bash
# Runs an installer quietly (/q) under Wine in a fresh prefix and a private
# Xvfb, then copies the uninstaller the installation wrote
# (Program Files\<company>\<title>\Uninstall.exe) into DEST, so a test can
# look at the file a user's machine holds.
#
# usage: install_fetch.sh INSTALLER DEST      (exits 77 when Wine cannot run it)
set -uo pipefail
installer=$(realpath "$1")
dest=$2
source "$(dirname "$0")/../../scripts/wine-env.sh"
arch=$(lumiset_pe_arch "$installer")
if ! why=$(lumiset_wine_runs "$arch"); then
  echo "$(basename "$installer") is an $arch program, which cannot run here: $why"
  exit 77
fi
prefix=$(lumiset_wine_fresh_prefix) || exit 1
export WINEPREFIX="$prefix"
lumiset_start_xvfb || exit 1
wineserver -p
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; lumiset_stop_xvfb; rm -rf "$prefix"' EXIT
wine "$installer" /q
rc=$?
[ "$rc" -eq 0 ] || { echo "the installer exited with $rc"; exit 1; }
found=$(find "$prefix/drive_c/Program Files" "$prefix/drive_c/Program Files (x86)" -name Uninstall.exe \
  2>/dev/null | head -n1)
[ -n "$found" ] || { echo "the installation wrote no Uninstall.exe"; exit 1; }
mkdir -p "$dest" && cp "$found" "$dest/Uninstall.exe"
