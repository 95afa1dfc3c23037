#!/usr/bin/env bash
# Stores captures on a small drive: a tmpfs of SIZE (default 64 KiB, no room
# for a capture) mapped into the test's Wine prefix as drive T:. Mounting
# needs root (as in CI); elsewhere the test reports itself skipped (exit 77).
# Animations the test leaves there are then read by Pillow: the test names
# each file with the number of frames it must hold, one "name frames" line in
# the file VISTREL_FRAMES_REPORT.
# Usage: full_disk.sh <test.exe> [gtest filter] [size]
set -u
test_exe=$1
filter=${2:-FullDisk.*}
size=${3:-64k}
if [ "$(id -u)" != 0 ]; then echo "full_disk: needs root to mount a tmpfs"; exit 77; fi
mnt=$(mktemp -d)
if ! mount -t tmpfs -o "size=$size" vistrel-full "$mnt"; then
  rmdir "$mnt"; echo "full_disk: cannot mount a tmpfs here"; exit 77
fi
link="$WINEPREFIX/dosdevices/t:"
report=$(mktemp)
cleanup() { rm -f "$link" "$report"; umount "$mnt"; rmdir "$mnt"; }
trap cleanup EXIT
ln -sfn "$mnt" "$link"
VISTREL_FULL_DISK='T:' VISTREL_FRAMES_REPORT="Z:$(echo "$report" | sed 's|/|\\|g')" \
  timeout -k 5 240 wine "$test_exe" --gtest_filter="$filter" --gtest_color=no
rc=$?
[ $rc = 124 ] && echo "full_disk: the test program did not finish within 240 s"
[ $rc = 0 ] || exit $rc
/usr/bin/python3 - "$mnt" "$report" <<'PY'
import sys
from PIL import Image
failed = False
for line in open(sys.argv[2], encoding="latin-1").read().split("\n"):
    if not line.strip():
        continue
    name, frames = line.rsplit(" ", 1)
    with Image.open(f"{sys.argv[1]}/{name}") as im:
        n = getattr(im, "n_frames", 1)
        im.seek(n - 1)
        im.load()
    ok = n == int(frames)
    print(f"full_disk: {name} holds {n} frames, the program said {frames}: {'ok' if ok else 'WRONG'}")
    failed |= not ok
sys.exit(1 if failed else 0)
PY
