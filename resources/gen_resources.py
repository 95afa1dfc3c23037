#!/usr/bin/env python3
"""Makes the pictures and the sound of vsr.exe: icons, step pictures, camera sound.

Plain Python, no third-party modules, deterministic output.
Usage:
  gen_resources.py wav OUT.wav
  gen_resources.py ico main|key|control OUT.ico
  gen_resources.py gif 1|2|3 OUT.gif
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------- sound

WAV_RATE = 44100
WAV_CHANNELS = 2
WAV_BITS = 16
WAV_DATA_BYTES = 53248  # 13312 stereo frames, about 0.3 s
WAV_FRAMES = WAV_DATA_BYTES // (WAV_CHANNELS * WAV_BITS // 8)


class Noise:
    """Small linear congruential generator: the same sound on every build."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x3FFFFFFF - 1.0


def shutter_samples():
    """Two mechanical clicks (shutter opening and closing) over a short thump."""
    clicks = [(0.000, 1.0, 0.012), (0.105, 0.8, 0.018)]
    noise_l, noise_r = Noise(7), Noise(11)
    lp_l = lp_r = 0.0
    frames = []
    for i in range(WAV_FRAMES):
        t = i / WAV_RATE
        env = 0.0
        for start, gain, decay in clicks:
            if t >= start:
                env += gain * math.exp(-(t - start) / decay)
        # Low-passed noise sounds like metal blades rather than hiss.
        lp_l += 0.35 * (noise_l.next() - lp_l)
        lp_r += 0.35 * (noise_r.next() - lp_r)
        thump = 0.5 * math.exp(-t / 0.03) * math.sin(2 * math.pi * 140 * t)
        thump2 = 0.35 * math.exp(-max(0.0, t - 0.105) / 0.03) * math.sin(2 * math.pi * 180 * t) if t >= 0.105 else 0.0
        fade = min(1.0, (WAV_FRAMES - i) / 2000.0)  # ends in silence
        left = (env * lp_l + thump + thump2) * fade
        right = (env * lp_r + thump + thump2) * fade
        frames.append((left, right))
    return frames


def write_wav(path):
    data = bytearray()
    for left, right in shutter_samples():
        for v in (left, right):
            data += struct.pack('<h', max(-32767, min(32767, int(v * 26000))))
    assert len(data) == WAV_DATA_BYTES
    block_align = WAV_CHANNELS * WAV_BITS // 8
    fmt = struct.pack('<HHIIHH', 1, WAV_CHANNELS, WAV_RATE, WAV_RATE * block_align, block_align, WAV_BITS)
    riff = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(data)) + bytes(data)
    write_file(path, b'RIFF' + struct.pack('<I', len(riff)) + riff)


# ---------------------------------------------------------------- drawing

def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                hit = not hit
        return hit
    return inside


def render(size, layers, samples=4):
    """Layers (shape on a 0..1 square, RGB) painted in order; returns RGBA rows."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour = None
                    for shape, rgb in layers:
                        if shape(x, y):
                            colour = rgb
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = samples * samples
            if acc[3]:
                row.append((int(acc[0] / acc[3]), int(acc[1] / acc[3]), int(acc[2] / acc[3]), int(255 * acc[3] / n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_layers(kind):
    if kind == 'main':  # a camera
        return [
            (rounded_rect(0.06, 0.28, 0.94, 0.86, 0.10), (60, 64, 72)),
            (rounded_rect(0.14, 0.18, 0.40, 0.32, 0.04), (60, 64, 72)),
            (rounded_rect(0.70, 0.34, 0.86, 0.44, 0.03), (250, 220, 90)),
            (circle(0.50, 0.57, 0.24), (210, 215, 225)),
            (circle(0.50, 0.57, 0.18), (40, 90, 170)),
            (circle(0.50, 0.57, 0.09), (20, 30, 60)),
            (circle(0.44, 0.51, 0.04), (230, 240, 255)),
        ]
    if kind == 'key':  # a key cap with an arrow
        return [
            (rounded_rect(0.08, 0.10, 0.92, 0.90, 0.14), (90, 94, 104)),
            (rounded_rect(0.14, 0.14, 0.86, 0.76, 0.10), (235, 236, 240)),
            (polygon([(0.30, 0.46), (0.52, 0.26), (0.52, 0.38), (0.72, 0.38), (0.72, 0.54), (0.52, 0.54), (0.52, 0.66)]),
             (200, 40, 40)),
        ]
    if kind == 'control':  # a pointer over a button
        return [
            (rounded_rect(0.04, 0.08, 0.80, 0.50, 0.06), (80, 84, 94)),
            (rounded_rect(0.08, 0.12, 0.76, 0.46, 0.04), (225, 228, 235)),
            (polygon([(0.40, 0.30), (0.40, 0.98), (0.55, 0.83), (0.66, 1.0), (0.76, 0.95), (0.65, 0.78), (0.86, 0.76)]),
             (0, 0, 0)),
            (polygon([(0.44, 0.40), (0.44, 0.88), (0.56, 0.76), (0.68, 0.93), (0.71, 0.91), (0.60, 0.73), (0.76, 0.72)]),
             (255, 255, 255)),
        ]
    raise SystemExit('unknown icon ' + kind)


def ico_image(rows):
    """One icon image: a 32-bit bottom-up DIB followed by its AND mask."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def write_ico(kind, path):
    images = [(s, ico_image(render(s, icon_layers(kind)))) for s in (16, 32, 48)]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    write_file(path, bytes(out))


