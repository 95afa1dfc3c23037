#!/usr/bin/env python3
"""Reads the generated pictures and sound with independent decoders
(Pillow, ImageMagick's identify, Python's wave module).

Usage: check_generated.py RESOURCE_DIR IMG_DIR
"""
import os
import subprocess
import sys
import wave

from PIL import Image

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def main(res_dir, img_dir):
    with wave.open(os.path.join(res_dir, 'camera.wav')) as w:
        check(w.getnchannels() == 2, 'wav channels')
        check(w.getframerate() == 44100, 'wav rate')
        check(w.getsampwidth() == 2, 'wav sample width')
        check(w.getcomptype() == 'NONE', 'wav PCM')
        check(w.getnframes() * 4 == 53248, 'wav data bytes %d' % (w.getnframes() * 4))
    for n in (1, 2, 3):
        path = os.path.join(img_dir, 'STEP%d.GIF' % n)
        with Image.open(path) as im:
            check(im.format == 'GIF', path + ' format')
            check(im.size == (22, 21), path + ' size %r' % (im.size,))
            im.load()
            colours = {c for _, c in im.getcolors()}
            check(len(colours) >= 3, path + ' has a picture')
            check('transparency' in im.info, path + ' transparent background')
        out = subprocess.run(['identify', '-format', '%m %w %h', path], capture_output=True, text=True)
        check(out.returncode == 0 and out.stdout.strip() == 'GIF 22 21', path + ' identify: ' + out.stdout + out.stderr)
    # The three step pictures differ from each other.
    pixels = [Image.open(os.path.join(img_dir, 'STEP%d.GIF' % n)).convert('RGBA').tobytes() for n in (1, 2, 3)]
    check(len(set(pixels)) == 3, 'step pictures differ')
    for name in ('main', 'key', 'control'):
        path = os.path.join(res_dir, name + '.ico')
        with Image.open(path) as im:
            check(im.format == 'ICO', path)
            check({(16, 16), (32, 32), (48, 48)} <= set(im.info.get('sizes', ())), path + ' sizes')
            im.size = (32, 32)
            alpha = im.convert('RGBA').getchannel('A')
            lo, hi = alpha.getextrema()
            check(lo == 0 and hi == 255, path + ' has a transparent surround and an opaque picture')
    for f in failures:
        print('FAIL:', f)
    print('%d failure(s)' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1], sys.argv[2]))
