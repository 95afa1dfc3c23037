#!/usr/bin/env python3
"""imgconv judged by Pillow and ImageMagick: BMP files of 1, 4, 8, 24 and 32
bits (written here, byte by byte) go through every writer, and the files must
decode to the source pixels (JPEG within a tolerance). Animations keep frame
count, delays and loop count; broken input gives a message and exit 1.
Usage: check_with_decoders.py IMGCONV WORKDIR
VISTREL_RUNNER (e.g. wine) runs the converter; VISTREL_CHECK_QUICK=1 keeps
to a few sizes (each Windows program start costs time)."""
import os
import random
import struct
import subprocess
import sys

from PIL import Image

imgconv, work = sys.argv[1], sys.argv[2]
runner = [os.environ["VISTREL_RUNNER"]] if os.environ.get("VISTREL_RUNNER") else []
quick = os.environ.get("VISTREL_CHECK_QUICK") == "1"
os.makedirs(work, exist_ok=True)
failures = []
checks = 0


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def write_bmp(path, width, height, bits, palette, pixels):
    """pixels[y][x] top-down: an index, or (r, g, b)."""
    stride = (width * bits + 31) // 32 * 4
    rows = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            v = pixels[y][x]
            if bits == 1:
                row[x // 8] |= v << (7 - x % 8)
            elif bits == 4:
                row[x // 2] |= v << (4 if x % 2 == 0 else 0)
            elif bits == 8:
                row[x] = v
            elif bits == 24:
                row[3 * x:3 * x + 3] = bytes((v[2], v[1], v[0]))
            else:
                row[4 * x:4 * x + 4] = bytes((v[2], v[1], v[0], 0x5A))
        rows += row
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(rows), 2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(table)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + table + rows)


def source(width, height, bits, seed):
    rnd = random.Random(seed)
    if bits <= 8:
        n = 1 << bits
        palette = [(rnd.randrange(256), rnd.randrange(256), i) for i in range(n)]
        pixels = [[(x // 3 + y) % n if rnd.random() < 0.6 else rnd.randrange(n) for x in range(width)]
                  for y in range(height)]
        rgb = [palette[v] for row in pixels for v in row]
    else:
        palette = []
        pixels = [[(min(255, 30 + 2 * x), min(255, 200 - y), (x + y) % 256) for x in range(width)]
                  for y in range(height)]
        rgb = [v for row in pixels for v in row]
    return palette, pixels, rgb


def run(args, expect_ok=True):
    p = subprocess.run(runner + [imgconv] + args, capture_output=True, text=True, timeout=60)
    if expect_ok and p.returncode != 0:
        fail(f"imgconv {' '.join(args)}: exit {p.returncode}: {p.stderr.strip()}")
    return p


def pillow_rgb(path):
    # A true-colour GIF is a mosaic of tiles: the last frame shows them all.
    with Image.open(path) as im:
        im.seek(getattr(im, "n_frames", 1) - 1)
        return list(im.convert("RGB").getdata()), im.size


def magick_rgb(path, width, height):
    out = subprocess.run(["/usr/bin/convert", path, "-layers", "flatten", "-depth", "8", "rgb:-"], capture_output=True,
                         timeout=60).stdout
    return [tuple(out[i:i + 3]) for i in range(0, len(out), 3)][: width * height]


def close(a, b, tolerance):
    return len(a) == len(b) and all(abs(p - q) <= tolerance for u, v in zip(a, b) for p, q in zip(u, v))


seed = 1
for bits in (1, 8, 32) if quick else (1, 4, 8, 24, 32):
    for (w, h) in ((31, 7),) if quick else ((1, 1), (17, 15), (31, 7), (1, 40), (120, 90)):
        seed += 1
        palette, pixels, rgb = source(w, h, bits, seed)
        src = os.path.join(work, f"src_{bits}_{w}x{h}.bmp")
        write_bmp(src, w, h, bits, palette, pixels)
        outputs = [("gif", ["--coder", "0"]), ("gif", ["--coder", "1"]), ("gif", ["--coder", "2"]),
                   ("png", []), ("bmp", [])]
        if bits > 8:
            outputs.append(("jpg", ["--quality", "95"]))
        for ext, opts in outputs:
            out = os.path.join(work, f"out_{bits}_{w}x{h}_{'_'.join(opts) or 'plain'}.{ext}")
            if run(opts + [src, out]).returncode != 0:
                continue
            tolerance = 12 if ext == "jpg" else 0
            what = f"{bits} bits {w}x{h} -> {ext} {' '.join(opts)}"
            got, size = pillow_rgb(out)
            checks += 1
            if size != (w, h) or not close(got, rgb, tolerance):
                fail(f"Pillow: {what}")
            checks += 1
            if not close(magick_rgb(out, w, h), rgb, tolerance):
                fail(f"ImageMagick: {what}")

# An animation: frame count, delays, loop count.
frames = []
for i in range(3):
    palette, pixels, rgb = source(30, 20, 8, 100 + i)
    path = os.path.join(work, f"frame{i}.bmp")
    write_bmp(path, 30, 20, 8, palette, pixels)
    frames.append((path, rgb))
anim = os.path.join(work, "anim.gif")
run(["--coder", "2", "--delay", "20", "--loop", "3", "--local-tables"] + [f for f, _ in frames] + [anim])
with Image.open(anim) as im:
    checks += 1
    if im.n_frames != 3 or im.info.get("loop") != 2 or im.info.get("duration") != 200:
        fail(f"Pillow animation: frames {im.n_frames}, loop {im.info.get('loop')}, "
             f"duration {im.info.get('duration')}")
    for i in range(3):
        im.seek(i)
        checks += 1
        if list(im.convert("RGB").getdata()) != frames[i][1]:
            fail(f"Pillow animation frame {i} pixels")
ident = subprocess.run(["/usr/bin/identify", "-format", "%T %w %h\n", anim], capture_output=True, text=True,
                       timeout=60).stdout.split()
checks += 1
if ident != ["20", "30", "20"] * 3:
    fail(f"ImageMagick animation: {ident}")

# Broken input: a clear message and exit 1.
good = open(frames[0][0], "rb").read()
cases = {
    "truncated": good[: len(good) - 7],
    "not_bmp": b"GIF89a" + good[6:],
    "rle8": good[:30] + struct.pack("<I", 1) + good[34:],
    "depth2": good[:28] + struct.pack("<H", 2) + good[30:],
    "empty": b"",
}
for name, data in cases.items():
    path = os.path.join(work, f"bad_{name}.bmp")
    with open(path, "wb") as f:
        f.write(data)
    p = run([path, os.path.join(work, f"bad_{name}.gif")], expect_ok=False)
    checks += 1
    if p.returncode != 1 or "imgconv: " not in p.stderr or "bad_" not in p.stderr:
        fail(f"broken input {name}: exit {p.returncode}, message {p.stderr.strip()!r}")
    else:
        print(f"broken input {name}: {p.stderr.strip()}")
p = run([os.path.join(work, "missing.bmp"), os.path.join(work, "x.gif")], expect_ok=False)
checks += 1
if p.returncode != 1 or "cannot read" not in p.stderr:
    fail(f"missing input: {p.returncode} {p.stderr!r}")

print(f"{checks - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
