"""Screen regions as plain RGB pixels, and the comparisons the room tests make on them.

Grabber reads a region straight from the X server (XGetImage through ctypes, a few
milliseconds: ImageMagick's import takes up to two seconds while the program renders, too
slow to time what the screen shows). Picture.from_png reads a region of a PNG file. Every
measure works on a box (x0, y0, x1, y1) with x1 and y1 exclusive.
"""
import ctypes
import ctypes.util
import subprocess


class Picture:
    """An RGB picture: width, height and raw bytes, three per pixel, rows top-down."""

    def __init__(self, width, height, raw, taken=None):
        if len(raw) != width * height * 3:
            raise ValueError("%d bytes for a %dx%d picture" % (len(raw), width, height))
        self.width = width
        self.height = height
        self.raw = raw
        self.taken = taken  # time.monotonic() of the grab, when grabbed

    @classmethod
    def from_png(cls, png_path, x, y, width, height):
        raw = subprocess.run(["convert", png_path, "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                              "+repage", "-depth", "8", "rgb:-"],
                             capture_output=True, check=True, timeout=30).stdout
        return cls(width, height, raw)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.raw[i], self.raw[i + 1], self.raw[i + 2]

    def save(self, path):
        """Writes the picture as a PNG file."""
        subprocess.run(["convert", "-size", "%dx%d" % (self.width, self.height), "-depth", "8", "rgb:-", path],
                       input=self.raw, check=True, timeout=30)
        return path


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


class Grabber:
    """One connection to an X display that reads screen regions."""

    _ALL_PLANES = ctypes.c_ulong(0xFFFFFFFF)
    _Z_PIXMAP = 2

    def __init__(self, display_name):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(_XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(display_name.encode())
        if not self.display:
            raise RuntimeError("cannot open display " + display_name)
        self.root = self.x.XDefaultRootWindow(self.display)

    def grab(self, x, y, width, height, taken=None):
        image = self.x.XGetImage(self.display, self.root, x, y, width, height,
                                 self._ALL_PLANES, self._Z_PIXMAP)
        if not image:
            raise RuntimeError("XGetImage failed for %dx%d+%d+%d" % (width, height, x, y))
        try:
            im = image.contents
            if im.bits_per_pixel != 32 or im.red_mask != 0xFF0000 or im.blue_mask != 0xFF:
                raise RuntimeError("unexpected screen format: %d bits, masks %x %x %x" % (
                    im.bits_per_pixel, im.red_mask, im.green_mask, im.blue_mask))
            stride = im.bytes_per_line
            data = ctypes.string_at(im.data, stride * height)
        finally:
            self.x.XDestroyImage(image)
        return Picture(width, height, _bgrx_to_rgb(data, width, height, stride), taken)

    def close(self):
        if self.display:
            self.x.XCloseDisplay(self.display)
            self.display = None


def _bgrx_to_rgb(data, width, height, stride):
    """Little-endian 32-bit pixels (blue, green, red, unused) to packed RGB."""
    out = bytearray(width * height * 3)
    for y in range(height):
        row = data[y * stride:y * stride + width * 4]
        o = y * width * 3
        out[o:o + width * 3:3] = row[2::4]
        out[o + 1:o + width * 3:3] = row[1::4]
        out[o + 2:o + width * 3:3] = row[0::4]
    return bytes(out)


class Found:
    """Where the pixels that passed a test lie: count, bounding box and centre."""

    def __init__(self):
        self.count = 0
        self.x0 = self.y0 = 1 << 30
        self.x1 = self.y1 = -1
        self._sx = self._sy = 0

    def add(self, x, y):
        self.count += 1
        self.x0, self.x1 = min(self.x0, x), max(self.x1, x)
        self.y0, self.y1 = min(self.y0, y), max(self.y1, y)
        self._sx += x
        self._sy += y

    @property
    def width(self):
        return self.x1 - self.x0 + 1 if self.count else 0

    @property
    def center(self):
        return (self._sx / self.count, self._sy / self.count) if self.count else (None, None)

    def __repr__(self):
        if not self.count:
            return "Found(nothing)"
        return "Found(%d px, x %d..%d, y %d..%d, centre %.1f,%.1f)" % (
            self.count, self.x0, self.x1, self.y0, self.y1, self.center[0], self.center[1])


def _box(picture, box):
    return box if box else (0, 0, picture.width, picture.height)


def find(picture, test, box=None):
    """The pixels in box for which test(r, g, b) is true."""
    x0, y0, x1, y1 = _box(picture, box)
    found = Found()
    raw, width = picture.raw, picture.width
    for y in range(y0, y1):
        row = y * width * 3
        for x in range(x0, x1):
            i = row + x * 3
            if test(raw[i], raw[i + 1], raw[i + 2]):
                found.add(x, y)
    return found


def changed(before, after, box=None, tolerance=40):
    """The pixels in box whose colour differs by more than tolerance in some channel."""
    x0, y0, x1, y1 = _box(before, box)
    found = Found()
    a, b, width = before.raw, after.raw, before.width
    for y in range(y0, y1):
        row = y * width * 3
        for x in range(x0, x1):
            i = row + x * 3
            if (abs(a[i] - b[i]) > tolerance or abs(a[i + 1] - b[i + 1]) > tolerance
                    or abs(a[i + 2] - b[i + 2]) > tolerance):
                found.add(x, y)
    return found


def changed_share(before, after, box=None, tolerance=40):
    """The share (0 to 1) of the pixels in box that changed by more than tolerance."""
    x0, y0, x1, y1 = _box(before, box)
    area = max(1, (x1 - x0) * (y1 - y0))
    return changed(before, after, box, tolerance).count / area
