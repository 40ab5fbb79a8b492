#!/usr/bin/env bash
# Renders every window of the installer to PNG files under a private Xvfb:
# welcome, exit confirmation, information, licence, progress, interrupted,
# completed, existing copy, copy-error prompt, error, command-line help,
# about box, and the completed page when a Group Policy decides the
# screensaver, in the classic (/w) and the themed (/x) look, at each
# requested screen density, for one language.
#
#   scripts/screenshots.sh [--language english] [--dpi "96 120"] [--out DIR]
#                          [--mingw DIR] [--lumipack FILE] [--locale LOCALE]
#
#   --language  the package's language (english, french, german, spanish,
#               italian, dutch, portuguese, russian); the pages' captions are
#               read from resources/pages_*.rc
#   --dpi       pixels per inch to render at (Wine's LogPixels)
#   --out       folder for the PNG files (default build/screenshots); each is
#               named LANGUAGE-DPI-LOOK-NN-PAGE.png
#   --mingw     the Windows build tree with the stub (lumiset.exe or
#               lumiset64.exe), the sample screensaver and the test tools
#               (default build/mingw, or build/mingw64 where this host's
#               Wine runs only 64-bit programs)
#   --lumipack  the packer (default build/native/lumipack)
#   --locale    the Unix locale the installer runs in, which sets its ANSI
#               code page; a Russian package needs one whose code page is
#               1251 (ru_RU.UTF-8). Default C.UTF-8 (code page 1252).
#
# The installers carry a header picture, header texts and an accent colour.
# The progress page is caught while a large screensaver (random bytes after
# the sample) is being copied, held by the exit confirmation; the copy-error prompt appears while the
# installed file is held open. Needs Wine, Xvfb, xdotool, ImageMagick's
# `import` and Python 3.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
language=english
dpis="96 120"
out=$root/build/screenshots
mingw=$root/build/mingw
lumipack=$root/build/native/lumipack
installer_locale=C.UTF-8
while [ $# -gt 0 ]; do
  case "$1" in
    --language) language=$2; shift 2 ;;
    --dpi) dpis=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --mingw) mingw=$2; shift 2 ;;
    --lumipack) lumipack=$2; shift 2 ;;
    --locale) installer_locale=$2; shift 2 ;;
    *) sed -n '2,30p' "$0" >&2; exit 2 ;;
  esac
done
[ -x "$lumipack" ] || lumipack=$root/build/native/tools/pack/lumipack
source "$root/scripts/wine-env.sh"
case " $LUMISET_WINE_ARCHS " in
  *" x86 "*) ;;
  *) [ "$mingw" = "$root/build/mingw" ] && mingw=$root/build/mingw64 ;;
esac
stub=$mingw/lumiset.exe
# The 32-bit stub reaches the system folder through its alias.
system_folder='C:\windows\Sysnative'
if [ ! -f "$stub" ]; then
  stub=$mingw/lumiset64.exe
  system_folder='C:\windows\system32'
fi
screensaver=$mingw/samples/starfield/starfield.scr
uidriver=$mingw/tests/uidriver.exe
hold_file=$mingw/tests/hold_file.exe
for tool in "$lumipack" "$stub" "$screensaver" "$uidriver" "$hold_file"; do
  [ -f "$tool" ] || { echo "missing $tool: build the native and the mingw trees first" >&2; exit 1; }
done
for program in wine Xvfb xdotool import python3; do
  command -v "$program" >/dev/null || { echo "$program is not installed" >&2; exit 1; }
done

# Wine hands a program its arguments in the ANSI code page, 1252 under this
# locale; the processes other than the installer run in it.
export LC_ALL=C.UTF-8

# Large enough that the progress page stays up for a few seconds: the
# installer decodes straight into place, at hundreds of megabytes a second;
# the packer takes at most 1 GiB.
readonly kPayloadMegabytes=900
readonly kTimeoutMs=60000
readonly kScrName=starfield

mkdir -p "$out"
work=$(mktemp -d)
prefix=""
installer_pid=""
hold_pid=""

cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  fi
  for pid in $installer_pid $hold_pid; do wait "$pid" 2>/dev/null || true; done
  lumiset_stop_xvfb
  [ -n "$prefix" ] && rm -rf "$prefix"
  rm -rf "$work"
}
trap cleanup EXIT

# --- The packages --------------------------------------------------------

language_index() {
  case "$1" in
    english) echo 1 ;; french) echo 2 ;; german) echo 3 ;; spanish) echo 4 ;;
    italian) echo 5 ;; dutch) echo 6 ;; portuguese) echo 7 ;; russian) echo 8 ;;
    *) echo "unknown language $1" >&2; exit 2 ;;
  esac
}
index=$(language_index "$language")

# The sample texts, keeping the lines for every language and those of the
# chosen one, so that they fit the language's code page.
for text in licence info; do
  awk -v lang="$language" '
    /^#if(def )?[a-z]+[ \t]*$/ { sub(/^#if(def )?/, ""); sub(/[ \t]+$/, ""); inside = 1; keep = ($0 == lang); next }
    /^#endif/ { inside = 0; next }
    !inside || keep { print }' "$root/samples/starfield/package/$text.txt" >"$work/$text.txt"
