#!/usr/bin/env python3
"""Build Skerrow's .ico files from plain-text pixel art.

Usage (from the repository root):
    python3 tools/icongen/make_icons.py          # write res/icons/*.ico
    python3 tools/icongen/make_icons.py --check  # exit 1 if any .ico is stale

Every res/icons/src/NAME.txt becomes res/icons/NAME.ico.

Input format (one text file per icon, UTF-8/ASCII, read line by line):

    ; a comment (lines starting with ';' are ignored, as are blank lines)
    k #202020          palette entry: one character, a space, #RRGGBB
    r #D02020C0        ... or #RRGGBBAA (AA = alpha, FF = opaque)
    size 16x14         starts one image, W x H pixels (1..256 each)
    g #30C030          palette entries may also follow a size line; they
                       add to the file-wide ones for that image only
    ..kkkk..........   then exactly H rows of exactly W characters
    ...                (H rows in total)
    size 32x32         another image in the same icon, and so on
    derive 20x18 24x21 images of these sizes made from the largest drawn one
                       (anywhere in the file; sizes not drawn themselves)

Rules: '.' is always fully transparent and cannot be redefined; a palette
character may not be ';', a space, or defined twice in the same scope; every
row character must be '.' or a defined palette character; pixel rows may only
come after a size line; a file needs at least one size block and every block
exactly H rows. Any violation stops the generator with "file:line: message".

Each image is written as a classic DIB: BITMAPINFOHEADER, 32-bit BGRA,
biHeight = 2*H, bottom-up colour rows followed by a 1-bit AND mask (rows padded
to 32 bits, bit set where alpha is 0). ICONDIRENTRY width/height are the real
sizes (0 meaning 256).

Derived images are what the program shows at other display scales (125 %,
150 %, 200 %): it loads the image of the exact size it draws, never stretching
a small one. A derived image is the drawn one enlarged by Scale2x (edges stay
sharp, no new colours) as often as needed, then reduced to its size by area
averaging; a pixel is clear where less than half of it was covered, so art
that is opaque or clear stays so.
"""

import os
import re
import struct
import sys

REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SRC_DIR = os.path.join(REPO, "res", "icons", "src")
OUT_DIR = os.path.join(REPO, "res", "icons")

PALETTE_RE = re.compile(r"^(\S) #([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$")
SIZE_RE = re.compile(r"^size (\d+)x(\d+)$")
DERIVE_RE = re.compile(r"^derive( \d+x\d+)+$")


class IconError(Exception):
    pass


class Image:
    def __init__(self, width, height, line):
        self.width = width
        self.height = height
        self.line = line
        self.palette = {}
        self.rows = []  # list of lists of (r, g, b, a)


def parse_colour(hexdigits):
    r = int(hexdigits[0:2], 16)
    g = int(hexdigits[2:4], 16)
    b = int(hexdigits[4:6], 16)
    a = int(hexdigits[6:8], 16) if len(hexdigits) == 8 else 255
    return (r, g, b, a)


