#!/usr/bin/env bash
# Regenerates the documentation's pictures in docs/images/: vsr.exe on the
# suite's virtual display (1024x768, 24 bits) in a fresh Wine prefix, driven
# into each scene by shots.exe. Run on demand; not part of the test suite.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VISTREL_BUILD:-$root/build}
# Only the programs the pictures need once the Windows tree exists.
if [ -f "$build/win/build.ninja" ]; then
  flock "$build/.build.lock" cmake --build "$build/win" --target shots keepalive
else
  "$root/tools/build.sh" win
fi || { echo "screenshots: build failed" >&2; exit 1; }

export VISTREL_WINE_DIR=${VISTREL_WINE_DIR:-${VISTREL_BUILD:-$root/build}/wine-shots}
unset VISTREL_DISPLAY
source "$root/tools/wine-env.sh"
trap 'vistrel_teardown' EXIT
trap 'exit 130' INT TERM
vistrel_start_display || exit 1
vistrel_start_wine || exit 1

out=$vistrel_build/shots
rm -rf "$out"; mkdir -p "$out"
bin=$vistrel_build/win/bin
cd "$bin"
export VISTREL_XDOTOOL=$(command -v xdotool)
vistrel_timeout 180 "shots.exe" wine ./shots.exe "Z:${out//\//\\}"
rc=$?

images=$root/docs/images
mkdir -p "$images"
for ppm in "$out"/*.ppm; do
  png=$images/$(basename "$ppm" .ppm).png
  convert "$ppm" -strip -define png:compression-level=9 "$png" || exit 1
  echo "screenshots: $png ($(stat -c %s "$png") bytes)"
done
[ $rc = 0 ] || echo "screenshots: some scenes failed (see above)" >&2
exit $rc
