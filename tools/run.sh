#!/usr/bin/env bash
# Builds the Windows tree and starts Vistrel under Wine on the current display.
# Without a display, starts it on a virtual one and leaves a screenshot of the
# main window in build/screenshot.png.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/build.sh" win || { echo "run: build failed" >&2; exit 1; }

headless=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  VISTREL_DISPLAY=$DISPLAY
else
  headless=1
fi
export VISTREL_WINE_DIR=${VISTREL_WINE_DIR:-${VISTREL_BUILD:-$root/build}/wine-run}
source "$root/tools/wine-env.sh"
trap 'vistrel_teardown' EXIT
vistrel_start_display || exit 1
if [ ! -d "$WINEPREFIX/drive_c" ]; then vistrel_start_wine || exit 1; fi

bin=$vistrel_build/win/bin
cd "$bin"   # the step pictures are read from img\ below the working directory
if [ $headless = 0 ]; then
  wine ./vsr.exe
  exit $?
fi
wine ./vsr.exe &
app=$!
for _ in $(seq 1 60); do
  xdotool search --name '^Vistrel' >/dev/null 2>&1 && break
  sleep 0.5
done
if ! xdotool search --name '^Vistrel' >/dev/null 2>&1; then
  echo "run: the main window did not appear within 30s" >&2
  exit 1
fi
sleep 1
import -window root "$vistrel_build/screenshot.png"
echo "run: screenshot of the main window in $vistrel_build/screenshot.png"
kill $app 2>/dev/null
