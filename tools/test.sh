#!/usr/bin/env bash
# Installs what is missing, builds both architectures (warnings are errors) and runs every test
# of the 64-bit build under Wine on a private Xvfb display. Exits non-zero on any failure.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
trap lumora_cleanup EXIT

"$LUMORA_ROOT/tools/setup.sh"

jobs=$(nproc)
for arch in i686 x86_64; do
  dir="$LUMORA_BUILD/win32"
  [ "$arch" = x86_64 ] && dir="$LUMORA_BUILD/x64"
  lumora_configure_build "$arch" "$dir" ON
  cmake --build "$dir" -j "$jobs"
done

lumora_start_xvfb
lumora_start_wine
# Tests that need their own pictures use the host's ImageMagick and exiftool through these.
export LUMORA_TEST_TMP="${LUMORA_TEST_TMP:-$LUMORA_BUILD/test-tmp}"
rm -rf "$LUMORA_TEST_TMP" && mkdir -p "$LUMORA_TEST_TMP"
ctest --test-dir "$LUMORA_BUILD/x64" --output-on-failure -j "$jobs" "$@"
