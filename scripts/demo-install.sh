#!/usr/bin/env bash
# Runs an installer quietly under Wine in a fresh prefix and a private Xvfb,
# then reports what it installed: files, registry values and shortcuts, and
# the screensaver's entry in the list of installed programs.
set -uo pipefail
installer=$(realpath "$1")
shift
switches=("${@:-/q}")
source "$(dirname "$0")/wine-env.sh"
arch=$(lumiset_pe_arch "$installer")
if ! why=$(lumiset_wine_runs "$arch"); then
  echo "$(basename "$installer") is an $arch program, which cannot run here: $why" >&2
  exit 1
fi
# The registry view the installer writes to: 32-bit under WOW64, else native.
view=/reg:64
[ "$arch" = x86 ] && view=/reg:32
prefix=$(lumiset_wine_fresh_prefix) || exit 1
export WINEPREFIX="$prefix"
lumiset_start_xvfb || exit 1
wineserver -p
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; lumiset_stop_xvfb; rm -rf "$prefix"' EXIT

reg_values() {  # KEY: print "name = value" for each value
  wine reg query "$1" "$view" 2>/dev/null | tr -d '\r' |
    awk '/REG_/ {name=$1; $1=""; $2=""; sub(/^ +/, ""); print "    " name " = " $0}'
}

echo "Running $(basename "$installer") ${switches[*]} under Wine ($arch)"
start=$(date +%s.%N)
wine "$installer" "${switches[@]}"
rc=$?
end=$(date +%s.%N)
awk -v rc="$rc" -v s="$start" -v e="$end" 'BEGIN {printf "Exit code %d after %.1f s\n", rc, e - s}'

c="$prefix/drive_c"
echo "Installed files:"
find "$c/windows/system32" -maxdepth 1 -iname '*.scr' -newer "$prefix/system.reg" -printf '    C:/windows/system32/%f (%s bytes)\n'
find "$c/Program Files (x86)" "$c/Program Files" -mindepth 2 -type f -newer "$prefix/system.reg" 2>/dev/null |
  sed "s|^$c|    C:|"
find "$c/users" -name '*.lnk' -newer "$prefix/system.reg" 2>/dev/null | sed "s|^$c|    C:|"
echo "Screensaver setting (HKCU\\Control Panel\\Desktop):"
reg_values 'HKCU\Control Panel\Desktop' | grep -i -E 'SCRNSAVE.EXE|ScreenSaveActive'
echo "Installed-files record:"
wine reg query 'HKCU\Software' /s "$view" 2>/dev/null | tr -d '\r' |
  awk 'BEGIN {RS=""} /ScreensaverFile/ {print}' | sed 's/^ */    /'
# The entries of the list of installed programs that this installer made:
# each key with a DisplayName "... Screensaver".
entries=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "$view" \
  2>/dev/null | tr -d '\r' | awk 'BEGIN {RS=""} /DisplayName +REG_SZ +[^\n]* Screensaver\n/ {
    print substr($0, 1, index($0, "\n") - 1) }')
[ -n "$entries" ] ||
  echo "Installed-programs entry (Settings > Apps): none (the package has no uninstaller)"
while IFS= read -r key; do
  [ -n "$key" ] || continue
  echo "Installed-programs entry (Settings > Apps): ${key##*\\}"
  # One "name = value" line each; numbers in decimal, the size in KiB.
  wine reg query "$key" "$view" 2>/dev/null | tr -d '\r' |
    awk 'function hex(text,   n, i) {
           n = 0
           for (i = 3; i <= length(text); i++) {
             n = n * 16 + index("0123456789abcdef", tolower(substr(text, i, 1))) - 1
           }
           return n
         }
         / REG_/ {
           name = $1; type = $2; $1 = ""; $2 = ""; sub(/^ +/, "")
           value = type == "REG_DWORD" ? hex($0) : $0
           if (name == "EstimatedSize") value = value " KiB"
           print "    " name " = " value
         }'
done <<<"$entries"
# Whatever an installation writes aside: staged files beside the
# destination and private programs in the system's temporary folder.
left=$(find "$c/windows/system32" "$c/windows/syswow64" "$c/windows/temp" -maxdepth 1 \
  \( -iname '~lumiset-*' -o -iname 'lumiset-*' \) 2>/dev/null | wc -l)
echo "Files left aside: $left"
exit $rc
