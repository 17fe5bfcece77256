#!/usr/bin/env bash
# Builds the 64-bit benchmarks and runs them under Wine on a private Xvfb display.
# tools/bench.sh [repetitions]   (pictures are generated once into build/bench-data)
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
trap lumora_cleanup EXIT

"$LUMORA_ROOT/tools/setup.sh"
lumora_configure_build x86_64 "$LUMORA_BUILD/x64" ON
cmake --build "$LUMORA_BUILD/x64" -j 2 --target render_bench

lumora_start_xvfb
lumora_start_wine
data="$LUMORA_BUILD/bench-data"
mkdir -p "$data"
"$LUMORA_WINE" "$LUMORA_BUILD/x64/bench/render_bench.exe" "Z:${data//\//\\}" "${1:-3}" </dev/null
