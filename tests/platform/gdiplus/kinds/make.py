#!/usr/bin/python3
"""Makes the small picture files of every kind the photo reader takes, and their expected pixels.

    tests/platform/gdiplus/kinds/make.py

Each picture is 32 x 24: the left 16 columns a pattern in which neighbouring pixels differ (bit
packing, palette indexes, byte order, row order), the right 16 columns two flat blocks of 16 x 12
(colour A above, B below) that survive a thumbnail or a print unchanged at their centres. The
files are written here byte by byte from the formulas below; the expected pixels (NAME.ppm, 8-bit
RGB, transparency laid on white) are what ImageMagick decodes from each file, and are checked
against the formulas and, where it reads the kind, against Pillow. kinds.txt lists each file with
its two block colours. Needs imagemagick and python3-pil; the test itself needs neither.
"""
import io
import os
import struct
import subprocess
import zlib

W, H = 32, 24
HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = '/usr/bin/convert'


def region(x, y):
    """'d' for the pattern, 'a' or 'b' for the blocks."""
    if x < 16:
        return 'd'
    return 'a' if y < 12 else 'b'


def onto_white(c, a):
    return (c * a + 255 * (255 - a) + 127) // 255


def scale16(v):
    return (v + 128) // 257


# ---- PNG ----

