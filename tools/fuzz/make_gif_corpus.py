#!/usr/bin/env python3
"""Writes the GIF block reader fuzzer's seed corpus with our encoder (imgconv):
one frame, three frames with control blocks, one with comment, application
and plain-text blocks spliced in, and a truncated animation.
  make_gif_corpus.py IMGCONV [OUTDIR]"""
import os
import struct
import subprocess
import sys
import tempfile

imgconv = sys.argv[1]
out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "gif_corpus")
os.makedirs(out, exist_ok=True)


def bmp8(width, height, pixel, colours=16):
    stride = (width + 3) // 4 * 4
    rows = b"".join(bytes(pixel(x, y) % colours for x in range(width)).ljust(stride, b"\0") for y in range(height))
    table = b"".join(bytes([(i * 53) & 255, (i * 91) & 255, (i * 37) & 255, 0]) for i in range(colours))
    offset = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(rows), 3780, 3780, colours, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + table + rows


def encode(frames, *options):
    with tempfile.TemporaryDirectory() as tmp:
        inputs = []
        for i, picture in enumerate(frames):
            inputs.append(os.path.join(tmp, "%d.bmp" % i))
            with open(inputs[-1], "wb") as f:
                f.write(picture)
        target = os.path.join(tmp, "out.gif")
        subprocess.run([imgconv, "--coder", "2", *options, *inputs, target], check=True)
        with open(target, "rb") as f:
            return f.read()


def save(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def screen_end(gif):
    """Offset of the first block after the header and the global table."""
    packed = gif[10]
    return 13 + (3 << ((packed & 7) + 1) if packed & 0x80 else 0)


save("one_frame.gif", encode([bmp8(12, 9, lambda x, y: x * y)]))
animation = encode([bmp8(10, 8, lambda x, y, k=k: x + y * k) for k in range(3)], "--delay", "7", "--loop",
                   "0")
save("three_frames.gif", animation)
save("local_tables.gif",
     encode([bmp8(6, 5, lambda x, y, k=k: x ^ y ^ k, 4) for k in range(2)], "--local-tables", "--delay",
            "50"))

# Blocks our encoder never writes: an application block of another kind in
# front, and a plain-text block with its own control block before the trailer.
blocks = encode([bmp8(8, 4, lambda x, y: x), bmp8(8, 4, lambda x, y: y)], "--comment", "seed")
head = screen_end(blocks)
application = b"\x21\xff\x0bXMP DataXMP\x03abc\x00"
plain_text = (b"\x21\xf9\x04\x08\x05\x00\x00\x00" + b"\x21\x01\x0c" + struct.pack("<HHHHBBBB", 0, 0, 8, 4, 4, 4, 1, 0) +
              b"\x02hi\x00")
assert blocks[-1] == 0x3B
save("comment_application_plain_text.gif", blocks[:head] + application + blocks[head:-1] + plain_text + b"\x3b")

# Cut inside the raster of the second frame: only the first frame remains.
save("truncated.gif", animation[:len(animation) * 2 // 3])
