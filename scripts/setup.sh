#!/usr/bin/env bash
# Installs everything the build, the program and the tests need, and skips what is already there.
# Safe to run again: every step checks before it acts.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
mkdir -p "$build"

log() { printf '[setup] %s\n' "$*"; }
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# --- Debian packages -------------------------------------------------------
native_pkgs=(build-essential cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  libjpeg62-turbo-dev libpng-dev zlib1g-dev googletest libgtest-dev libbenchmark-dev
  imagemagick libjpeg-turbo-progs netpbm libvips-tools)
# Both Windows builds: the 32-bit program (wine32 runs it where the kernel runs 32-bit code) and
# the 64-bit one (wine64 runs it on every x86-64 host). ghostscript renders the page the printing
# test prints.
cross_pkgs=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev nasm wine wine32:i386 wine64
  xvfb xauth x11-apps locales fonts-ipafont-gothic fonts-wine python3 dpkg-dev ghostscript)

if [ "${TESSAMOR_NATIVE_ONLY:-0}" = 1 ]; then cross_pkgs=(); fi
# 32-bit Wine only where the kernel runs 32-bit programs: elsewhere it could not start, and the
# scripts of its packages could fail to install.
source "$here/scripts/wine-env.sh"
if [ ${#cross_pkgs[@]} -gt 0 ] && ! kernel_runs_i386; then
  log "$KERNEL_WHY: 32-bit Wine is left out, the 64-bit program will be run"
  kept=()
  for p in "${cross_pkgs[@]}"; do [ "$p" = wine32:i386 ] || kept+=("$p"); done
  cross_pkgs=("${kept[@]}")
fi

missing=()
for p in "${native_pkgs[@]}" "${cross_pkgs[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  q=$name; [ -n "$arch" ] && q="$name:$arch"
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

need_update=0
if [[ " ${cross_pkgs[*]} " == *" wine32:i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  log "adding the i386 architecture (32-bit Wine)"
  $SUDO dpkg --add-architecture i386
  need_update=1
fi
# Source entries: the cross build compiles libjpeg-turbo and libpng from Debian's source packages.
src_list=/etc/apt/sources.list.d/tessamor-src.sources
if [ ${#cross_pkgs[@]} -gt 0 ] && [ ! -f "$src_list" ]; then
  log "adding deb-src entries for the Debian archive"
  deb_file=/etc/apt/sources.list.d/debian.sources
  if [ -f "$deb_file" ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' "$deb_file" | $SUDO tee "$src_list" >/dev/null
  else
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      | $SUDO tee "$src_list" >/dev/null
  fi
  need_update=1
fi
if [ ${#missing[@]} -gt 0 ]; then need_update=1; fi
if [ $need_update = 1 ]; then
  log "apt-get update"
  $SUDO apt-get update -qq -o Acquire::Retries=3 || log "apt-get update reported problems; going on"
fi
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends -o Acquire::Retries=3 "${missing[@]}" >/dev/null
fi

if [ ${#cross_pkgs[@]} -eq 0 ]; then log "native set-up done"; exit 0; fi

# --- Japanese locale (Wine takes its ANSI code page, 932, from it) -----------
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  log "generating the ja_JP.UTF-8 locale"
  $SUDO sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

# --- libjpeg-turbo, libpng and GoogleTest for the cross build ----------------
"$here/scripts/cross-deps.sh"
log "done"