done

# A header picture narrower than the band: a night sky with a planet on
# the right, its top-left colour filling the rest of the band.
python3 - "$work/header.bmp" <<'PY'
import math, random, struct, sys
width, height = 260, 58
sky, horizon = (0x0B, 0x1E, 0x45), (0x1D, 0x4E, 0x9A)
rows = [[sky] * width for _ in range(height)]
for y in range(height):
    for x in range(width):
        t = max(0.0, (x - 60) / (width - 60))
        rows[y][x] = tuple(int(a + (b - a) * t) for a, b in zip(sky, horizon))
stars = random.Random(7)
for _ in range(70):
    x, y, light = stars.randrange(60, width), stars.randrange(height), stars.randrange(150, 256)
    rows[y][x] = (light, light, light)
cx, cy, radius = 215, 38, 26
for y in range(height):
    for x in range(width):
        d = math.hypot(x - cx, y - cy)
        if d < radius:
            rows[y][x] = tuple(min(255, int(c * (0.55 + 0.45 * (1 - d / radius))))
                               for c in (0xF2, 0xA6, 0x3A))
stride = (width * 3 + 3) // 4 * 4
pixels = b"".join(
    b"".join(struct.pack("<3B", b, g, r) for r, g, b in rows[y]).ljust(stride, b"\0")
    for y in range(height - 1, -1, -1))
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
PY

cp "$screensaver" "$work/small.scr"
cp "$screensaver" "$work/large.scr"
head -c "${kPayloadMegabytes}M" /dev/urandom >>"$work/large.scr"

pack() {  # SCREENSAVER OUTPUT
  cat >"$work/lumipack.toml" <<EOF
title = "Starfield"
company = "Lumiset Samples"
copyright = "(c) 2026 Lumiset Samples"
language = "$language"
screensaver = "$1"
file_name = "$kScrName"
licence = "licence.txt"
info = "info.txt"
picture = "header.bmp"

[options]
setup_options = true
open_display_properties = false
start_menu_entry = true
desktop_icon = false
detect_existing = true
info_page = true

[header]
show_text = true
text_color = "#FFFFFF"
accent_color = "#1E5AA0"
EOF
  "$lumipack" build "$work/lumipack.toml" --stub "$stub" -o "$2" --fast >/dev/null
}
pack small.scr "$work/Setup.exe"
pack large.scr "$work/SetupLarge.exe"

# --- Captions and the driver ---------------------------------------------

# The caption of a page in the package's language, from the resource
# scripts; the English one when the language has no copy of the page.
caption() {  # TEMPLATE_NAME
  python3 - "$root/resources" "$1" "$index" <<'PY'
import pathlib, re, sys
folder, name, index = pathlib.Path(sys.argv[1]), sys.argv[2], int(sys.argv[3])
ids = dict(re.findall(r"#define\s+(\w+)\s+(\d+)", (folder / "resource.h").read_text()))
base = int(ids[name])
wanted = [base + 100 * (index - 1), base] if 2 <= index <= 8 else [base]
captions = {}
for script in sorted(folder.glob("*.rc")):
    text = script.read_text(encoding="utf-8")
    for key, caption in re.findall(r'^(\w+)\s+DIALOGEX\b.*?^CAPTION\s+"((?:[^"]|"")*)"', text,
                                   re.M | re.S):
        number = int(key) if key.isdigit() else int(ids[key]) if key in ids else None
        captions.setdefault(number, caption.replace('""', '"'))
print(next(captions[i] for i in wanted if i in captions))
PY
}

# uidriver reads its arguments as UTF-8 bytes, but receives them in code
# page 1252: spell each UTF-8 byte as the 1252 character that becomes that
# byte again (a byte 1252 leaves undefined maps to the control character of
# the same number).
driver_text() {
  python3 -c '
import sys
out = []
for byte in sys.argv[1].encode("utf-8"):
    try:
        out.append(bytes([byte]).decode("cp1252"))
    except UnicodeDecodeError:
        out.append(chr(byte))
print("".join(out))' "$1"
}

ui() {  # VERB CAPTION [ARGS...]
  local verb=$1 text
  text=$(driver_text "$2")
  shift 2
  wine "$uidriver" "$verb" "$text" "$@"
}

wait_for() {  # CAPTION
  ui wait "$1" "$kTimeoutMs" >/dev/null || { echo "no window \"$1\"" >&2; return 1; }
}

# POSIX extended regular expression matching exactly the text.
exact() {
  python3 -c 'import re, sys; print("^" + re.sub(r"([.\[\]()*+?{}|^$\\])", r"\\\1", sys.argv[1]) + "$")' "$1"
}