def parse_source(path, text):
    """Parse one pixel-art file; return a list of Image objects."""
    name = os.path.relpath(path, REPO)

    def fail(lineno, msg):
        raise IconError("%s:%d: %s" % (name, lineno, msg))

    file_palette = {".": (0, 0, 0, 0)}
    images = []
    derived = []  # (width, height, line)
    cur = None

    for lineno, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip("\r\n").rstrip()
        if not line or line.startswith(";"):
            continue

        m = SIZE_RE.match(line)
        if m:
            if cur is not None and len(cur.rows) != cur.height:
                fail(lineno, "image started at line %d has %d rows, expected %d"
                     % (cur.line, len(cur.rows), cur.height))
            w, h = int(m.group(1)), int(m.group(2))
            if not (1 <= w <= 256 and 1 <= h <= 256):
                fail(lineno, "size %dx%d out of range (1..256)" % (w, h))
            cur = Image(w, h, lineno)
            images.append(cur)
            continue
        if line == "size" or line.startswith("size "):
            fail(lineno, "bad size line %r (expected 'size WxH')" % line)
        if line == "derive" or line.startswith("derive "):
            if not DERIVE_RE.match(line):
                fail(lineno, "bad derive line %r (expected 'derive WxH [WxH...]')" % line)
            if cur is not None and len(cur.rows) != cur.height:
                fail(lineno, "derive line inside the image started at line %d" % cur.line)
            for size in line.split()[1:]:
                w, h = (int(v) for v in size.split("x"))
                if not (1 <= w <= 256 and 1 <= h <= 256):
                    fail(lineno, "size %dx%d out of range (1..256)" % (w, h))
                derived.append((w, h, lineno))
            continue

        m = PALETTE_RE.match(line)
        if m:
            ch = m.group(1)
            if ch in (".", ";"):
                fail(lineno, "palette character %r is reserved" % ch)
            if cur is None:
                scope = file_palette
            else:
                if cur.rows:
                    fail(lineno, "palette entry after pixel rows")
                scope = cur.palette
            if ch in scope:
                fail(lineno, "palette character %r defined twice" % ch)
            scope[ch] = parse_colour(m.group(2))
            continue
        if " " in line or "\t" in line:
            fail(lineno, "unrecognised line %r (palette lines are 'c #RRGGBB[AA]')" % line)

        # A pixel row.
        if cur is None:
            fail(lineno, "pixel row before any 'size WxH' line")
        if len(cur.rows) >= cur.height:
            fail(lineno, "too many rows for %dx%d image started at line %d"
                 % (cur.width, cur.height, cur.line))
        if len(line) != cur.width:
            fail(lineno, "row is %d characters wide, expected %d" % (len(line), cur.width))
        row = []
        for col, ch in enumerate(line, 1):
            colour = cur.palette.get(ch, file_palette.get(ch))
            if colour is None:
                fail(lineno, "unknown character %r in column %d" % (ch, col))
            row.append(colour)
        cur.rows.append(row)

    if not images:
        raise IconError("%s: no 'size WxH' line; nothing to draw" % name)
    if len(cur.rows) != cur.height:
        raise IconError("%s:%d: image started at line %d has %d rows, expected %d"
                        % (name, cur.line, cur.line, len(cur.rows), cur.height))
    source = max(images, key=lambda img: img.width * img.height)
    sizes = {(img.width, img.height) for img in images}
    for w, h, lineno in derived:
        if (w, h) in sizes:
            fail(lineno, "size %dx%d is there already" % (w, h))
        sizes.add((w, h))
        images.append(derive(source, w, h, lineno))
    return images


def scale2x(rows):
    """Scale2x (EPX): each pixel becomes four, taking a neighbour's colour where two edges meet at that corner."""
    h, w = len(rows), len(rows[0])
    out = [[None] * (2 * w) for _ in range(2 * h)]
    for y in range(h):
        for x in range(w):
            p = rows[y][x]
            a = rows[y - 1][x] if y > 0 else p
            b = rows[y][x + 1] if x + 1 < w else p
            c = rows[y][x - 1] if x > 0 else p
            d = rows[y + 1][x] if y + 1 < h else p
            out[2 * y][2 * x] = a if c == a and c != d and a != b else p
            out[2 * y][2 * x + 1] = b if a == b and a != c and b != d else p
            out[2 * y + 1][2 * x] = c if d == c and d != b and c != a else p
            out[2 * y + 1][2 * x + 1] = d if b == d and b != a and d != c else p
    return out


