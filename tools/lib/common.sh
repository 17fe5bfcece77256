# Shared by tools/*.sh: build folders, the private Wine prefix and Xvfb display, and cleanup.
# Every process started here is recorded and stopped by lumora_cleanup (installed as an EXIT trap).

LUMORA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
LUMORA_BUILD="${LUMORA_BUILD_DIR:-$LUMORA_ROOT/build}"
export WINEPREFIX="${WINEPREFIX:-$LUMORA_BUILD/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
LUMORA_WINE=/usr/lib/wine/wine64
LUMORA_XVFB_PID=""
LUMORA_OWN_WINESERVER=0

lumora_configure_build() {  # arch(i686|x86_64) dir werror
  local arch=$1 dir=$2 werror=${3:-OFF}
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$LUMORA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$LUMORA_ROOT/cmake/mingw-$arch.cmake" \
      -DLUMORA_THIRD_PARTY="$LUMORA_BUILD/third_party/$arch" -DLUMORA_WERROR="$werror" >/dev/null
  else
    cmake "$dir" -DLUMORA_WERROR="$werror" >/dev/null
  fi
}

# Starts Xvfb on a free display unless one is given or already running for us.
lumora_start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" </dev/null >/dev/null 2>&1 &
  LUMORA_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "Xvfb did not start" >&2
    rm -f "$fdfile"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
  rm -f "$fdfile"
}

# The wineserver must not inherit our stdout/stderr (a pipe to ctest or CI would never close),
# and it must see DISPLAY from the start (Direct2D fails for good otherwise).
lumora_start_wine() {
  if ! /usr/lib/wine/wineserver -k >/dev/null 2>&1; then :; fi
  /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 &
  LUMORA_OWN_WINESERVER=1
  if [ ! -f "$WINEPREFIX/.lumora-ready" ]; then
    echo "setup: creating the Wine prefix $WINEPREFIX" >&2
    "$LUMORA_WINE" wineboot -i </dev/null >/dev/null 2>&1
    "$LUMORA_WINE" winecfg /v win10 </dev/null >/dev/null 2>&1
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    touch "$WINEPREFIX/.lumora-ready"
  fi
  # Let Wine's own services start now, detached from any pipe.
  "$LUMORA_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

lumora_cleanup() {
  if [ "$LUMORA_OWN_WINESERVER" = 1 ]; then
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$LUMORA_XVFB_PID" ]; then
    kill "$LUMORA_XVFB_PID" 2>/dev/null || true
    wait "$LUMORA_XVFB_PID" 2>/dev/null || true
  fi
}

# Linux path -> the path Wine sees on drive Z: (winepath is not on PATH in Debian's wine64).
lumora_winpath() {
  local p=$1
  printf 'Z:%s' "${p//\//\\}"
}
