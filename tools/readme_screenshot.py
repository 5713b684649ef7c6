"""Takes docs/screenshot.png: the QIVRA window (a wide one, 1000x600 client area, so the member
list shows beside the view) looking across the room at peers as the room shows them: each with
its name tag over its head and its last line in a speech bubble above that, the same chat in
the console (a line naming the viewer, Chinese and Japanese, emoji), and the member list with a
member reached directly, one through the server and one by chat only. Each member wears a
look of its own (qivra-peer --look), so the room shows the looks apart.

Runs the built program and qivra-peer on a private desktop and network lab (see
tests/e2e/roomlab.py), so it needs root and Debian's python:
    sudo /usr/bin/python3 tools/readme_screenshot.py [OUTPUT.png]
"""
import os
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from roomlab import Room, settle  # noqa: E402
from shots import find  # noqa: E402

SIZE = (1000, 600)
VIEW = (0, 0, 800, 468)        # the view beside the member list (200 pixels at this width)
LIST = (800, 0, 1000, 468)
NO_LINK_MS = "3000"            # dave's link is given up on soon, and his moves come through the server
# The camera looks north along -z from the middle of the south wall (where the room's
# bounds stop a walk backwards from the origin); the peers stand before it (x, z, facing
# in degrees).
PEERS = [("alice", -0.55, 3.5, 195), ("bob", 0.7, 2.9, 160), ("dave", 2.2, 0.5, 200)]
# The look each tells (core/looks.h's numbers): alice purple, bob orange, dave yellow; erin, chat
# only, is not in the room, and carol's own is never in her view.
LOOKS = {"alice": 5, "bob": 6, "dave": 4, "erin": 7}
# Each tag and bubble is drawn in its member's nickname colour (core/nick_colour.cpp's palette).
NICK_COLOURS = {"alice": (210, 210, 120), "bob": (255, 165, 120)}


def is_tag(r, g, b):
    # A name tag's plate: the console's dark grey (34, 36, 40).
    return abs(r - 34) <= 4 and abs(g - 36) <= 4 and abs(b - 40) <= 4


def colour_test(name):
    want = NICK_COLOURS[name]
    return lambda r, g, b: all(abs(have - wanted) < 25 for have, wanted in zip((r, g, b), want))


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "docs", "screenshot.png")
    with Room(nick="carol") as room:
        room.connect_viewer(size=SIZE, extra_env={"QIVRA_NO_LINK_MS": NO_LINK_MS})
        look = {name: ["--look", str(number)] for name, number in LOOKS.items()}
        peers = [room.add_peer("alice", options=look["alice"]), room.add_peer("bob", options=look["bob"]),
                 room.add_peer("dave", options=look["dave"], env={"QIVRA_NO_LINK_MS": NO_LINK_MS}, datagrams=False),
                 room.add_peer("erin", options=["--presence", "off"] + look["erin"])]
        for peer in peers[:2]:
            peer.wait_for(r"^presence active carol$", 15)
        peers[2].wait_for(r"^presence relayed carol$", 30)
        room.click_view()
        room.hold("Down", 2.0)
        for peer, (name, x, z, facing) in zip(peers, PEERS):
            peer.send("/pos %s %s %s %s 0" % (x, z, facing, facing))
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
        room.desktop.click(room.window, SIZE[0] // 2, SIZE[1] - 10)  # the input line
        room.desktop.type("hello all!")
        room.desktop.press_for("Return")
        settle(1.0)
        # Both bubbles are held for over six seconds: the frame shows both, with the tags.
        picture = room.window_picture()
        tags = find(picture, is_tag, VIEW).count
        inks = {name: find(picture, colour_test(name), VIEW).count for name in NICK_COLOURS}
        listed = {name: find(picture, colour_test(name), LIST).count for name in NICK_COLOURS}
        if tags < 600 or min(inks.values()) < 60 or min(listed.values()) < 30:
            picture.save(output + ".failed.png")
            sys.exit("the frame lacks a tag, a bubble or the list (%s.failed.png; tag pixels %d, ink %r, list %r)"
                     % (output, tags, inks, listed))
        raw = output + ".full.png"
        picture.save(raw)
    # A palette of 256 colours keeps the file small; no dithering, which would speckle the walls.
    subprocess.run(["convert", raw, "+dither", "-colors", "256", "PNG8:" + output], check=True)
    os.unlink(raw)
    print("wrote %s (%d bytes); tag pixels %d, ink %r, list %r" % (output, os.path.getsize(output), tags, inks, listed))


if __name__ == "__main__":
    main()