def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def pack_row(samples, depth):
    if depth == 16:
        return b''.join(struct.pack('>H', s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, acc, n = bytearray(), 0, 0
    for s in samples:
        acc = (acc << depth) | s
        n += depth
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def png(colour, depth, pixels, interlace=False, palette=None, trns=None):
    """pixels[y][x] is a tuple of samples as stored (an index for a palette)."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    raw = bytearray()
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    for x0, y0, dx, dy in passes:
        xs = list(range(x0, W, dx))
        if not xs:
            continue
        for y in range(y0, H, dy):
            samples = [s for x in xs for s in pixels[y][x]]
            assert len(samples) == len(xs) * channels
            raw.append(0)
            raw += pack_row(samples, depth)
    out = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, depth, colour, 0, 0, 1 if interlace else 0))
    if palette:
        out += chunk(b'PLTE', b''.join(bytes(p) for p in palette))
    if trns is not None:
        out += chunk(b'tRNS', trns)
    return out + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b'')


def grey_value(x, y, depth, block):
    top = (1 << depth) - 1
    if block == 'a':
        return top // 3 if depth > 1 else 0
    if block == 'b':
        return top
    if depth == 16:
        return (x * 4099 + y * 771) % 65536
    if depth == 8:
        return (x * 17 + y * 7) % 256
    return (x + y) % (top + 1)


def grey8(v, depth):
    return scale16(v) if depth == 16 else v * 255 // ((1 << depth) - 1)


def rgb_value(x, y, depth, block):
    if depth == 8:
        if block == 'a':
            return (200, 40, 90)
        if block == 'b':
            return (30, 160, 250)
        return ((x * 16 + y) % 256, (y * 10 + x) % 256, (x * y * 3) % 256)
    if block == 'a':
        return (51400, 10280, 23130)
    if block == 'b':
        return (7710, 41120, 64250)
    return ((x * 4099 + y * 13) % 65536, (y * 2731 + x * 5) % 65536, (x * y * 977) % 65536)


def alpha_value(x, y, depth, block):
    if block == 'a':
        return 128 if depth == 8 else 32896
    if block == 'b':
        return (1 << depth) - 1
    return (x * 16 + y * 5) % 256 if depth == 8 else (x * 4100 + y * 1301) % 65536


PALETTE = [((i * 37) % 256, (i * 91 + 20) % 256, (255 - i * 13) % 256) for i in range(256)]


def palette_index(x, y, depth, block):
    top = (1 << depth) - 1
    if block == 'a':
        return 1 if depth > 1 else 0
    if block == 'b':
        return top
    return (x * 3 + y) % (top + 1)


def png_kind(colour, depth, interlace, trns=False):
    """Answers (file bytes, expected RGBA rows)."""
    pixels, expect = [], []
    palette = trns_bytes = None
    for y in range(H):
        row, erow = [], []
        for x in range(W):
            b = region(x, y)
            if colour == 0:
                v = grey_value(x, y, depth, b)
                row.append((v,))
                g = grey8(v, depth)
                erow.append((g, g, g, 255))
            elif colour == 4:
                v, a = grey_value(x, y, depth, b), alpha_value(x, y, depth, b)
                row.append((v, a))
                g = grey8(v, depth)
                erow.append((g, g, g, scale16(a) if depth == 16 else a))
            elif colour == 2:
                c = rgb_value(x, y, depth, b)
                row.append(c)
                erow.append(tuple(scale16(s) if depth == 16 else s for s in c) + (255,))
            elif colour == 6:
                c, a = rgb_value(x, y, depth, b), alpha_value(x, y, depth, b)
                row.append(c + (a,))
                erow.append(tuple(scale16(s) if depth == 16 else s for s in c + (a,)))
            else:
                i = palette_index(x, y, depth, b)
                row.append((i,))
                erow.append(PALETTE[i] + (255,))
        pixels.append(row)
        expect.append(erow)
    if colour == 3:
        palette = PALETTE[:1 << depth]
    if trns:
        # One grey level or colour transparent (block A's), or a palette's alphas.
        if colour == 0:
            v = grey_value(16, 0, depth, 'a')
            trns_bytes = struct.pack('>H', v)
        elif colour == 2:
            c = rgb_value(16, 0, depth, 'a')
            trns_bytes = struct.pack('>HHH', *c)
        else:
            alphas = [(i * 53) % 256 for i in range(len(palette))]
            alphas[1] = 0
            trns_bytes = bytes(alphas)
        for y in range(H):
            for x in range(W):
                e = expect[y][x]
                if colour == 3:
                    expect[y][x] = e[:3] + (trns_bytes[pixels[y][x][0]],)
                elif pixels[y][x] == ((v,) if colour == 0 else c):
                    expect[y][x] = e[:3] + (0,)
    return png(colour, depth, pixels, interlace, palette, trns_bytes), expect


# ---- BMP ----

BMP_PALETTE = [((i * 53 + 7) % 256, (i * 29) % 256, (i * 71 + 100) % 256) for i in range(256)]


def bmp_file(bits, rows, top_down=False, compression=0, palette=None, masks=None, header=40, stride_rows=None):
    """rows: the pixel data of each stored row (bottom-up unless top_down), already padded;
    or, when stride_rows is given, the compressed data."""
    data = stride_rows if stride_rows is not None else b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', header, W, -H if top_down else H, 1, bits, compression, len(data), 2835, 2835,
                       len(palette) if palette else 0, 0)
    extra = b''
    if masks:
        if header == 40:
            extra = b''.join(struct.pack('<I', m) for m in masks[:3])
        else:
            info += b''.join(struct.pack('<I', m) for m in masks) + b'\0' * (header - 40 - 4 * len(masks))
    elif header > 40:
        info += b'\0' * (header - 40)
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette) if palette else b''
    offset = 14 + len(info) + len(extra) + len(pal)
    head = b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset)
    return head + info + extra + pal + data


def bmp_index(x, y, bits, block):
    top = (1 << bits) - 1
    if block == 'a':
        return 1 if bits > 1 else 0
    if block == 'b':
        return top
    return (x * 5 + y * 3) % (top + 1)


def pad4(b):
    return b + b'\0' * (-len(b) % 4)


def bmp_pack(indexes, bits):
    return pack_row(indexes, bits)


def rle8(rows):
    """Bottom-up rows of indexes: runs, an absolute stretch, end of line, end of bitmap."""
    out = bytearray()
    for r in rows:
        x = 0
        while x < W:
            n = 1
            while x + n < W and r[x + n] == r[x] and n < 255:
                n += 1
            if n >= 3:
                out += bytes((n, r[x]))
                x += n
                continue
            # a literal stretch up to the next run of three
            e = x
            while e < W and not (e + 2 < W and r[e] == r[e + 1] == r[e + 2]):
                e += 1
            lit = r[x:e]
            if len(lit) < 3:
                for v in lit:
                    out += bytes((1, v))
            else:
                out += bytes((0, len(lit))) + bytes(lit) + (b'\0' if len(lit) % 2 else b'')
            x = e
        out += b'\0\0'
    return bytes(out[:-2]) + b'\0\1'


def rle4(rows):
    """Bottom-up rows of 4-bit indexes: runs of alternating pairs and absolute stretches."""
    out = bytearray()
    for r in rows:
        x = 0
        while x < W:
            if x + 4 <= W and r[x] == r[x + 2] and r[x + 1] == r[x + 3]:
                n = 4
                while x + n < W and r[x + n] == r[x + n - 2] and n < 255:
                    n += 1
                out += bytes((n, (r[x] << 4) | r[x + 1]))
                x += n
                continue
            e = min(W, x + 5)  # an odd absolute stretch leaves a nibble of padding
            lit = r[x:e]
            if len(lit) < 3:
                out += bytes((len(lit), (lit[0] << 4) | (lit[1] if len(lit) > 1 else 0)))
            else:
                packed = pack_row(lit, 4)
                out += bytes((0, len(lit))) + packed + (b'\0' if len(packed) % 2 else b'')
            x = e
        out += b'\0\0'
    return bytes(out[:-2]) + b'\0\1'


def rle8_skipping(palette):
    """Rows of one run each; a delta in the second row from the bottom skips 3 pixels there and
    the rest of it and 8 pixels of the row above, a row ends early, and the bitmap ends after
    20 rows. Skipped pixels take palette entry 0, as ImageMagick gives them."""
    index = [[0] * W for _ in range(H)]  # bottom-up
    out = bytearray()
    y = 0
    while y < 20:
        v = 2 + y
        if y == 1:
            out += bytes((5, v, 0, 2, 3, 1, W - 12, v, 0, 0))
            index[1][:5] = [v] * 5
            index[2][8:W - 4] = [v] * (W - 12)
            y = 3
            continue
        n = 10 if y == 6 else W
        out += bytes((n, v, 0, 0))
        index[y][:n] = [v] * n
        y += 1
    out[-2:] = b'\0\1'
    expect = [[palette[i] + (255,) for i in row] for row in reversed(index)]
    return bytes(out), expect


def bmp_kind(name):
    if name == 'bmp-rle8-skips':
        data, expect = rle8_skipping(BMP_PALETTE)
        return bmp_file(8, None, False, 1, BMP_PALETTE, stride_rows=data), expect
    expect = [[None] * W for _ in range(H)]
    stored = []  # rows top-down as stored values
    top_down = name.endswith('-topdown')
    if name.startswith('bmp-pal') or name.startswith('bmp-rle'):
        bits = 1 if 'pal1' in name else (4 if ('pal4' in name or 'rle4' in name) else 8)
        palette = BMP_PALETTE[:1 << bits]
        for y in range(H):
            idx = [bmp_index(x, y, bits, region(x, y)) for x in range(W)]
            stored.append(idx)
            for x in range(W):
                expect[y][x] = palette[idx[x]] + (255,)
        if 'rle' in name:
            bottom_up = list(reversed(stored))
            data = rle8(bottom_up) if bits == 8 else rle4(bottom_up)
            return bmp_file(bits, None, False, 1 if bits == 8 else 2, palette, stride_rows=data), expect
        rows = [pad4(bmp_pack(r, bits)) for r in stored]
        return bmp_file(bits, rows if top_down else rows[::-1], top_down, 0, palette), expect
    if name.startswith('bmp-16'):
        f565 = '565' in name
        masks = (0xF800, 0x07E0, 0x001F) if f565 else (0x7C00, 0x03E0, 0x001F)
        rows = []
        for y in range(H):
            row = bytearray()
            for x in range(W):
                b = region(x, y)
                r, g, bl = ((25, 50, 7) if b == 'a' else (3, 40, 30)) if b != 'd' else ((x + y) % 32, (x * 2 + y) % (64 if f565 else 32), (x * y) % 32)
                if not f565:
                    g &= 31
                v = (r << 11 | g << 5 | bl) if f565 else (r << 10 | g << 5 | bl)
                row += struct.pack('<H', v)
                gmax = 63 if f565 else 31
                expect[y][x] = ((r * 255 + 15) // 31, (g * 255 + gmax // 2) // gmax, (bl * 255 + 15) // 31, 255)
            rows.append(pad4(bytes(row)))
        return bmp_file(16, rows if top_down else rows[::-1], top_down, 3 if f565 else 0, None,
                        masks if f565 else None), expect
    if name in BMP_FIELDS:
        return bmp_fields(name)
    bits = 24 if name.startswith('bmp-24') else 32
    alpha = 'alpha' in name
    rows = []
    for y in range(H):
        row = bytearray()
        for x in range(W):
            b = region(x, y)
            r, g, bl = rgb_value(x, y, 8, b)
            a = alpha_value(x, y, 8, b) if alpha else 255
            row += bytes((bl, g, r)) + (bytes((a if alpha else 0x5A,)) if bits == 32 else b'')
            expect[y][x] = (r, g, bl, a)
        rows.append(pad4(bytes(row)))
    if alpha:
        return bmp_file(32, rows if top_down else rows[::-1], top_down, 3, None,
                        (0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000), header=124), expect
    return bmp_file(bits, rows if top_down else rows[::-1], top_down), expect


# 32-bit bit fields wider than a byte: a mask of all 32 bits (and two of 16), three overlapping
# masks of 30 bits, and 10 bits a colour with 2 of alpha. Header, masks (red, green, blue, alpha)
# and the two blocks' stored pixels.
BMP_FIELDS = {
    'bmp-32-fields-32': (40, (0xFFFFFFFF, 0xFFFF0000, 0x0000FFFF, 0), 0x80000000, 0x3FFFC001),
    'bmp-32-fields-30': (108, (0xFFFFFFFC, 0x7FFFFFFE, 0x3FFFFFFF, 0), 0xC0F0E0D3, 0x12345678),
    'bmp-32-fields-1010102': (124, (0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000),
                              2 << 30 | 800 << 20 | 100 << 10 | 500, 3 << 30 | 1023 << 20 | 0 << 10 | 512),
}


def mask_value(px, mask):
    """A field widened to 8 bits, rounded: what the field holds times 255 over its largest value."""
    if not mask:
        return None
    shift = (mask & -mask).bit_length() - 1
    top = mask >> shift
    return (((px & mask) >> shift) * 255 + top // 2) // top


def bmp_fields(name):
    header, masks, a_px, b_px = BMP_FIELDS[name]
    expect = [[None] * W for _ in range(H)]
    rows = []
    for y in range(H):
        row = bytearray()
        for x in range(W):
            b = region(x, y)
            # the pattern: every bit of the pixel changes between neighbours
            px = {'a': a_px, 'b': b_px}.get(b, ((x + 1) * 0x9E3779B1 ^ (y + 1) * 0x85EBCA77) & 0xFFFFFFFF)
            row += struct.pack('<I', px)
            a = mask_value(px, masks[3])
            expect[y][x] = tuple(mask_value(px, m) for m in masks[:3]) + (255 if a is None else a,)
        rows.append(bytes(row))
    return bmp_file(32, rows[::-1], False, 3, None, masks if header > 40 else masks[:3], header=header), expect


BMP_KINDS = ['bmp-pal1', 'bmp-pal1-topdown', 'bmp-pal4', 'bmp-pal4-topdown', 'bmp-pal8', 'bmp-pal8-topdown',
             'bmp-rle8', 'bmp-rle4', 'bmp-rle8-skips', 'bmp-16-555', 'bmp-16-565-topdown', 'bmp-24', 'bmp-24-topdown',
             'bmp-32', 'bmp-32-topdown', 'bmp-32-alpha', *BMP_FIELDS]

# ---- JPEG (written by ImageMagick from a PPM of the formulas) ----

JPEG_KINDS = {'jpeg-grey': ['-colorspace', 'Gray'], 'jpeg-rgb': ['-sampling-factor', '2x2'],
              'jpeg-cmyk': ['-colorspace', 'CMYK']}


def jpeg_source():
    rows = []
    for y in range(H):
        for x in range(W):
            b = region(x, y)
            # the pattern in steps of 4 pixels, so that 4:2:0 sampling keeps most of it
            rows.append(rgb_value(x // 4 * 4, y // 4 * 4, 8, b))
    return b'P6\n%d %d\n255\n' % (W, H) + bytes(v for p in rows for v in p)


# ---- checking and writing ----

def decode(path, tool_args=()):
    # ImageMagick warns of a run-length bitmap that ends early, and exits with 1 after its pixels.
    out = subprocess.run([CONVERT, path, *tool_args, '-depth', '8', 'rgba:-'], capture_output=True).stdout
    assert len(out) == W * H * 4, path
    return [[tuple(out[(y * W + x) * 4:(y * W + x) * 4 + 4]) for x in range(W)] for y in range(H)]


def near(a, b, tolerance):
    return all(abs(p - q) <= tolerance for ra, rb in zip(a, b) for pa, pb in zip(ra, rb) for p, q in zip(pa, pb))


def pillow(path):
    from PIL import Image
    im = Image.open(path).convert('RGBA')
    return [[im.getpixel((x, y)) for x in range(W)] for y in range(H)]


def write_ppm(path, rgba):
    with open(path, 'wb') as f:
        f.write(b'P6\n%d %d\n255\n' % (W, H))
        f.write(bytes(onto_white(c, p[3]) if i < 3 else 0 for row in rgba for p in row for i, c in enumerate(p[:3])))


def block_colours(rgba, lossy):
    """The blocks' colours at their centres, or '-' for a picture whose right half is not two
    flat blocks (a lossy file's within 3 levels)."""
    a = rgba[6][24]
    b = rgba[18][24]
    if lossy:
        # 4:2:0 sampling bleeds a few pixels into a block's edges: its middle must be flat.
        inner = [(x, y) for y in list(range(2, 10)) + list(range(15, 22)) for x in range(20, 29)]
        flat = all(near([[rgba[y][x]]], [[a if y < 12 else b]], 3) for x, y in inner)
    else:
        flat = all(rgba[y][x] == (a if y < 12 else b) for y in range(H) for x in range(16, W))
    if not flat:
        return ['-', '-']
    return ['%d,%d,%d' % tuple(onto_white(c, p[3]) for c in p[:3]) for p in (a, b)]


def main():
    listing = []
    kinds = []
    for colour, depths in ((0, (1, 2, 4, 8, 16)), (2, (8, 16)), (3, (1, 2, 4, 8)), (4, (8, 16)), (6, (8, 16))):
        for depth in depths:
            for interlace in (False, True):
                kinds.append(('png-c%d-%d%s' % (colour, depth, '-adam7' if interlace else ''), colour, depth, interlace, False))
    for colour, depth in ((0, 2), (0, 8), (0, 16), (2, 8), (2, 16), (3, 4), (3, 8)):
        kinds.append(('png-c%d-%d-trns' % (colour, depth), colour, depth, False, True))
    for name, colour, depth, interlace, trns in kinds:
        data, expect = png_kind(colour, depth, interlace, trns)
        path = os.path.join(HERE, name + '.png')
        open(path, 'wb').write(data)
        # ImageMagick takes 16 bits to 8 by a rule of its own (4099 becomes 15, where rounding
        # gives 16 and the high byte 16): one level apart at most.
        tolerance = 1 if depth == 16 else 0
        if not near(decode(path), expect, tolerance):
            raise SystemExit('ImageMagick reads %s otherwise than its formulas' % name)
        # Pillow keeps a low-depth grey's tRNS level unscaled and so misses it.
        if depth <= 8 and not (trns and colour == 0 and depth < 8) and pillow(path) != expect:
            raise SystemExit('Pillow reads %s otherwise than its formulas' % name)
        write_ppm(os.path.join(HERE, name + '.ppm'), expect)
        listing.append((name + '.png', expect, tolerance))
    for name in BMP_KINDS:
        data, expect = bmp_kind(name)
        path = os.path.join(HERE, name + '.bmp')
        open(path, 'wb').write(data)
        # Five or six bits widen to eight by rounding here, by repeating the high bits in
        # ImageMagick and Pillow: one level apart at most.
        tolerance = 1 if name.startswith('bmp-16') or name in BMP_FIELDS else 0
        # ImageMagick drops the alpha of a 32-bit bitmap; Pillow keeps it. Pillow cannot read
        # every run-length file (it misreads a delta and an odd absolute run of 4-bit pixels), nor
        # bit fields other than whole bytes. ImageMagick widens a 2-bit alpha by shifting (3 gives
        # 192), so only the colours are compared; the alpha's formula scales as the colours do.
        def colours(rows):
            return [[p[:3] + (255,) for p in r] for r in rows]
        if 'alpha' not in name and not near(colours(decode(path)), colours(expect), tolerance):
            raise SystemExit('ImageMagick reads %s otherwise than its formulas' % name)
        if 'rle' not in name and name not in BMP_FIELDS and not near(pillow(path), expect, tolerance):
            raise SystemExit('Pillow reads %s otherwise than its formulas' % name)
        write_ppm(os.path.join(HERE, name + '.ppm'), expect)
        listing.append((name + '.bmp', expect, tolerance))
    src = os.path.join(HERE, 'source.ppm')
    open(src, 'wb').write(jpeg_source())
    for name, args in JPEG_KINDS.items():
        path = os.path.join(HERE, name + '.jpg')
        subprocess.run([CONVERT, src, *args, '-quality', '95', path], check=True)
        got = decode(path, ('-colorspace', 'sRGB'))
        write_ppm(os.path.join(HERE, name + '.ppm'), got)
        # libjpeg decodes for both, but our CMYK and upsampling may round otherwise.
        listing.append((name + '.jpg', got, 2))
    os.remove(src)
    with open(os.path.join(HERE, 'kinds.txt'), 'w') as f:
        f.write('# file, levels the decoders may differ by, block A and block B (8-bit RGB on white, - when not flat); made by make.py\n')
        for name, rgba, tolerance in listing:
            f.write('%s %d %s %s\n' % (name, tolerance, *block_colours(rgba, name.endswith('.jpg'))))


main()
