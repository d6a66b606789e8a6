#!/usr/bin/env python3
"""Draws the module's pictures: the about picture (bitmap 16000), the band
down the dialog's left edge (bitmap 16001), the logo strip (icon 16002),
the hand and cross-hair cursors (31, 32).

Everything is drawn here from shapes and a small stroke alphabet, so the
pictures are reproducible from this file alone. The generated files are
committed beside it; the build does not run this script.

  make_pictures.py            rewrite the pictures next to this script
  make_pictures.py --check    exit 1 when a committed picture differs
  make_pictures.py --preview DIR
                              also write enlarged PNG previews into DIR
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

GROUND = (238, 238, 238)   # the about box's brush
FACE = (240, 240, 240)     # a dialog's face, under the logo strip
INK = (36, 49, 62)         # slate, for the name
GREY_TEXT = (104, 114, 125)
SLATE = (44, 58, 72)
WHITE = (255, 255, 255)

# ---------------------------------------------------------------------------
# Colours


def hue_colour(h, value=1.0):
    """Fully saturated hue h in [0, 6): 0 red, 1 yellow ... 5 magenta."""
    h = h % 6.0
    sector = int(h)
    f = h - sector
    up, down = f, 1.0 - f
    rgb = [(1, up, 0), (down, 1, 0), (0, 1, up), (0, down, 1), (up, 0, 1),
           (1, 0, down)][sector]
    return tuple(int(round(c * 255 * value)) for c in rgb)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# ---------------------------------------------------------------------------
# A stroke alphabet on a grid 6 units high, y downwards. Each glyph is a
# width and a list of polylines.


def arc(cx, cy, rx, ry, a0, a1, steps=16):
    pts = []
    for i in range(steps + 1):
        t = math.radians(a0 + (a1 - a0) * i / steps)
        pts.append((cx + rx * math.cos(t), cy - ry * math.sin(t)))
    return pts


def bowl(x0, top, bottom, right):
    r = (bottom - top) / 2.0
    return ([(x0, top), (right - r, top)] +
            arc(right - r, top + r, r, r, 90, -90) + [(x0, bottom)])


GLYPHS = {
    ' ': (2.2, []),
    '-': (2.4, [[(0.2, 3.4), (2.2, 3.4)]]),
    '.': (0.4, [[(0.2, 5.8), (0.2, 6.0)]]),
    '·': (0.4, [[(0.2, 3.3), (0.2, 3.5)]]),
    'A': (4.4, [[(0, 6), (2.2, 0), (4.4, 6)], [(0.8, 4.1), (3.6, 4.1)]]),
    'B': (3.8, [[(0, 0), (0, 6)], bowl(0, 0, 2.9, 3.5), bowl(0, 2.9, 6, 3.8)]),
    'C': (4.0, [arc(2.4, 3, 2.4, 3, 45, 315)]),
    'D': (4.2, [[(0, 0), (0, 6)],
                [(0, 0), (1.4, 0)] + arc(1.4, 3, 2.8, 3, 90, -90) +
                [(0, 6)]]),
    'E': (3.4, [[(3.4, 0), (0, 0), (0, 6), (3.4, 6)], [(0, 2.9), (3.0, 2.9)]]),
    'F': (3.4, [[(3.4, 0), (0, 0), (0, 6)], [(0, 2.9), (3.0, 2.9)]]),
    'G': (4.6, [arc(2.6, 3, 2.6, 3, 45, 345) + [(4.6, 3.4), (2.8, 3.4)]]),
    'H': (4.0, [[(0, 0), (0, 6)], [(4, 0), (4, 6)], [(0, 3), (4, 3)]]),
    'I': (0.0, [[(0, 0), (0, 6)]]),
    'K': (3.8, [[(0, 0), (0, 6)], [(3.8, 0), (0, 4.0)], [(1.3, 2.6), (3.8, 6)]]),
    'L': (3.2, [[(0, 0), (0, 6), (3.2, 6)]]),
    'M': (5.0, [[(0, 6), (0, 0), (2.5, 4.6), (5, 0), (5, 6)]]),
    'N': (4.0, [[(0, 6), (0, 0), (4, 6), (4, 0)]]),
    'O': (5.0, [arc(2.5, 3, 2.5, 3, 0, 360, 32)]),
    'P': (3.6, [[(0, 6)] + bowl(0, 0, 3.2, 3.6)]),
    'R': (3.8, [[(0, 6)] + bowl(0, 0, 3.2, 3.6), [(1.9, 3.2), (3.8, 6)]]),
    'S': (3.6, [arc(1.8, 1.55, 1.8, 1.55, 25, 270, 14) +
                arc(1.8, 4.45, 1.8, 1.55, 90, -155, 14)]),
    'T': (4.2, [[(0, 0), (4.2, 0)], [(2.1, 0), (2.1, 6)]]),
    'U': (4.0, [[(0, 0), (0, 4)] + arc(2, 4, 2, 2, 180, 360) + [(4, 0)]]),
    'V': (4.4, [[(0, 0), (2.2, 6), (4.4, 0)]]),
    'W': (6.0, [[(0, 0), (1.5, 6), (3, 1.2), (4.5, 6), (6, 0)]]),
    'X': (4.0, [[(0, 0), (4, 6)], [(4, 0), (0, 6)]]),
    'Y': (4.2, [[(0, 0), (2.1, 3.1), (4.2, 0)], [(2.1, 3.1), (2.1, 6)]]),
}


def text_strokes(text, x, y, size, tracking=1.5):
    """Segments of text with its top-left at (x, y), size pixels high."""
    scale = size / 6.0
    segments = []
    pen = 0.0
    for ch in text:
        width, lines = GLYPHS[ch]
        for line in lines:
            pts = [(x + (pen + px) * scale, y + py * scale) for px, py in line]
            segments += list(zip(pts, pts[1:]))
        pen += width + tracking
    return segments, (pen - tracking) * scale


def text_width(text, size, tracking=1.5):
    return text_strokes(text, 0, 0, size, tracking)[1]


# ---------------------------------------------------------------------------
# A small anti-aliasing rasteriser: shapes give coverage from sub-samples.


class Canvas:
    def __init__(self, width, height, ground):
        self.w, self.h = width, height
        self.px = [[ground] * width for _ in range(height)]

    def paint(self, box, inside, colour_at, samples=4):
        """Blends colour_at(x, y) over every pixel of box by the share of
        sub-samples for which inside(x, y) holds."""
        x0, y0, x1, y1 = box
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        offsets = [(i + 0.5) / samples for i in range(samples)]
        for py in range(y0, y1):
            row = self.px[py]
            for px in range(x0, x1):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if inside(px + ox, py + oy):
                            hits += 1
                if hits:
                    t = hits / float(samples * samples)
                    c = colour_at(px + 0.5, py + 0.5)
                    row[px] = mix(row[px], c, t)

    def strokes(self, segments, half_width, colour):
        if not segments:
            return
        xs = [p[0] for s in segments for p in s]
        ys = [p[1] for s in segments for p in s]
        box = (min(xs) - half_width - 1, min(ys) - half_width - 1,
               max(xs) + half_width + 1, max(ys) + half_width + 1)
        hw2 = half_width * half_width

        def inside(x, y):
            for (ax, ay), (bx, by) in segments:
                dx, dy = bx - ax, by - ay
                length2 = dx * dx + dy * dy
                t = 0.0 if length2 == 0 else max(
                    0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
                ex, ey = ax + t * dx - x, ay + t * dy - y
                if ex * ex + ey * ey <= hw2:
                    return True
            return False

        self.paint(box, inside, lambda x, y: colour)

    def text(self, text, x, y, size, weight, colour, tracking=1.5):
        segments, width = text_strokes(text, x, y, size, tracking)
        self.strokes(segments, weight / 2.0, colour)
        return width


# ---------------------------------------------------------------------------
# The pictures


def about_picture():
    c = Canvas(425, 250, GROUND)
    # The emblem: the hue circle of the six colour weights around a slate
    # disc with a sharp white caret, the filter's two ideas in one sign.
    cx, cy, outer, inner = 92.0, 112.0, 58.0, 41.0

    def ring(x, y):
        d = math.hypot(x - cx, y - cy)
        return inner <= d <= outer

    def ring_colour(x, y):
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360.0
        return hue_colour((90.0 - a) % 360.0 / 60.0, 0.93)

    c.paint((cx - outer - 1, cy - outer - 1, cx + outer + 1, cy + outer + 1),
            ring, ring_colour)
    c.paint((cx - inner, cy - inner, cx + inner, cy + inner),
            lambda x, y: math.hypot(x - cx, y - cy) <= inner - 3.0,
            lambda x, y: SLATE)
    caret = [((cx - 19, cy + 12), (cx, cy - 14)), ((cx, cy - 14),
                                                   (cx + 19, cy + 12))]
    c.strokes(caret, 4.0, WHITE)
    c.strokes([((cx - 19, cy + 23), (cx + 19, cy + 23))], 1.6,
              mix(SLATE, WHITE, 0.55))

    # The name, a hue line under it, and what the filter is.
    left = 172.0
    width = c.text('TAVORIN', left, 76, 36, 4.8, INK, tracking=2.2)
    for i in range(int(width) + 1):
        colour = hue_colour(6.0 * i / (width + 1) - 0.5)
        c.paint((left + i, 124, left + i + 1, 128), lambda x, y: True,
                lambda x, y, col=colour: col, samples=1)
    c.text('SHARPENING WITH COLOUR CONTROL', left, 141, 9, 1.45, INK, 1.6)
    c.text('ORVANEX · FILTER PLUG-IN', left, 160, 8, 1.25, GREY_TEXT, 1.6)
    c.text('UNSHARP MASKING OF BRIGHTNESS', left, 206, 7, 1.1, GREY_TEXT, 1.6)
    c.text('HUE AND SATURATION KEPT', left, 220, 7, 1.1, GREY_TEXT, 1.6)
    return c


def band_picture():
    """20 x 800: slate darkening downwards, a hue stripe at its right."""
    top, bottom = (58, 76, 94), (30, 40, 50)
    shades = [mix(top, bottom, i / 7.0) for i in range(8)]
    hues = [hue_colour(k, 0.9) for k in range(6)]
    palette = shades + hues + [(0, 0, 0), WHITE]
    bayer = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
    rows = []
    for y in range(800):
        level = min(7.0, y / 400.0 * 7.0)  # the visible part carries it
        base = int(level)
        frac = level - base
        row = []
        for x in range(20):
            if x >= 16 and x <= 17:
                # Six hues, each over one sixth of the dialog's height.
                row.append(8 + (y // 66) % 6)
            elif x == 18:
                row.append(min(7, base + 1))
            elif x == 19:
                row.append(7)
            else:
                threshold = (bayer[y % 4][x % 4] + 0.5) / 16.0
                row.append(min(7, base + (1 if frac > threshold else 0)))
        rows.append(row)
    return palette, rows


# The logo's scales: 96, 120, 144 and 192 DPI.
LOGO_SCALES = (1.0, 1.25, 1.5, 2.0)


def logo_picture(s=1.0):
    """132 x 16 at scale 1: six hue squares and the name, over a
    transparent ground; drawn afresh at each scale."""
    w, h = int(round(132 * s)), int(round(16 * s))
    c = Canvas(w, h, FACE)
    coverage = Canvas(w, h, (0, 0, 0))
    for k in range(6):
        x = round((2 + (k % 3) * 5) * s)
        y = round((3 + (k // 3) * 5) * s)
        side = round(4 * s)
        colour = hue_colour(k, 0.95)
        for canvas, col in ((c, colour), (coverage, WHITE)):
            canvas.paint((x, y, x + side, y + side), lambda a, b: True,
                         lambda a, b, col=col: col, samples=1)
    for canvas, col in ((c, INK), (coverage, WHITE)):
        canvas.text('TAVORIN', 22 * s, 3 * s, 10 * s, 1.7 * s, col,
                    tracking=2.0)
    return c, coverage


HAND = """
.......##.......
....###oo###....
...#oo#oo#oo#...
...#oo#oo#oo###.
...#oo#oo#oo#oo#
...#oo#oo#oo#oo#
.###oo#oo#oo#oo#
#oo#ooooooooooo#
#oooooooooooooo#
.#ooooooooooooo#
..#oooooooooooo#
..#ooooooooooo#.
...#oooooooooo#.
....#ooooooooo#.
....#ooooooooo#.
....###########.
"""


def hand_art():
    return [line for line in HAND.strip().split('\n')]


def cross_art():
    """A cross-hair through a small circle, centred on (7, 7)."""
    black = set()
    for i in range(15):
        if abs(i - 7) >= 2:
            black.add((i, 7))
            black.add((7, i))
    for y in range(15):
        for x in range(15):
            if abs(math.hypot(x - 7, y - 7) - 4.0) < 0.5:
                black.add((x, y))
    rows = []
    for y in range(16):
        row = ''
        for x in range(16):
            if (x, y) in black:
                row += '#'
            elif any((x + dx, y + dy) in black for dx in (-1, 0, 1)
                     for dy in (-1, 0, 1)):
                row += 'o'
            else:
                row += '.'
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# File formats


def info_header(width, height, bits, colours, image_bytes):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0,
                       image_bytes, 2835, 2835, colours, 0)


def pack_rows(rows, bits):
    """Bottom-up rows of palette indices, each padded to 4 bytes."""
    out = b''
    for row in reversed(rows):
        data = bytearray()
        if bits == 8:
            data = bytearray(row)
        elif bits == 4:
            for i in range(0, len(row), 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < len(row) else 0
                data.append(hi << 4 | lo)
        elif bits == 1:
            for i in range(0, len(row), 8):
                byte = 0
                for j in range(8):
                    if i + j < len(row) and row[i + j]:
                        byte |= 0x80 >> j
                data.append(byte)
        while len(data) % 4:
            data.append(0)
        out += bytes(data)
    return out


def palette_bytes(palette, size):
    entries = list(palette) + [(0, 0, 0)] * (size - len(palette))
    return b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in entries)


def bmp_file(palette, rows, bits):
    width, height = len(rows[0]), len(rows)
    colours = 1 << bits
    pixels = pack_rows(rows, bits)
    header = info_header(width, height, bits, colours, len(pixels))
    pal = palette_bytes(palette, colours)
    offset = 14 + len(header) + len(pal)
    return (struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset) +
            header + pal + pixels)


def dib_image(palette, rows, mask_rows, bits):
    """An icon or cursor image: header (double height), colours, XOR, AND."""
    width, height = len(rows[0]), len(rows)
    xor = pack_rows(rows, bits)
    and_ = pack_rows(mask_rows, 1)
    header = info_header(width, height * 2, bits, 0, len(xor) + len(and_))
    return header + palette_bytes(palette, 1 << bits) + xor + and_


def icon_directory(kind, images):
    """images: (width, height, colours, hot x or planes, hot y or bits,
    bytes)."""
    out = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for w, h, colours, a, b, data in images:
        # 0 stands for 256 and more: the image's own header has the size.
        out += struct.pack('<BBBBHHII', w if w < 256 else 0,
                           h if h < 256 else 0, colours % 256, 0, a, b,
                           len(data), offset)
        offset += len(data)
    return out + b''.join(data for *_, data in images)


# ---------------------------------------------------------------------------
# Indexing


def index_picture(canvas, fixed):
    """Palette and index rows for an RGB canvas: the fixed colours first,
    the rest by nearest colour."""
    palette = list(fixed)
    cache = {}

    def nearest(c):
        best, best_d = 0, None
        for i, p in enumerate(palette):
            d = ((c[0] - p[0]) * 3) ** 2 + ((c[1] - p[1]) * 4) ** 2 + (
                (c[2] - p[2]) * 2) ** 2
            if best_d is None or d < best_d:
                best, best_d = i, d
        return best

    rows = []
    for row in canvas.px:
        out = []
        for c in row:
            if c not in cache:
                cache[c] = nearest(c)
            out.append(cache[c])
        rows.append(out)
    return palette, rows


def about_palette():
    fixed = [GROUND, WHITE, (0, 0, 0)]
    fixed += [mix(GROUND, INK, (i + 1) / 48.0) for i in range(48)]
    fixed += [mix(GROUND, GREY_TEXT, (i + 1) / 20.0) for i in range(20)]
    fixed += [mix(SLATE, WHITE, (i + 1) / 24.0) for i in range(24)]
    fixed += [hue_colour(i / 16.0, 0.93) for i in range(96)]
    fixed += [hue_colour(i / 16.0) for i in range(0, 96, 4)]
    for i in range(6):  # ring edges against the ground and the disc
        for t in (0.25, 0.5, 0.75):
            fixed.append(mix(GROUND, hue_colour(i + 0.5, 0.93), t))
            fixed.append(mix(SLATE, hue_colour(i + 0.5, 0.93), t))
    fixed += [SLATE, mix(GROUND, SLATE, 0.5), mix(GROUND, SLATE, 0.25),
              mix(GROUND, SLATE, 0.75)]
    return fixed[:256]


def cursor_image(art, size, bits):
    """A cursor image of size x size with art in its top-left corner:
    '#' black, 'o' white, '.' transparent (AND 1, XOR 0)."""
    colour_rows, mask_rows = [], []
    for y in range(size):
        line = art[y] if y < len(art) else ''
        colours, mask = [], []
        for x in range(size):
            ch = line[x] if x < len(line) else '.'
            colours.append({'#': 0, 'o': 1, '.': 0}[ch])
            mask.append(1 if ch == '.' else 0)
        colour_rows.append(colours)
        mask_rows.append(mask)
    if bits == 4:  # 16 colours: white is index 15
        colour_rows = [[15 if v else 0 for v in row] for row in colour_rows]
        palette = [(0, 0, 0)] + [(128, 128, 128)] * 14 + [WHITE]
    else:
        palette = [(0, 0, 0), WHITE]
    return dib_image(palette, colour_rows, mask_rows, bits)


def cursor_file(art, hot, formats):
    images = []
    for size, bits in formats:
        data = cursor_image(art, size, bits)
        images.append((size, size, 0 if bits == 1 else 16, hot[0], hot[1], data))
    return icon_directory(2, images)


def build():
    files = {}
    palette, rows = index_picture(about_picture(), about_palette())
    files['about.bmp'] = bmp_file(palette, rows, 8)
    band_palette, band_rows = band_picture()
    files['band.bmp'] = bmp_file(band_palette, band_rows, 4)

    # Index 0 is black: the transparent pixels' colour, which the AND mask
    # lets the dialog's face show through.
    logo_fixed = ([(0, 0, 0), FACE] +
                  [mix(FACE, INK, (i + 1) / 7.0) for i in range(7)] +
                  [hue_colour(k, 0.95) for k in range(6)] + [WHITE])
    logo_images = []
    for s in LOGO_SCALES:
        logo, coverage = logo_picture(s)
        w, h = logo.w, logo.h
        palette_s, rows_s = index_picture(logo, logo_fixed)
        mask_s = [[0 if coverage.px[y][x] != (0, 0, 0) else 1
                   for x in range(w)] for y in range(h)]
        rows_s = [[rows_s[y][x] if not mask_s[y][x] else 0 for x in range(w)]
                  for y in range(h)]
        logo_images.append((w, h, 16, 1, 4,
                            dib_image(palette_s, rows_s, mask_s, 4)))
        if s == 1.0:
            logo_palette, logo_rows, mask = palette_s, rows_s, mask_s
    files['logo.ico'] = icon_directory(1, logo_images)

    hand = hand_art()
    files['hand.cur'] = cursor_file(hand, (8, 8), [(32, 1), (16, 4), (16, 1)])
    files['cross.cur'] = cursor_file(cross_art(), (7, 7), [(32, 1), (16, 1)])
    return files, {'about': (palette, rows), 'band': (band_palette, band_rows),
                   'logo': (logo_palette, logo_rows, mask),
                   'hand': hand, 'cross': cross_art()}


# ---------------------------------------------------------------------------
# Previews for a person to look at


def png_file(rgb_rows):
    height, width = len(rgb_rows), len(rgb_rows[0])
    raw = b''.join(b'\0' + bytes(v for p in row for v in p) for row in rgb_rows)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def enlarge(rows, factor):
    out = []
    for row in rows:
        wide = [p for p in row for _ in range(factor)]
        out += [wide] * factor
    return out


def write_previews(directory, parts):
    os.makedirs(directory, exist_ok=True)
    palette, rows = parts['about']
    about = [[palette[i] for i in row] for row in rows]
    band_palette, band_rows = parts['band']
    band = [[band_palette[i] for i in row] for row in band_rows[:420]]
    logo_palette, logo_rows, mask = parts['logo']
    logo = [[(200, 200, 200) if mask[y][x] else logo_palette[logo_rows[y][x]]
             for x in range(132)] for y in range(16)]
    cursors = []
    for name in ('hand', 'cross'):
        art = parts[name]
        cursors += [[{'#': (0, 0, 0), 'o': (255, 255, 255),
                      '.': (150, 170, 190)}[ch] for ch in line.ljust(16, '.')]
                    for line in art] + [[(150, 170, 190)] * 16]
    for name, rows_, factor in (('about', about, 2), ('band', band, 2),
                                ('logo', logo, 4), ('cursors', cursors, 8)):
        with open(os.path.join(directory, name + '.png'), 'wb') as f:
            f.write(png_file(enlarge(rows_, factor)))


def main(argv):
    files, parts = build()
    if '--check' in argv:
        stale = []
        for name, data in sorted(files.items()):
            path = os.path.join(HERE, name)
            if not os.path.exists(path) or open(path, 'rb').read() != data:
                stale.append(name)
        if stale:
            print('make_pictures: differs from the drawing: ' + ', '.join(stale))
            return 1
        return 0
    for name, data in files.items():
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(data)
    if '--preview' in argv:
        write_previews(argv[argv.index('--preview') + 1], parts)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
