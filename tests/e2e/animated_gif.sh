#!/usr/bin/env bash
# The animated GIF sessions, then their files read by Pillow: frames, delay
# and loop as the program was told. Runs in the Wine environment.
# Usage: animated_gif.sh <e2e_animated_tests.exe>
set -uo pipefail
out=$(mktemp -d /tmp/vistrel-animated.XXXXXX)
trap 'rm -rf "$out"' EXIT
VISTREL_ANIMATED_OUT="Z:$(echo "$out" | sed 's|/|\\|g')" timeout -k 5 400 wine "$1" --gtest_color=no \
  || { echo "animated_gif: the sessions failed" >&2; exit 1; }
/usr/bin/python3 - "$out" <<'PY'
import sys
from PIL import Image
failed = False
for name, frames, duration in (("three.gif", 3, 1000), ("zero.gif", 2, 0), ("wrap.gif", 2, 0)):
    with Image.open(f"{sys.argv[1]}/{name}") as im:
        seen = [im.info.get("duration")]
        while True:
            try:
                im.seek(im.tell() + 1)
            except EOFError:
                break
            seen.append(im.info.get("duration"))
        ok = len(seen) == frames and all(d == duration for d in seen) and im.info.get("loop") == 0
        print(f"{name}: frames {len(seen)}, durations {seen}, loop {im.info.get('loop')}: {'ok' if ok else 'WRONG'}")
        failed |= not ok
# The window that grew, then shrank: the third picture shows nothing of the
# second outside its own 240x160.
with Image.open(f"{sys.argv[1]}/grown.gif") as im:
    im.seek(2)
    third = im.convert("RGB")
    outside = {third.getpixel((x, y)) for x in range(im.size[0]) for y in range(im.size[1])
               if x >= 240 or y >= 160}
    ok = im.size == (420, 280) and len(outside) == 1
    print(f"grown.gif: screen {im.size}, {len(outside)} colours outside the third frame: {'ok' if ok else 'WRONG'}")
    failed |= not ok
sys.exit(1 if failed else 0)
PY