def reduce_area(rows, w, h):
    """Area-average rows down (or across) to w x h; clear where less than half is covered."""
    sh, sw = len(rows), len(rows[0])
    fx, fy = sw / w, sh / h
    out = []
    for ty in range(h):
        y0, y1 = ty * fy, (ty + 1) * fy
        line = []
        for tx in range(w):
            x0, x1 = tx * fx, (tx + 1) * fx
            total = covered = 0.0
            rgb = [0.0, 0.0, 0.0]
            alpha_sum = 0.0
            for sy in range(int(y0), min(sh, int(-(-y1 // 1)))):
                ay = min(y1, sy + 1) - max(y0, sy)
                if ay <= 0:
                    continue
                for sx in range(int(x0), min(sw, int(-(-x1 // 1)))):
                    ax = min(x1, sx + 1) - max(x0, sx)
                    if ax <= 0:
                        continue
                    area = ax * ay
                    r, g, b, a = rows[sy][sx]
                    total += area
                    if a:
                        covered += area
                        weight = area * a
                        alpha_sum += weight
                        rgb = [rgb[0] + weight * r, rgb[1] + weight * g, rgb[2] + weight * b]
            if covered * 2 < total or alpha_sum == 0:
                line.append((0, 0, 0, 0))
            else:
                line.append(tuple(int(v / alpha_sum + 0.5) for v in rgb) + (int(alpha_sum / covered + 0.5),))
        out.append(line)
    return out


def derive(source, w, h, lineno):
    rows = source.rows
    while len(rows[0]) < w or len(rows) < h:
        rows = scale2x(rows)
    img = Image(w, h, lineno)
    img.rows = reduce_area(rows, w, h)
    return img


def dib_bytes(img):
    """BITMAPINFOHEADER + bottom-up BGRA rows + bottom-up 1-bit AND mask."""
    w, h = img.width, img.height
    xor = bytearray()
    for row in reversed(img.rows):
        for (r, g, b, a) in row:
            if a == 0:
                xor += b"\0\0\0\0"
            else:
                xor += bytes((b, g, r, a))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(img.rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII",
                         40,             # biSize
                         w,              # biWidth
                         2 * h,          # biHeight (colour + mask)
                         1,              # biPlanes
                         32,             # biBitCount
                         0,              # biCompression = BI_RGB
                         len(xor) + len(mask),  # biSizeImage
                         0, 0,           # pixels per metre
                         0, 0)           # biClrUsed, biClrImportant
    return header + bytes(xor) + bytes(mask)


def ico_bytes(images):
    count = len(images)
    blobs = [dib_bytes(img) for img in images]
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    for img, blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII",
                           img.width & 0xFF,   # 256 -> 0
                           img.height & 0xFF,
                           0, 0,               # colour count, reserved
                           1, 32,              # planes, bits per pixel
                           len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def verify_ico(data, images, label):
    """Parse an ICO back and check it matches what was meant to be written."""
    def bad(msg):
        raise IconError("%s: generated data fails self-check: %s" % (label, msg))

    if len(data) < 6:
        bad("too short")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count != len(images):
        bad("ICONDIR header (%d, %d, %d)" % (reserved, kind, count))
    end = 6 + 16 * count
    for i, img in enumerate(images):
        bw, bh, ncol, res, planes, bpp, size, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        if (bw or 256) != img.width or (bh or 256) != img.height:
            bad("entry %d size %dx%d" % (i, bw, bh))
        if ncol or res or planes != 1 or bpp != 32:
            bad("entry %d fields" % i)
        if off != end:
            bad("entry %d offset %d, expected %d" % (i, off, end))
        hdr = struct.unpack_from("<IiiHHIIiiII", data, off)
        if hdr[0] != 40 or hdr[1] != img.width or hdr[2] != 2 * img.height:
            bad("entry %d BITMAPINFOHEADER %r" % (i, hdr[:3]))
        if hdr[3] != 1 or hdr[4] != 32 or hdr[5] != 0:
            bad("entry %d planes/bitcount/compression" % i)
        expect = 40 + img.width * img.height * 4 + ((img.width + 31) // 32) * 4 * img.height
        if size != expect or hdr[6] != expect - 40:
            bad("entry %d byte count %d, expected %d" % (i, size, expect))
        end = off + size
    if end != len(data):
        bad("file length %d, expected %d" % (len(data), end))


def build_all():
    """Return {output path: bytes} for every source file."""
    if not os.path.isdir(SRC_DIR):
        raise IconError("no source directory %s" % os.path.relpath(SRC_DIR, REPO))
    results = {}
    names = sorted(n for n in os.listdir(SRC_DIR) if n.endswith(".txt"))
    if not names:
        raise IconError("no .txt files in %s" % os.path.relpath(SRC_DIR, REPO))
    for n in names:
        path = os.path.join(SRC_DIR, n)
        with open(path, "r", encoding="utf-8") as f:
            images = parse_source(path, f.read())
        data = ico_bytes(images)
        out = os.path.join(OUT_DIR, n[:-4] + ".ico")
        verify_ico(data, images, os.path.relpath(out, REPO))
        results[out] = (data, images)
    return results


def main(argv):
    args = argv[1:]
    if args not in ([], ["--check"]):
        sys.stderr.write("usage: make_icons.py [--check]\n")
        return 2
    check = args == ["--check"]
    try:
        results = build_all()
    except IconError as e:
        sys.stderr.write("make_icons: error: %s\n" % e)
        return 1

    stale = []
    for out, (data, images) in sorted(results.items()):
        rel = os.path.relpath(out, REPO)
        sizes = " ".join("%dx%d" % (i.width, i.height) for i in images)
        if check:
            try:
                with open(out, "rb") as f:
                    current = f.read()
            except OSError:
                current = None
            if current != data:
                stale.append(rel)
                print("%s: %s" % (rel, "missing" if current is None else "out of date"))
        else:
            with open(out, "wb") as f:
                f.write(data)
            print("wrote %s (%s)" % (rel, sizes))
    if check:
        if stale:
            print("make_icons: %d icon(s) need regenerating: python3 tools/icongen/make_icons.py"
                  % len(stale))
            return 1
        print("make_icons: all %d icons are up to date" % len(results))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
