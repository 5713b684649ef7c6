"""qivra-iconmaker: every icon-theme size decodes as a PNG of that size, and all of them, the
SVG included, show the same picture."""
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

MAKER = os.environ.get("QIVRA_ICONMAKER", "qivra-iconmaker")
SIZES = [16, 24, 32, 48, 64, 128, 256]


def read_png(path):
    """(width, height, rows of (r, g, b)) of an 8-bit RGB PNG without interlace or row filters."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG signature"
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        assert struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0] == zlib.crc32(kind + body), kind
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert (depth, colour, interlace) == (8, 2, 0), header
    raw = zlib.decompress(idat)
    stride = width * 3 + 1
    assert len(raw) == height * stride
    rows = []
    for y in range(height):
        row = raw[y * stride:(y + 1) * stride]
        assert row[0] == 0, "row filter"
        rows.append([tuple(row[1 + 3 * x:4 + 3 * x]) for x in range(width)])
    return width, height, rows


def read_svg(path):
    """The SVG's one-pixel-high rectangles painted into a 32 x 32 grid."""
    grid = [[None] * 32 for _ in range(32)]
    with open(path) as f:
        for x, y, width, colour in re.findall(
                r'<rect x="(\d+)" y="(\d+)" width="(\d+)" height="1" fill="#([0-9a-f]{6})"/>', f.read()):
            for i in range(int(width)):
                grid[int(y)][int(x) + i] = tuple(bytes.fromhex(colour))
    return grid


class IconMakerTest(unittest.TestCase):
    def test_sizes_decode_and_agree(self):
        out = tempfile.mkdtemp(prefix="qivra-icons-")
        self.addCleanup(subprocess.run, ["rm", "-rf", out])
        subprocess.run([MAKER, out], check=True)
        theme = os.path.join(out, "hicolor")
        self.assertEqual(sorted(["%dx%d" % (s, s) for s in SIZES] + ["scalable"]), sorted(os.listdir(theme)))
        pictures = {}
        for size in SIZES:
            width, height, rows = read_png(os.path.join(theme, "%dx%d" % (size, size), "apps", "qivra.png"))
            self.assertEqual((size, size), (width, height))
            pictures[size] = rows
        icon = read_svg(os.path.join(theme, "scalable", "apps", "qivra.svg"))
        self.assertEqual(icon, pictures[32], "the SVG and the 32-pixel PNG differ")
        self.assertGreater(len(set(p for row in icon for p in row)), 4, "a picture, not a blank square")
        for size in (64, 128, 256):  # whole multiples: every icon pixel a sharp square
            k = size // 32
            self.assertEqual([[icon[y // k][x // k] for x in range(size)] for y in range(size)], pictures[size])
        # Half size: each pixel the rounded average of four.
        for y in range(16):
            for x in range(16):
                four = [icon[2 * y + dy][2 * x + dx] for dy in (0, 1) for dx in (0, 1)]
                expected = tuple(int(sum(p[c] for p in four) / 4 + 0.5) for c in range(3))
                self.assertEqual(expected, pictures[16][y][x], "16x16 pixel (%d, %d)" % (x, y))


if __name__ == "__main__":
    sys.exit(unittest.main())