# ---------------------------------------------------------------- step pictures

GIF_W, GIF_H = 22, 21  # 15 x 13 dialog units with an 8-point dialog font

DIGITS = {  # 5 x 7
    1: ['..#..', '.##..', '..#..', '..#..', '..#..', '..#..', '.###.'],
    2: ['.###.', '#...#', '....#', '...#.', '..#..', '.#...', '#####'],
    3: ['####.', '....#', '....#', '.###.', '....#', '....#', '####.'],
}
STEP_COLOURS = {1: (30, 110, 200), 2: (40, 150, 70), 3: (210, 110, 20)}


def step_pixels(n):
    """Palette indices: 0 background (transparent), 1 disc, 2 rim, 3 digit."""
    cx, cy, r = (GIF_W - 1) / 2, (GIF_H - 1) / 2, 10.2
    pix = []
    for y in range(GIF_H):
        for x in range(GIF_W):
            d = math.hypot(x - cx, y - cy)
            pix.append(0 if d > r else 2 if d > r - 1.3 else 1)
    glyph = DIGITS[n]
    gx0, gy0 = (GIF_W - 10) // 2 + 1, (GIF_H - 14) // 2
    for gy, line in enumerate(glyph):
        for gx, ch in enumerate(line):
            if ch == '#':
                for dy in range(2):
                    for dx in range(2):
                        pix[(gy0 + gy * 2 + dy) * GIF_W + gx0 + gx * 2 + dx] = 3
    return pix


def lzw_encode(indices, min_code_size):
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    width = min_code_size + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    emit(clear, width)
    prefix = ()
    for v in indices:
        candidate = prefix + (v,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], width)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            width = min_code_size + 1
        prefix = (v,)
    if prefix:
        emit(table[prefix], width)
    emit(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def write_gif(n, path):
    palette = [(255, 255, 255), STEP_COLOURS[n], (40, 40, 48), (255, 255, 255)]
    out = bytearray(b'GIF89a')
    out += struct.pack('<HHBBB', GIF_W, GIF_H, 0x80 | 0x10 | 1, 0, 0)  # 4-entry global table
    for rgb in palette:
        out += bytes(rgb)
    out += bytes((0x21, 0xF9, 4, 0x01, 0, 0, 0, 0))  # index 0 transparent
    out += b'\x2C' + struct.pack('<HHHHB', 0, 0, GIF_W, GIF_H, 0)
    min_code_size = 2
    data = lzw_encode(step_pixels(n), min_code_size)
    out.append(min_code_size)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b'\x00\x3B'
    write_file(path, bytes(out))


def write_file(path, data):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    tmp = path + '.tmp'
    with open(tmp, 'wb') as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv):
    if len(argv) == 3 and argv[1] == 'wav':
        write_wav(argv[2])
    elif len(argv) == 4 and argv[1] == 'ico':
        write_ico(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == 'gif' and argv[2] in ('1', '2', '3'):
        write_gif(int(argv[2]), argv[3])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