shot=0
shoot() {  # CAPTION NAME
  wait_for "$1"
  local window
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "$(exact "$1")" | head -n 1)
  [ -n "$window" ] || { echo "\"$1\" closed before it could be taken" >&2; return 1; }
  shot=$((shot + 1))
  local file
  file=$(printf '%s/%s-%s-%s-%02d-%s.png' "$out" "$language" "$dpi" "$look_name" "$shot" "$2")
  import -window "$window" "$file"
  echo "  $file"
}

start_installer() {  # INSTALLER ARGS...
  local installer=$1
  shift
  LC_ALL=$installer_locale wine "$installer" "$@" &
  installer_pid=$!
}

end_installer() {
  wait "$installer_pid" 2>/dev/null || true
  installer_pid=""
}

welcome=$(caption IDD_WELCOME)
exit_setup=$(caption IDD_EXIT_SETUP)
information=$(caption IDD_INFORMATION)
licence=$(caption IDD_LICENCE)
progress=$(caption IDD_PROGRESS)
interrupted=$(caption IDD_INSTALL_INTERRUPTED)
done_page=$(caption IDD_INSTALL_DONE)
existing=$(caption IDD_EXISTING_COPY)
copy_error=$(caption IDD_COPY_ERROR)
error_page=$(caption IDD_INSTALL_ERROR)
help=$(caption IDD_HELP)
about=$(caption IDD_ABOUT)
# The hidden frame's title, which the about command is sent to.
frame=Installation

# Welcome to the licence page, looking at the exit confirmation on the way.
walk_to_licence() {  # SHOOT (1 to take pictures)
  [ "$1" = 1 ] && shoot "$welcome" welcome
  if [ "$1" = 1 ]; then
    ui click "$welcome" 2
    shoot "$exit_setup" exit-confirmation
    ui click "$exit_setup" 1
  fi
  wait_for "$welcome"
  ui click "$welcome" 1
  [ "$1" = 1 ] && shoot "$information" information || wait_for "$information"
  ui click "$information" 1
  [ "$1" = 1 ] && shoot "$licence" licence || wait_for "$licence"
}

render() {  # LOOK_SWITCH
  local look=$1
  prefix=$(lumiset_wine_fresh_prefix)
  export WINEPREFIX=$prefix
  lumiset_start_xvfb
  # One wineserver for all the programs of this prefix.
  wineserver -p
  if [ "$dpi" != 96 ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  fi
  shot=0

  # A first installation: stopped once, then completed.
  start_installer "$work/SetupLarge.exe" "$look"
  walk_to_licence 1
  # Stopped at once, by a click already waiting for the page: the copy waits
  # while the confirmation is asked, so the progress page is taken then, with
  # the confirmation moved off the screen.
  ui click "$progress" 2 &
  local stop_click=$!
  ui click "$licence" 1
  wait "$stop_click"
  wait_for "$exit_setup"
  local confirmation
  confirmation=$(timeout 30 xdotool search --sync --onlyvisible --name "$(exact "$exit_setup")" | head -n 1)
  xdotool windowmove "$confirmation" 4000 4000
  shoot "$progress" progress
  ui click "$exit_setup" 2
  shoot "$interrupted" interrupted
  ui click "$interrupted" 3
  walk_to_licence 0
  ui click "$licence" 1
  shoot "$done_page" completed
  ui click "$done_page" 1
  end_installer

  # Over the installed copy, whose file is held open: the copy fails.
  start_installer "$work/Setup.exe" "$look"
  shoot "$existing" existing-copy
  ui click "$existing" 1
  walk_to_licence 0
  local release="$prefix/drive_c/release-held-file"
  wine "$hold_file" "$system_folder\\$kScrName.scr" 'C:\release-held-file' 120 >"$work/hold.out" &
  hold_pid=$!
  until grep -q holding "$work/hold.out" 2>/dev/null; do sleep 0.1; done
  ui click "$licence" 1
  shoot "$copy_error" copy-error
  ui click "$copy_error" 2
  shoot "$error_page" error
  touch "$release"
  wait "$hold_pid" 2>/dev/null || true
  hold_pid=""
  ui click "$error_page" 1
  end_installer

  # The command-line help, and the about box over it.
  start_installer "$work/Setup.exe" /? "$look"
  shoot "$help" help
  ui click "$frame" 57664
  shoot "$about" about
  ui click "$about" 1
  ui click "$help" 2
  end_installer

  # A Group Policy sets the screensaver: the completed page says that the
  # organisation's settings decide.
  wine reg add 'HKCU\Software\Policies\Microsoft\Windows\Control Panel\Desktop' \
    /v SCRNSAVE.EXE /d 'C:\windows\system32\corp.scr' /f >/dev/null
  start_installer "$work/Setup.exe" /q /f "$look"
  shoot "$done_page" completed-under-policy
  ui click "$done_page" 1
  end_installer

  wineserver -k
  wineserver -w
  lumiset_stop_xvfb
  rm -rf "$prefix"
  prefix=""
}

for dpi in $dpis; do
  for look_name in classic themed; do
    echo "$language, $dpi pixels per inch, $look_name look"
    if [ "$look_name" = classic ]; then render /w; else render /x; fi
  done
done
