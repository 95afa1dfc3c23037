#!/usr/bin/env bash
# Whole-screen captures made by vsr.exe compared with ImageMagick's grab of
# the same screen. Runs in the Wine environment of tools/test.sh.
# Usage: capture_pixels.sh <e2e_capture_tests.exe> [dpi]
# With a DPI, the screen's DPI (LogPixels) is set to it for one capture
# series (vsr.exe is per-monitor aware: its pictures stay in screen pixels
# while its dialogs grow) and put back afterwards.
set -uo pipefail
exe=$1
dpi=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d /tmp/vistrel-pixels.XXXXXX)
display_pid=""
cleanup() {
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  rm -rf "$out"
}
trap cleanup EXIT
if [ -n "$dpi" ]; then
  desktop='HKCU\Control Panel\Desktop'
  old=$(wine reg query "$desktop" /v LogPixels 2>/dev/null | tr -d '\r' | awk '/LogPixels/ {print $3}')
  restore_dpi() {
    if [ -n "$old" ]; then wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$old" /f
    else wine reg delete "$desktop" /v LogPixels /f; fi >/dev/null 2>&1
  }
  trap 'restore_dpi; cleanup' EXIT
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 \
    || { echo "capture_pixels: LogPixels could not be set" >&2; exit 1; }
  filter=Capture.WholeScreenToBmpJpegPngGif
  only=files-only
else
  filter='Capture.WholeScreenToBmpJpegPngGif:Capture.WholeScreenToTheClipboardOfAnotherProgram'
  only=""
fi

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
VISTREL_CAPTURE_OUT=$winout VISTREL_EXPECT_DPI=$dpi timeout -k 5 180 wine "$exe" --gtest_color=no \
  --gtest_filter="$filter" \
  || { echo "capture_pixels: the captures failed" >&2; exit 1; }
import -window root "$out/reference.png" || { echo "capture_pixels: import failed" >&2; exit 1; }
/usr/bin/python3 "$here/compare_capture.py" "$out/reference.png" "$out" $only
