# Sourced by the Win32 scripts: the project's own Wine prefix under build/ and a private Xvfb.
#   wine_env          exports WINEPREFIX (build/wine, or $TESSAMOR_WINEPREFIX) and the other
#                     Wine variables
#   wine_lock         waits until no other run uses the prefix, and holds it until exit (two
#                     runs on one prefix would share one wineserver across two displays)
#   wine_prefix       creates the prefix once (virtual desktop 1280x800, no Mono/Gecko offers)
#   xvfb_start        starts Xvfb on a free display and exports DISPLAY (XVFB_PID is its pid)
#   xvfb_stop         stops that Xvfb and the prefix's wineserver
here=${here:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

wine_env() {
  export WINEPREFIX="${TESSAMOR_WINEPREFIX:-$here/build/wine}"
  export WINEDEBUG=-all
  export WINEARCH=win32
  export LANG=ja_JP.UTF-8
  export LC_ALL=ja_JP.UTF-8
  export WINEDLLOVERRIDES="mscoree,mshtml="
}

wine_lock() {
  wine_env
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
}

wine_prefix() {
  wine_env
  local ready="$WINEPREFIX/.tessamor-ready-2"
  if [ -f "$ready" ]; then return 0; fi
  echo "[wine] creating the Wine prefix in $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # One virtual desktop for every process of the prefix: windows get frames, a maximised
  # window fills the screen and separately started programs see each other's windows.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x800 /f >/dev/null 2>&1
  # Wine's own fonts (Marlett draws the caption buttons) and a Japanese TrueType face for the
  # dialog and menu fonts the program and the system ask for.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  local face
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "Tahoma" "HGPｺﾞｼｯｸE"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" \
      /d IPAPGothic /f >/dev/null 2>&1
  done
  wineserver -w
  touch "$ready"
}

XVFB_PID=""
xvfb_start() {
  local fifo
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/tessamor-xvfb.XXXXXX")
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local n
  read -r n <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$n"
}

xvfb_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
