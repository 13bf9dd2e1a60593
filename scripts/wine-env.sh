# Sourced by the Windows scripts: which Windows build this host can run, the project's own Wine
# prefix per architecture under build/, and a private Xvfb.
#   kernel_runs_i386  true when the kernel runs 32-bit x86 programs (tried, not guessed)
#   win32_runs        true when this host runs the 32-bit Windows program: its kernel runs
#                     32-bit programs and 32-bit Wine starts; otherwise WIN32_WHY says why not.
#                     TESSAMOR_FORCE_WIN64=1 makes it false everywhere.
#   wine_arch 32|64   the build the calls below work with (default 32): the 32-bit program in a
#                     32-bit prefix through Debian's wine, or the 64-bit program in a 64-bit
#                     prefix through Wine's 64-bit loader
#   wine_env          exports WINEPREFIX (build/wine, or $TESSAMOR_WINEPREFIX; "64" appended for
#                     the 64-bit prefix) and the other Wine variables
#   wine_lock         waits until no other run uses the prefix, and holds it until exit (two
#                     runs on one prefix would share one wineserver across two displays)
#   wine_prefix       creates the prefix once (virtual desktop 1280x800, no Mono/Gecko offers)
#   xvfb_start        starts Xvfb on a free display and exports DISPLAY (XVFB_PID is its pid)
#   xvfb_stop         stops that Xvfb and the prefix's wineserver
here=${here:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

WINE_BITS=${WINE_BITS:-32}
WIN32_WHY=""
WIN32_CHECKED=""

# Whether the kernel runs 32-bit x86 programs at all, found out by running one: 93 bytes of ELF
# whose only instructions exit with status 0. Needs no 32-bit package. KERNEL_WHY says why not.
KERNEL_WHY=""
kernel_runs_i386() {
  local probe="$here/build/i386-probe" out
  if [ ! -x "$probe" ]; then
    mkdir -p "$here/build"
    local elf='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'       # 32-bit, little-endian
    elf+='\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'   # executable, i386, entry
    elf+='\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'   # one program header
    elf+='\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'   # load the file at 0x8048000
    elf+='\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00'   # 93 bytes, readable, executable
    elf+='\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80'               # exit(0)
    printf "$elf" >"$probe.tmp"
    chmod +x "$probe.tmp"
    mv "$probe.tmp" "$probe"
  fi
  if out=$("$probe" 2>&1); then return 0; fi
  # Kernels without 32-bit emulation answer "Exec format error".
  KERNEL_WHY="this host's kernel runs no 32-bit programs (${out##*: })"
  return 1
}

win32_runs() {
  if [ -z "$WIN32_CHECKED" ]; then
    WIN32_CHECKED=yes
    local out
    if [ "${TESSAMOR_FORCE_WIN64:-0}" = 1 ]; then
      WIN32_WHY="TESSAMOR_FORCE_WIN64=1 is set"
    elif ! kernel_runs_i386; then
      WIN32_WHY=$KERNEL_WHY
    elif [ ! -x /usr/lib/wine/wine ]; then
      WIN32_WHY="32-bit Wine (wine32:i386) is not installed"
    elif ! out=$(/usr/lib/wine/wine --version 2>&1); then
      WIN32_WHY="32-bit Wine does not start here (${out##*: })"
    fi
  fi
  [ -z "$WIN32_WHY" ]
}

wine_arch() {
  case "$1" in
    32|64) WINE_BITS=$1 ;;
    *) echo "wine_arch: 32 or 64, not '$1'" >&2; return 2 ;;
  esac
}

# Debian's wine wrapper, and wineboot and winepath which call it, take the 32-bit loader whenever
# wine32 is installed; these wrappers, early on PATH, send them to the 64-bit loader instead.
wine64_wrappers() {
  local bin="$here/build/wine64-bin" name
  if [ ! -x /usr/lib/wine/wine64 ]; then
    echo "64-bit Wine is missing: /usr/lib/wine/wine64 (package wine64)" >&2
    return 1
  fi
  mkdir -p "$bin"
  for name in wine wine-stable; do
    if [ ! -x "$bin/$name" ]; then
      printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/$name"
      chmod +x "$bin/$name"
    fi
  done
  case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
}

wine_env() {
  local base="${TESSAMOR_WINEPREFIX:-$here/build/wine}"
  export WINEDEBUG=-all
  export LANG=ja_JP.UTF-8
  export LC_ALL=ja_JP.UTF-8
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$WINE_BITS" = 64 ]; then
    export WINEPREFIX="${base}64"
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
    wine64_wrappers
  else
    export WINEPREFIX="$base"
    export WINEARCH=win32
    unset WINELOADER
  fi
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
  echo "[wine] creating the $WINE_BITS-bit Wine prefix in $WINEPREFIX"
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
