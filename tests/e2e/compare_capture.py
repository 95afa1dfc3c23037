#!/usr/bin/python3
"""Compares vsr.exe's whole-screen captures with ImageMagick's grab of the
same screen, reading every file with decoders other than ours (Pillow,
djpeg, pngcheck). Usage: compare_capture.py reference.png folder"""
import subprocess
import sys

from PIL import Image

reference = Image.open(sys.argv[1]).convert("RGB")
folder = sys.argv[2]
# "files-only": the run made the files but no clipboard capture.
with_clipboard = sys.argv[3:4] != ["files-only"]
failures = []


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def pixels(image):
    return list(image.convert("RGB").getdata())


ref = pixels(reference)


def compare(name, image, exact, tolerance=0.0):
    if image.size != reference.size:
        fail(f"{name}: size {image.size}, screen {reference.size}")
        return
    got = pixels(image)
    if exact:
        wrong = sum(1 for a, b in zip(got, ref) if a != b)
        if wrong:
            fail(f"{name}: {wrong} pixels differ from the screen")
        else:
            print(f"{name}: equals the screen")
        return
    total = sum(abs(a[i] - b[i]) for a, b in zip(got, ref) for i in range(3))
    mean = total / (3 * len(ref))
    print(f"{name}: mean difference {mean:.2f} per channel")
    if mean > tolerance:
        fail(f"{name}: mean difference {mean:.2f} above {tolerance}")


def check_tool(name, command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"{name}: {' '.join(command[:1])} refused it: {result.stdout}{result.stderr}")


bmp = Image.open(f"{folder}/screen.bmp")
compare("screen.bmp", bmp, exact=True)

if with_clipboard:
    clip = Image.open(f"{folder}/clipboard.bmp")
    compare("clipboard CF_DIB", clip, exact=True)

png_path = f"{folder}/screen.png"
check_tool("screen.png", ["pngcheck", "-q", png_path])
png = Image.open(png_path)
compare("screen.png", png, exact=True)

jpg_path = f"{folder}/screen.jpg"
check_tool("screen.jpg", ["djpeg", "-outfile", "/dev/null", jpg_path])
jpg = Image.open(jpg_path)
if jpg.info.get("jfif") is None or tuple(jpg.info.get("dpi", (0, 0))) != (72, 72):
    fail(f"screen.jpg: not JFIF at 72 dpi ({jpg.info.get('dpi')})")
# Quality 75 halves the standard tables: the luminance DC step 16 becomes 8.
if jpg.quantization.get(0, [0])[0] != 8:
    fail(f"screen.jpg: luminance DC step {jpg.quantization.get(0, [0])[0]}, quality 75 gives 8")
compare("screen.jpg", jpg, exact=False, tolerance=4.0)

gif = Image.open(f"{folder}/screen.gif")
if gif.mode != "P":
    fail(f"screen.gif: mode {gif.mode}, expected an indexed image")
palette = gif.getpalette()[: 3 * 256]
colours = [tuple(palette[i : i + 3]) for i in range(0, len(palette), 3)]
used = set(pixels(gif))
if not used <= set(colours):
    fail("screen.gif: pixels outside its colour table")


# Each distinct screen colour should map close to its nearest table entry.
def nearest_distance(c):
    return min(sum(abs(c[i] - p[i]) for i in range(3)) for p in colours)


gif_pixels = pixels(gif)
pairs = {}
for a, b in zip(ref, gif_pixels):
    pairs.setdefault(a, b)
worse = 0
for screen_colour, gif_colour in list(pairs.items())[:2000]:
    mapped = sum(abs(screen_colour[i] - gif_colour[i]) for i in range(3))
    if mapped > nearest_distance(screen_colour) + 96:
        worse += 1
print(f"screen.gif: {len(used)} colours used, {len(pairs)} screen colours checked")
if worse:
    fail(f"screen.gif: {worse} screen colours mapped far from their nearest table entry")

sys.exit(1 if failures else 0)
