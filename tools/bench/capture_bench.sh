#!/usr/bin/env bash
# On demand: one capture step of a full 1024x768 screen per output under
# Wine, beside ImageMagick's `import -window root` writing the same format on
# the same display. Usage: tools/bench/capture_bench.sh [rounds]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
rounds=${1:-10}
"$root/tools/build.sh" win >/dev/null || { echo "capture_bench: build failed" >&2; exit 1; }
export VISTREL_WINE_DIR=${VISTREL_WINE_DIR:-$root/build/wine-bench}
source "$root/tools/wine-env.sh"
trap 'vistrel_teardown; rm -rf "$out"' EXIT
out=$(mktemp -d /tmp/vistrel-bench.XXXXXX)
vistrel_start_display || exit 1
vistrel_start_wine || exit 1
# Something to encode: gradients and a photograph on the root window.
convert -size 1024x768 plasma:fractal "$out/scene.png"
display -window root "$out/scene.png"
winout="Z:$(echo "$out" | sed 's|/|\\|g')"
ours=$(timeout 300 wine "$vistrel_build/win/bin/capturebench.exe" "$winout" "$rounds" | tr -d '\r') || exit 1
printf "%-10s %12s %12s %7s\n" output "vsr ms" "import ms" ratio
while read -r name ms; do
  fmt=$name; [ "$name" = clipboard ] && fmt=bmp
  [ "$name" = bmp ] && fmt=bmp3
  start=$(date +%s.%N)
  for _ in $(seq "$rounds"); do import -window root "$fmt:$out/im.$name" || exit 1; done
  end=$(date +%s.%N)
  im=$(echo "($end - $start) * 1000 / $rounds" | bc -l)
  printf "%-10s %12.1f %12.1f %7.2f\n" "$name" "$ms" "$im" "$(echo "$ms / $im" | bc -l)"
done <<<"$ours"
