#!/usr/bin/env python3
"""Writes the binary seeds of the fuzz corpus: small bitmaps of every header, depth and
compression the decoder takes, a one-triangle MilkShape 3D model, datagram runs, and sealed
datagrams with key texts and counter runs.

Usage: fuzz/make_seeds.py   (writes into fuzz/corpus/; the text seeds are written by hand)
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# -- bitmaps -------------------------------------------------------------------------------
def rows(width, height, bits, pixel):
    """Bottom-up rows of pixel(x, y) values packed at bits per pixel, padded to 4 bytes."""
    out = b""
    for y in range(height):
        acc, nbits, row = 0, 0, b""
        for x in range(width):
            value = pixel(x, y)
            if bits >= 8:
                row += value.to_bytes(bits // 8, "little")
            else:
                acc = (acc << bits) | value
                nbits += bits
                if nbits == 8:
                    row += bytes([acc])
                    acc, nbits = 0, 0
        if nbits:
            row += bytes([acc << (8 - nbits)])
        out += row + b"\0" * (-len(row) % 4)
    return out


def bmp(width, height, bits, body, palette=b"", compression=0, masks=b"", core=False, file_header=True):
    if core:
        header = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(body), 2835, 2835,
                             len(palette) // 4, 0)
    dib = header + masks + palette + body
    if not file_header:
        return dib
    return struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, 14 + len(dib) - len(body)) + dib


def palette(count, entry=4):
    colours = b""
    for i in range(count):
        colour = bytes([(i * 37) & 255, (i * 91) & 255, (i * 53) & 255])
        colours += colour + (b"\0" if entry == 4 else b"")
    return colours


def bitmaps():
    def pix(x, y):
        return (x * 7 + y * 13) & 0xFFFFFF

    write("bitmap", "rgb24_3x2.bmp", bmp(3, 2, 24, rows(3, 2, 24, pix)))
    write("bitmap", "rgb24_top_down.bmp", bmp(3, -2, 24, rows(3, 2, 24, pix)))
    write("bitmap", "rgb24_no_file_header.bmp", bmp(2, 2, 24, rows(2, 2, 24, pix), file_header=False))
    for bits in (1, 4, 8):
        body = rows(5, 3, bits, lambda x, y: (x + y) % (1 << bits))
        write("bitmap", "palette%d_5x3.bmp" % bits, bmp(5, 3, bits, body, palette(1 << bits)))
    core_body = rows(4, 2, 8, lambda x, y: x + y)
    write("bitmap", "core_header8.bmp", bmp(4, 2, 8, core_body, palette(256, 3), core=True))
    rle8 = bytes([3, 1, 0, 2, 5, 6]) + bytes([0, 0]) + bytes([0, 3, 7, 8, 9, 0]) + bytes([0, 0, 0, 1])
    write("bitmap", "rle8_5x2.bmp", bmp(5, 2, 8, rle8, palette(256), compression=1))
    rle4 = bytes([4, 0x12, 0, 0]) + bytes([0, 2, 0, 1, 2, 0x34]) + bytes([0, 1])
    write("bitmap", "rle4_4x2.bmp", bmp(4, 2, 4, rle4, palette(16), compression=2))
    masks565 = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    write("bitmap", "bitfields16_565.bmp",
          bmp(3, 2, 16, rows(3, 2, 16, lambda x, y: (x * 4000 + y * 999) & 0xFFFF), compression=3, masks=masks565))
    masks32 = struct.pack("<III", 0x00FF0000, 0x0000FF00, 0x000000FF)
    write("bitmap", "bitfields32.bmp", bmp(2, 2, 32, rows(2, 2, 32, pix), compression=3, masks=masks32))
    write("bitmap", "rgb16_555.bmp", bmp(2, 2, 16, rows(2, 2, 16, lambda x, y: x * 31 + y * 1024)))


# -- MilkShape 3D ----------------------------------------------------------------------------
def ms3d(version, materials):
    vertices = [(0.0, 0.0, 0.0), (1.0, 0.0, 0.0), (0.0, 2.0, 0.0)]
    out = b"MS3D000000" + struct.pack("<i", version)
    out += struct.pack("<H", len(vertices))
    for v in vertices:
        out += struct.pack("<B3fbB", 0, *v, -1, 1)
    out += struct.pack("<H", 1)
    out += struct.pack("<H3H9f3f3fBB", 0, 0, 1, 2, *([0.0, 0.0, 1.0] * 3), 0.0, 1.0, 0.0, 0.0, 0.0, 0.75, 1, 0)
    out += struct.pack("<H", 1)
    out += struct.pack("<B32sHHb", 0, b"body", 1, 0, 0 if materials else -1)
    out += struct.pack("<H", len(materials))
    for texture in materials:
        out += struct.pack("<32s4f4f4f4fffB128s128s", b"skin", *([0.2] * 4), *([0.8] * 4), *([0.0] * 4),
                           *([0.0] * 4), 0.0, 1.0, 0, texture, b"")
    return out


def models():
    write("ms3d", "one_triangle_skin.ms3d", ms3d(4, [b"skin.bmp"]))
    write("ms3d", "one_triangle_v3_no_material.ms3d", ms3d(3, []))


# -- datagram runs ---------------------------------------------------------------------------
ALICE, BOB, STRANGER = 0, 1, 2
PORT_6669, PORT_40000 = 0, 1
SEALED = 16  # the harness seals the bytes with alice's keys first


def record(source, port, data, sealed=0):
    return bytes([source | (port << 2) | sealed]) + struct.pack("<H", len(data)) + data


def position(*values):
    return b"d" + struct.pack("<5f", *values)


def datagrams():
    write("datagrams", "hello_then_moves", record(ALICE, PORT_6669, b"calice")
          + record(ALICE, PORT_6669, position(1.0, -2.5, 90.0, 45.0, -10.0))
          + record(ALICE, PORT_6669, b"i\x01\x02") + record(ALICE, PORT_6669, b"i\x01\x01")
          + record(ALICE, PORT_6669, b"k\x03\x05\x00\x07"))
    write("datagrams", "reply_new_port_and_stranger", record(BOB, PORT_40000, b"Cbob")
          + record(BOB, PORT_6669, b"cbob") + record(STRANGER, PORT_6669, position(0.0, 0.0, 0.0, 0.0, 0.0))
          + record(STRANGER, PORT_6669, b"calice") + record(BOB, PORT_40000, b"i\x09\x02"))
    write("datagrams", "empty_short_and_long", record(ALICE, PORT_6669, b"calice") + record(ALICE, PORT_6669, b"")
          + record(ALICE, PORT_6669, b"d\x00\x00") + record(ALICE, PORT_6669, b"d" * 2060))
    write("datagrams", "sealed_hello_typing_then_plain", record(ALICE, PORT_40000, b"calice\x00rooms seal look=4", SEALED)
          + record(ALICE, PORT_40000, b"t\x01", SEALED) + record(ALICE, PORT_6669, position(1, 2, 3, 4, 5), SEALED)
          + record(ALICE, PORT_6669, position(9, 9, 0, 0, 0)) + record(ALICE, PORT_6669, b"t\x00")
          + record(STRANGER, PORT_6669, b"t", SEALED) + record(BOB, PORT_6669, b"e" + bytes(40), SEALED))


def seal():
    key_text = bytes(range(1, 33)).hex().encode()
    write("seal", "key_text", b"\x00" + key_text)
    write("seal", "key_text_upper", b"\x00" + key_text.upper())
    header = b"e" + bytes(8) + struct.pack("<Q", 1)
    write("seal", "stranger_position", b"\x01" + header + position(1.0, 2.0, 3.0, 4.0, 5.0) + bytes(16))
    steps = [1, 2, -1, 70, -64, -63, 1000, -5]
    write("seal", "counters", b"\x02" + b"".join(struct.pack("<H", s + 0x8000) for s in steps))
    write("seal", "position_tag_changed", b"\x03" + struct.pack("<H", 40) + b"\x01" + position(1, 2, 3, 4, 5))
    write("seal", "hello_untouched", b"\x03" + struct.pack("<H", 0) + b"\x00" + b"calice")
    write("seal", "position_tag_changed_aes", b"\x07" + struct.pack("<H", 40) + b"\x01" + position(1, 2, 3, 4, 5))
    write("seal", "details_text", b"\x04\x01QIVRA ask relay rooms key=" + key_text + b" look=3 at=10.0.0.7 "
          b"at=2001:db8::9 at=host.example\x01")
    write("seal", "details_words_unknown_and_bad", b"\x04\x01QIVRA  new=1 key=" + key_text.upper() + b" look=9 at= at=a b\x01")


if __name__ == "__main__":
    bitmaps()
    models()
    datagrams()
    seal()
