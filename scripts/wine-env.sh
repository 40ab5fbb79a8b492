# Sourced by the scripts that run Windows programs: quiet Wine that never
# stops to offer Mono or Gecko, the loader this host can run, and the
# template prefix location.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
: "${LUMISET_WINE_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine}"
export LUMISET_WINE_ROOT

# Which Windows architectures this host's Wine runs, decided once per shell:
# "x86 x64" where the kernel runs 32-bit programs, "x64" where it refuses
# them (the 32-bit loader then fails with "Exec format error"), nothing
# without a usable Wine. LUMISET_WINE_ARCHS set by the caller wins, so a
# host that runs both can rehearse the 64-bit-only road.
# Debian's `wine` wrapper always prefers the 32-bit loader, so on a 64-bit-only
# host every program goes through the 64-bit loader directly, with WINELOADER
# naming it for the programs Wine starts itself.
lumiset_wine_detect() {
  local wine32=/usr/lib/wine/wine wine64=/usr/lib/wine/wine64
  if [ -z "${LUMISET_WINE_ARCHS+set}" ]; then
    if [ -x "$wine32" ] && "$wine32" --version >/dev/null 2>&1; then
      LUMISET_WINE_ARCHS="x86 x64"
    elif [ -x "$wine64" ] && "$wine64" --version >/dev/null 2>&1; then
      LUMISET_WINE_ARCHS="x64"
      LUMISET_WINE_WHY_NOT_X86="this host's kernel refuses 32-bit programs (Exec format error)"
      [ -x "$wine32" ] || LUMISET_WINE_WHY_NOT_X86="the 32-bit Wine loader (wine32:i386) is not installed"
    else
      LUMISET_WINE_ARCHS=""
    fi
  fi
  : "${LUMISET_WINE_WHY_NOT_X86:=the 32-bit road was switched off (LUMISET_WINE_ARCHS=$LUMISET_WINE_ARCHS)}"
  case " $LUMISET_WINE_ARCHS " in
    *" x86 "*) LUMISET_WINE=/usr/bin/wine ;;
    *" x64 "*) LUMISET_WINE=$wine64; export WINELOADER=$wine64 ;;
    *) LUMISET_WINE="" ;;
  esac
  export LUMISET_WINE_ARCHS LUMISET_WINE LUMISET_WINE_WHY_NOT_X86
  # One template per loader: a prefix made by the 64-bit loader alone lacks
  # the 32-bit half, and must never be handed to a host that has it.
  export LUMISET_WINE_TEMPLATE="$LUMISET_WINE_ROOT/template-${LUMISET_WINE_ARCHS// /-}"
}
lumiset_wine_detect

# Runs a Windows program with this host's loader.
wine() {
  [ -n "$LUMISET_WINE" ] || { echo "no usable Wine on this host" >&2; return 127; }
  "$LUMISET_WINE" "$@"
}

# Succeeds when this host runs Windows programs of ARCH (x86 or x64); else
# says why not on standard output.
lumiset_wine_runs() {
  case " $LUMISET_WINE_ARCHS " in
    *" $1 "*) return 0 ;;
  esac
  if [ -z "$LUMISET_WINE_ARCHS" ]; then
    echo "no usable Wine on this host"
  elif [ "$1" = x86 ]; then
    echo "$LUMISET_WINE_WHY_NOT_X86"
  else
    echo "this host's Wine does not run $1 programs"
  fi
  return 1
}

# Prints x86 or x64: the architecture of a Windows program, from the machine
# field of its PE header.
lumiset_pe_arch() {
  local lfanew machine
  lfanew=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j $((lfanew + 4)) -N 2 "$1" | tr -d ' ')
  case "$machine" in
    8664) echo x64 ;;
    014c) echo x86 ;;
    *) echo "unknown" ;;
  esac
}

# Creates the template prefix once (about 15 s); concurrent callers wait for
# the first one.
lumiset_wine_template() {
  mkdir -p "$LUMISET_WINE_ROOT"
  (
    flock 9
    if [ ! -f "$LUMISET_WINE_TEMPLATE/.ready-3" ]; then
      rm -rf "$LUMISET_WINE_TEMPLATE"
      WINEPREFIX="$LUMISET_WINE_TEMPLATE" wine wineboot -i >/dev/null 2>&1 || true
      # No window manager runs in Xvfb, and hiding a managed window waits 2 s
      # for one: make Wine manage its windows itself.
      WINEPREFIX="$LUMISET_WINE_TEMPLATE" wine reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /d N /f >/dev/null 2>&1
      WINEPREFIX="$LUMISET_WINE_TEMPLATE" wineserver -w
      [ -f "$LUMISET_WINE_TEMPLATE/system.reg" ] || { echo "wine prefix creation failed" >&2; exit 1; }
      # Wine links Desktop, Documents and the like to the Unix home folder;
      # tests must write shortcuts into the prefix, never into the real home.
      find "$LUMISET_WINE_TEMPLATE/drive_c/users" -mindepth 2 -maxdepth 2 -type l |
        while read -r link; do rm -f "$link"; mkdir -p "$link"; done
      touch "$LUMISET_WINE_TEMPLATE/.ready-3"
    fi
  ) 9>"$LUMISET_WINE_ROOT/.lock"
}

# Copies the template into a new prefix folder and prints its path.
lumiset_wine_fresh_prefix() {
  lumiset_wine_template
  local prefix
  prefix=$(mktemp -d "$LUMISET_WINE_ROOT/prefix.XXXXXX")
  cp -a "$LUMISET_WINE_TEMPLATE/." "$prefix/"
  rm -f "$prefix"/.ready*
  echo "$prefix"
}
# Ends the wineserver of a prefix made by lumiset_wine_fresh_prefix and
# removes the prefix; nothing when PREFIX is empty.
lumiset_wine_remove_prefix() {
  [ -n "${1:-}" ] || return 0
  WINEPREFIX=$1 wineserver -k 2>/dev/null || true
  WINEPREFIX=$1 wineserver -w 2>/dev/null || true
  rm -rf "$1"
}

# Starts a private Xvfb on a free display; sets DISPLAY and LUMISET_XVFB_PID.
# Stop it with lumiset_stop_xvfb (only the server this shell started).
lumiset_start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  LUMISET_XVFB_PID=$!
  local display
  read -r -t 20 display <"$fifo" || display=""
  rm -f "$fifo"
  if [ -z "$display" ]; then
    kill "$LUMISET_XVFB_PID" 2>/dev/null
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$display" LUMISET_XVFB_PID
}

lumiset_stop_xvfb() {
  if [ -n "${LUMISET_XVFB_PID:-}" ]; then
    kill "$LUMISET_XVFB_PID" 2>/dev/null
    wait "$LUMISET_XVFB_PID" 2>/dev/null
    unset LUMISET_XVFB_PID
  fi
}
