#!/usr/bin/env bash
# Starts LumoraViewer.exe (64-bit build) under Wine on a picture, or on a sample picture it makes.
# With $DISPLAY set the viewer runs there until you close it. Without one, a private Xvfb is
# started, the main window is waited for, a screenshot is saved to build/run-screenshot.png and
# the viewer is ended (tests/driver.exe finds the window and takes the screenshot).
set -euo pipefail
user_display="${DISPLAY:-}"
. "$(dirname "$0")/lib/common.sh"
trap lumora_cleanup EXIT

"$LUMORA_ROOT/tools/setup.sh"
dir="$LUMORA_BUILD/x64"
# The same warning setting as tools/test.sh, so switching between the two rebuilds nothing; only
# the program, its companions, its files and the driver are built.
lumora_configure_build x86_64 "$dir" ON
cmake --build "$dir" -j "$(nproc)" --target LumoraViewer SvcBridge LumoraTray lumora_res_assets \
  lang_files driver >/dev/null

picture="${1:-}"
if [ -z "$picture" ]; then
  picture="$LUMORA_BUILD/sample.jpg"
  if [ ! -f "$picture" ]; then
    convert -size 2400x1600 -seed 7 plasma:steelblue-orange -blur 0x3 "$picture"
  fi
fi
picture="$(cd "$(dirname "$picture")" && pwd)/$(basename "$picture")"
exe="$dir/bin/LumoraViewer.exe"

if [ -n "$user_display" ]; then
  export DISPLAY="$user_display"
  lumora_start_wine
  echo "run: starting $exe \"$picture\" on $DISPLAY"
  set +e
  "$LUMORA_WINE" "$exe" "$(lumora_winpath "$picture")"
  rc=$?
  echo "run: the viewer ended with exit code $rc"
  exit 0
fi

lumora_start_xvfb
lumora_start_wine
echo "run: starting $exe \"$picture\" on a private display $DISPLAY"
"$LUMORA_WINE" "$exe" "$(lumora_winpath "$picture")" </dev/null >/dev/null 2>&1 &
viewer=$!
shot="$LUMORA_BUILD/run-screenshot.png"
driver="$dir/tests/driver.exe"
found=""
# The driver finds the viewer's main window by its class name from inside Wine; ask in short
# rounds so an early end of the viewer is noticed.
for _ in $(seq 1 60); do
  if ! kill -0 "$viewer" 2>/dev/null; then break; fi
  if found=$("$LUMORA_WINE" "$driver" wait-window LumoraViewer.exe 1000 </dev/null 2>/dev/null); then
    break
  fi
  found=""
done
if [ -n "$found" ]; then
  echo "run: main window $found"
  rm -f "$shot"
  "$LUMORA_WINE" "$driver" screenshot "$(lumora_winpath "$shot")" \
    LumoraViewer.exe </dev/null >/dev/null 2>&1 || true
  if [ -s "$shot" ]; then
    echo "run: the main window appeared; screenshot saved to $shot"
  else
    echo "run: the main window appeared but the screenshot failed" >&2
  fi
  "$LUMORA_WINE" "$driver" close LumoraViewer.exe 5000 </dev/null >/dev/null 2>&1 || true
  kill "$viewer" 2>/dev/null || true
  wait "$viewer" 2>/dev/null || true
else
  set +e
  wait "$viewer"
  rc=$?
  echo "run: the viewer ended with exit code $rc without showing a main window"
fi
