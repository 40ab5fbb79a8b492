#!/usr/bin/env bash
# Runs every lumipack command that README.md and tools/pack/README.md show in
# their ```sh blocks, as written, against this build: README.md's in a folder
# laid out like the source tree (samples/, build/native, build/mingw),
# tools/pack/README.md's in the folder of its example manifest, made from the
# README's own ```toml block with every file it names. Each must succeed.
#
# usage: readme_commands.sh SOURCE_DIR NATIVE_BUILD_DIR WINDOWS_BUILD_DIR
# Exits 77 (skipped) when the Windows tree is not built: the commands need
# its stub and sample screensaver.
set -euo pipefail

source_dir=$(realpath "$1") native=$(realpath "$2") windows=$3
stub=$windows/lumiset.exe
screensaver=$windows/samples/starfield/starfield.scr
if [ ! -f "$stub" ] || [ ! -f "$screensaver" ]; then
  echo "readme_commands: skipped: the Windows tree $windows is not built (no lumiset.exe or" \
    "samples/starfield/starfield.scr), and the READMEs' commands need them"
  exit 77
fi
windows=$(realpath "$windows")
[ -x "$native/lumipack" ] || { echo "readme_commands: $native/lumipack is not built" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "readme_commands: $*" >&2; exit 1; }

# The commands of a Markdown file: the lines of its ```sh blocks, with
# backslash continuations joined, that run lumipack (after any VAR=value).
commands_of() {
  awk '
    /^```sh$/ { inside = 1; next }
    /^```/ { inside = 0; next }
    inside {
      line = pending $0
      if (line ~ /\\$/) { pending = substr(line, 1, length(line) - 1); next }
      pending = ""
      print line
    }' "$1" | grep -E '^([A-Z_]+=[^ ]* +)*([^ ]*/)?lumipack ' || true
}

# The first ```toml block of a Markdown file.
toml_of() {
  awk '/^```toml$/ { inside = 1; next } /^```/ { if (inside) exit } inside' "$1"
}

# A 2 x 1 24-bit BMP that the installer reads.
write_bmp() {
  printf 'BM\x3e\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x02\x00\x00\x00\x01\x00\x00\x00\x01\x00\x18\x00\x00\x00\x00\x00\x08\x00\x00\x00\x13\x0b\x00\x00\x13\x0b\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00' >"$1"
}

# The repository's layout, with this build in it.
mkdir -p "$work/root/build" "$work/bin"
ln -s "$source_dir/samples" "$work/root/samples"
ln -s "$native" "$work/root/build/native"
ln -s "$windows" "$work/root/build/mingw"
# `lumipack` on the PATH is this build's.
ln -s "$native/lumipack" "$work/bin/lumipack"
export PATH="$work/bin:$PATH"

# The example manifest's folder: the manifest, every file it names (made by
# its extension), and what the examples name besides.
pack=$work/root/pack
mkdir -p "$pack/dist"
toml_of "$source_dir/tools/pack/README.md" >"$pack/starfield.toml"
[ -s "$pack/starfield.toml" ] || fail "tools/pack/README.md has no \`\`\`toml block"
grep -oE '^[a-z_]+ *= *"[^"]+"' "$pack/starfield.toml" | sed -E 's/^[a-z_]+ *= *"(.*)"$/\1/' |
  while read -r value; do
    file=$pack/$value
    case "$value" in
      *.scr | *.exe) ;;
      *.txt | *.bmp) ;;
      *) continue ;;
    esac
    [ -e "$file" ] && continue
    mkdir -p "$(dirname "$file")"
    case "$value" in
      *.scr | *.exe) cp "$screensaver" "$file" ;;
      *.txt) printf 'Starfield, a screensaver by {CompanyName}.\n' >"$file" ;;
      *.bmp) write_bmp "$file" ;;
    esac
  done
cp "$screensaver" "$stub" "$pack/"
if command -v openssl >/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=README -days 2 \
    -keyout "$pack/key.pem" -out "$pack/cert.pem" >/dev/null 2>&1
  openssl pkcs12 -export -inkey "$pack/key.pem" -in "$pack/cert.pem" -out "$pack/key.p12" \
    -passout pass:secret >/dev/null 2>&1
fi

run_all() {
  local readme=$1 folder=$2 count=0 command
  while IFS= read -r command; do
    count=$((count + 1))
    echo "== $readme: $command"
    (cd "$folder" && bash -c "$command") || fail "$readme: this command failed: $command"
  done < <(commands_of "$source_dir/$readme")
  [ "$count" -gt 0 ] || fail "$readme shows no lumipack command"
  echo "readme_commands: $readme: $count commands ran"
}

run_all README.md "$work/root"
run_all tools/pack/README.md "$pack"
