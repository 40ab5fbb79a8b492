# Sourced by the scripts that run Windows programs: quiet Wine that never
# stops to offer Mono or Gecko, and the template prefix location.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
: "${LUMISET_WINE_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine}"
export LUMISET_WINE_ROOT
export LUMISET_WINE_TEMPLATE="$LUMISET_WINE_ROOT/template"

# Creates the template prefix once (about 15 s); concurrent callers wait for
# the first one.
lumiset_wine_template() {
  mkdir -p "$LUMISET_WINE_ROOT"
  (
    flock 9
    if [ ! -f "$LUMISET_WINE_TEMPLATE/.ready-3" ]; then
      rm -rf "$LUMISET_WINE_TEMPLATE"
      WINEPREFIX="$LUMISET_WINE_TEMPLATE" wineboot -i >/dev/null 2>&1 || true
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
