#!/usr/bin/env bash
# On demand: the picture control's memory and GDI objects while it plays
# animations of 10, 100 and 1000 full-HD frames under Wine.
# Usage: tools/bench/preview_bench.sh [milliseconds of play each]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/tools/build.sh" win >/dev/null || { echo "preview_bench: build failed" >&2; exit 1; }
export VISTREL_WINE_DIR=${VISTREL_WINE_DIR:-$root/build/wine-bench}
source "$root/tools/wine-env.sh"
trap 'vistrel_teardown; rm -rf "$out"' EXIT
out=$(mktemp -d /tmp/vistrel-bench.XXXXXX)
vistrel_start_display || exit 1
vistrel_start_wine || exit 1
winout="Z:$(echo "$out" | sed 's|/|\\|g')"
timeout 900 wine "$vistrel_build/win/bin/previewbench.exe" "$winout" "${1:-5000}" | tr -d '\r'
