#!/usr/bin/env bash
# Whole-screen captures made by vsr.exe compared with ImageMagick's grab of
# the same screen. Runs in the Wine environment of tools/test.sh.
# Usage: capture_pixels.sh <e2e_capture_tests.exe>
set -uo pipefail
exe=$1
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d /tmp/vistrel-pixels.XXXXXX)
display_pid=""
cleanup() {
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  rm -rf "$out"
}
trap cleanup EXIT

# Colours on the screen: a gradient and ImageMagick's built-in photograph,
# shown by a plain X client beside the X root's own pattern.
convert -size 360x240 gradient:yellow-navy \( rose: -resize 200% \) -geometry +20+20 -composite \
  "$out/scene.png" || { echo "capture_pixels: convert failed" >&2; exit 1; }
display -geometry +560+380 -title vistrel-scene "$out/scene.png" &
display_pid=$!
for _ in $(seq 50); do
  xdotool search --name vistrel-scene >/dev/null 2>&1 && break
  sleep 0.2
done
xdotool search --name vistrel-scene >/dev/null 2>&1 || { echo "capture_pixels: scene window did not appear" >&2; exit 1; }
sleep 1

winout="Z:$(echo "$out" | sed 's|/|\\|g')"
VISTREL_CAPTURE_OUT=$winout timeout -k 5 180 wine "$exe" --gtest_color=no \
  --gtest_filter='Capture.WholeScreenToBmpJpegPngGif:Capture.WholeScreenToTheClipboardOfAnotherProgram' \
  || { echo "capture_pixels: the captures failed" >&2; exit 1; }
import -window root "$out/reference.png" || { echo "capture_pixels: import failed" >&2; exit 1; }
/usr/bin/python3 "$here/compare_capture.py" "$out/reference.png" "$out"
