"""Takes docs/screenshot.png: the QIVRA window (640x480 client area) looking across the room
at two peers, their spinning labels caught reading the right way round, and a little chat
in the console (a line naming the viewer, Chinese and Japanese, an emoji).

Runs the built program and qivra-peer on a private desktop and network lab (see
tests/e2e/roomlab.py), so it needs root and Debian's python:
    sudo /usr/bin/python3 tools/readme_screenshot.py [OUTPUT.png]
"""
import os
import struct
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from roomlab import Room, settle  # noqa: E402
from shots import find  # noqa: E402

# The camera looks north along -z from the middle of the south wall (where the room's
# bounds stop a walk backwards from the origin); the peers stand before it (x, z, facing
# in degrees).
CAMERA_Z = 5.75
PEERS = [("alice", -0.55, 3.5, 195), ("bob", 0.7, 2.9, 160)]
# Each label is drawn in its member's nickname colour (core/nick_colour.cpp's palette).
LABEL_COLOURS = {"alice": (255, 200, 170), "bob": (255, 120, 220)}
LABEL_LIFT = 1.155 - 0.6      # a label's height above the eye
ROW_SCALE, COLUMN_SCALE = 569.1, 572.4


def label_test(name):
    want = LABEL_COLOURS[name]
    # Near the colour and far from grey: the ceiling behind the labels is a warm light grey.
    return lambda r, g, b: (max(r, g, b) - min(r, g, b) > 50 and
                            all(abs(have - wanted) < 25 for have, wanted in zip((r, g, b), want)))


def font_columns(text):
    """Ink per pixel column of text in data/font.bmp (16 by 16 cells, key colour (0,255,0))."""
    with open(os.path.join(ROOT, "data", "font.bmp"), "rb") as f:
        data = f.read()
    offset, width, height = struct.unpack_from("<I", data, 10)[0], *struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    cell = width // 16
    columns = []
    for c in text.encode():
        left, top = (c % 16) * cell, (c // 16) * cell
        for x in range(left, left + cell):
            ink = 0
            for y in range(top, top + cell):
                i = offset + (height - 1 - y) * stride + x * 3  # rows are stored bottom-up
                if data[i:i + 3] != b"\x00\xff\x00":  # blue, green, red
                    ink += 1
            columns.append(ink)
    while columns and not columns[-1]:  # the label's ink starts and ends where the glyphs' does
        columns.pop()
    while columns and not columns[0]:
        columns.pop(0)
    return columns


def correlation(a, b):
    n = len(a)
    ma, mb = sum(a) / n, sum(b) / n
    cov = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    va = sum((x - ma) ** 2 for x in a) ** 0.5
    vb = sum((y - mb) ** 2 for y in b) ** 0.5
    return cov / (va * vb) if va and vb else 0.0


def label_reading(picture, box, expected, is_label):
    """(ink pixels, how much better the label matches its text than the text mirrored)."""
    found = find(picture, is_label, box)
    if found.count < 30:
        return found.count, -1.0
    seen = [0] * (found.x1 - found.x0 + 1)
    x0, y0, x1, y1 = box
    for y in range(y0, y1):
        for x in range(found.x0, found.x1 + 1):
            if is_label(*picture.pixel(x, y)):
                seen[x - found.x0] += 1
    resampled = [seen[int(i * len(seen) / len(expected))] for i in range(len(expected))]
    return found.count, correlation(resampled, expected) - correlation(resampled, expected[::-1])


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "docs", "screenshot.png")
    with Room(nick="carol") as room:
        room.connect_viewer()
        peers = [room.add_peer(name) for name, _, _, _ in PEERS]
        for peer in peers:
            peer.wait_for(r"^presence active carol$", 15)
        room.click_view()
        room.hold("Down", 2.0)
        boxes = []
        for peer, (name, x, z, facing) in zip(peers, PEERS):
            peer.send("/pos %s %s %s %s 0" % (x, z, facing, facing))
            distance = CAMERA_Z - z
            column = 320 + COLUMN_SCALE * x / distance
            row = 174 - ROW_SCALE * LABEL_LIFT / distance
            half = COLUMN_SCALE * 0.05 * len(name) / distance + 20
            boxes.append((int(column - half), max(0, int(row - 25)), int(column + half), int(row + 25)))
        # ngircd holds back a client's lines for a while after its WHOIS queries: leave time
        # between them, so that the console shows them in the order they were said.
        peers[0].send("hi carol, welcome to the room")
        settle(2.0)
        peers[1].send("/me waves")
        settle(2.0)
        peers[0].send("\u4f60\u597d \u3053\u3093\u306b\u3061\u306f, the fire is warm")
        settle(2.0)
        peers[1].send("\U0001F525 \U0001F44B see you by the fireplace")
        settle(2.0)
        room.desktop.click(room.window, 320, 470)  # the input line
        room.desktop.type("hello both!")
        room.desktop.press_for("Return")
        settle(1.0)
        expected = [font_columns(name) for name, _, _, _ in PEERS]
        tests = [label_test(name) for name, _, _, _ in PEERS]
        # First how wide each label gets at all, then the frame where both read the right way
        # round and are nearest to that width together.
        widest = [1] * len(PEERS)
        deadline = time.monotonic() + 2.5
        while time.monotonic() < deadline:
            picture = room.window_picture()
            widest = [max(w, find(picture, test, box).count) for w, test, box in zip(widest, tests, boxes)]
        best, best_score = None, 0.0
        deadline = time.monotonic() + 6.0
        while time.monotonic() < deadline:
            picture = room.window_picture()
            readings = [label_reading(picture, box, text, test) for box, text, test in zip(boxes, expected, tests)]
            # At rest the labels face the viewer: reading better than mirrored is enough.
            if all(margin > 0.0 for _, margin in readings):
                score = min(count / w for (count, _), w in zip(readings, widest))
                if score > best_score:
                    best, best_score = picture, score
        if best is None:
            picture.save(output + ".failed.png")
            sys.exit("no frame showed both labels reading the right way round (the last frame: %s.failed.png;"
                     " label pixels and margins %r)" % (output, readings))
        raw = output + ".full.png"
        best.save(raw)
    # A palette of 256 colours keeps the file small; no dithering, which would speckle the walls.
    subprocess.run(["convert", raw, "+dither", "-colors", "256", "PNG8:" + output], check=True)
    os.unlink(raw)
    print("wrote %s (%d bytes); labels at %d%% of their widest" % (output, os.path.getsize(output), 100 * best_score))


if __name__ == "__main__":
    main()
