"""What QIVRA members tell each other beside their moves: the look each wears and the mark of a
line being typed. The window wears purple (IMAGE in config.txt); alice (qivra-peer --look 1)
wears red and bob (--look 3) green. Each peer's /members names the window's look; the window
draws each of them, in turn on the same spot two units before the camera, in its own shirt's
hue. Text in the window's input line shows bob typing=1 for the window's user (and carol, who
links meanwhile) until Return sends it; bob's /typing on puts the mark's plate above his name
tag, /typing off takes it away.

One room for both parts (tests/e2e/roomlab.py); the views are kept as in test_room.py.
"""
import colorsys
import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomlab import settle  # noqa: E402
from shots import changed, find  # noqa: E402
from test_room import LABEL_BOX, MIDDLE_COLUMN, RoomCase, avatar_in, is_tag  # noqa: E402

# core/looks.h's numbers, and the hue (degrees) of each look's shirt as tools/modelmaker paints
# it: red (200, 36, 36), green (40, 150, 60); the figure of look 0, not told, wears (44, 96, 196).
LOOKS = {"viewer": ("purple", 5), "alice": ("red", 1), "bob": ("green", 3)}
SHIRT_HUES = {"red": 0.0, "green": 131.0}
NOT_TOLD_HUE = 219.0
MEMBER = re.compile(r"^member (\S+) here x=\S+ z=\S+ serial=\d+ reach=(\w+) look=(\d+) typing=([01])$")
FRONT, BEHIND = "/pos 0 -2 180 180 0", "/pos 0 3 180 180 0"  # facing the camera, two units ahead; out of sight


def is_bob(r, g, b):
    # bob's nickname colour (255, 165, 120): his tag and the typing mark's dots.
    return r > 225 and 135 < g < 195 and 90 < b < 150


def hue_distance(a, b):
    d = abs(a - b) % 360
    return min(d, 360 - d)


def hues(view, empty, box):
    """The hue (degrees) of every clearly coloured pixel that the avatar changed in box: pale
    skin and dark or grey cloth fall out by their saturation."""
    found = []
    x0, y0, x1, y1 = box
    for y in range(y0, y1):
        for x in range(x0, x1):
            a, b = view.pixel(x, y), empty.pixel(x, y)
            if max(abs(p - q) for p, q in zip(a, b)) <= 40:
                continue
            h, s, v = colorsys.rgb_to_hsv(*(c / 255 for c in a))
            if s >= 0.5 and v >= 0.25:
                found.append(h * 360)
    return found


def share_near(found, hue, within=25):
    return sum(1 for h in found if hue_distance(h, hue) <= within) / max(1, len(found))


class RoomMarksTest(RoomCase):
    def members(self, peer):
        """The peer's /members as {nick: (reach, look, typing)}."""
        mark = peer.mark()
        peer.send("/members")
        count = int(peer.wait_for(r"^members \S+ \d+$", 5, since=mark).split()[-1])
        rows = {}
        deadline = time.monotonic() + 5
        while len(rows) < count and time.monotonic() < deadline:
            rows = {m.group(1): (m.group(2), int(m.group(3)), int(m.group(4)))
                    for m in map(MEMBER.match, peer.lines[mark:]) if m}
            time.sleep(0.02)
        return rows

    def wait_members(self, peer, nick, test, timeout, what):
        """Asks peer's /members until nick's row passes test; returns the seconds it took."""
        started = time.monotonic()
        while True:
            row = self.members(peer).get(nick)
            if row and test(row):
                return time.monotonic() - started
            if time.monotonic() - started > timeout:
                self.fail("%s: not within %.1f s (last %s row %r)" % (what, timeout, nick, row))
            time.sleep(0.1)

    def avatar_hues(self, peer, name, empty):
        """Stands peer before the camera; the hues of its shirt as the window draws it."""
        peer.send(FRONT)
        self.wait_view(name + " in front", lambda v: avatar_in(v, empty).count > 500, 5)
        settle(0.5)
        view = self.room.view(name + " standing")
        tag = find(view, is_tag, LABEL_BOX)
        self.assertGreater(tag.count, 300, "%s's name tag over the avatar: %r" % (name, tag))
        body = changed(empty, view, (0, tag.y1 + 1, 640, 348))
        self.assertLess(abs(body.center[0] - MIDDLE_COLUMN), 8, "%s's avatar in the middle: %r" % (name, body))
        # The shirt's rows: below the head (the top fifth), above the trousers (the lower half).
        height = body.y1 - body.y0 + 1
        found = hues(view, empty, (body.x0, body.y0 + height * 22 // 100, body.x1 + 1, body.y0 + height // 2))
        peer.send(BEHIND)
        return found, view

    def test_looks_travel_and_typing_marks_show(self):
        room = self.room
        room.connect_viewer(image=LOOKS["viewer"][0])
        alice = room.add_peer("alice", options=["--look", str(LOOKS["alice"][1])])
        bob = room.add_peer("bob", options=["--look", str(LOOKS["bob"][1])])
        for peer in (alice, bob):
            peer.wait_for(r"^presence active viewer$", 15)
            peer.send(BEHIND)

        # Each peer learns the window's look: purple, as IMAGE names it.
        for peer in (alice, bob):
            self.wait_members(peer, "viewer", lambda row: row[:2] == ("direct", LOOKS["viewer"][1]), 5,
                              "%s's /members names the window's look %d" % (peer.name, LOOKS["viewer"][1]))

        # The window draws each in its own look: alice's shirt red, bob's on the same spot green,
        # and neither the blue of the figure a look not told gets.
        settle(0.5)
        empty = room.view("nobody in front")
        drawn = {}
        for name, peer in (("alice", alice), ("bob", bob)):
            drawn[name], _ = self.avatar_hues(peer, name, empty)
            self.wait_view(name + " gone", lambda v: avatar_in(v, empty).count < 20, 5)
        for name, found in drawn.items():
            shares = {look: share_near(found, hue) for look, hue in SHIRT_HUES.items()}
            print("%s (%s): %d coloured pixels, shares by shirt hue %s, of look 0's blue %.2f"
                  % (name, LOOKS[name][0], len(found), {k: round(v, 2) for k, v in shares.items()},
                     share_near(found, NOT_TOLD_HUE)))
            self.assertGreater(len(found), 200, "%s's shirt shows few coloured pixels" % name)
            own = LOOKS[name][0]
            other = next(look for look in SHIRT_HUES if look != own)
            self.assertGreater(shares[own], 0.8, "%s is not drawn mostly in the %s shirt's hue: %r" % (name, own, shares))
            self.assertLess(shares[other], 0.05, "%s shows the %s shirt's hue: %r" % (name, other, shares))
            self.assertLess(share_near(found, NOT_TOLD_HUE), 0.05, "%s is drawn as the figure of no look" % name)

        # Text in the input line is a line being typed: bob sees the mark within two seconds;
        # Return sends the line, and the mark goes with it.
        bob.send(FRONT)
        room.desktop.click(room.window, 320, 470)  # the input line
        room.desktop.type("marks for bob")
        waited = self.wait_members(bob, "viewer", lambda row: row[2] == 1, 2.0, "typing=1 while text is in the input line")
        print("bob saw the window's typing mark %.2f s after the text was typed" % waited)
        # A member who links while the line is being typed sees the mark too.
        carol = room.add_peer("carol")
        carol.wait_for(r"^presence active viewer$", 15)
        self.wait_members(carol, "viewer", lambda row: row[2] == 1, 2.0, "typing=1 for a member linked meanwhile")
        mark = bob.mark()
        room.desktop.key("Return")
        bob.wait_for(r"^<viewer> marks for bob$", 5, since=mark)
        for peer in (bob, carol):
            self.wait_members(peer, "viewer", lambda row: row[2] == 0, 2.0,
                              "%s: typing=0 once the line was sent" % peer.name)

        # bob's mark over his avatar: a plate of the tags' grey right above his tag, gone again
        # when he stops.
        standing, _ = self.wait_view("bob standing", lambda v: find(v, is_tag, LABEL_BOX).count > 300, 5)
        settle(0.5)
        standing = room.view("bob standing, settled")
        tag = find(standing, is_tag, LABEL_BOX)
        above = (tag.x0 - 40, max(0, tag.y0 - 60), tag.x1 + 41, tag.y0)
        self.assertEqual(0, changed(standing, room.view("bob still standing"), above).count, "the view above bob moves")
        bob.send("/typing on")
        typing, waited = self.wait_view("bob typing", lambda v: changed(standing, v, above).count > 100, 2)
        settle(0.3)
        typing = room.view("bob typing, settled")
        # A rounded plate edged in his colour, with his three dots inside it.
        plate = find(typing, is_tag, above)
        print("bob's typing mark showed %.2f s after /typing on: plate %r" % (waited, plate))
        self.assertGreater(plate.count, 200, "no plate above bob's tag: %r" % plate)
        self.assertLess(abs(plate.center[0] - tag.center[0]), 3, "the plate is not over the tag: %r, %r" % (plate, tag))
        self.assertLess(plate.y1, tag.y0, "the plate overlaps the tag: %r, %r" % (plate, tag))
        dots = find(typing, is_bob, (plate.x0 + 2, plate.y0 + 2, plate.x1 - 1, plate.y1 - 4))
        self.assertGreater(dots.count, 20, "no dots in bob's colour on the plate: %r" % dots)
        self.assertLess(abs(dots.center[0] - plate.center[0]), 3, "the dots are not in the plate's middle: %r" % dots)
        bob.send("/typing off")
        self.wait_view("bob done typing", lambda v: changed(standing, v, above).count == 0, 2)
        self.assertTrue(room.viewer.alive())


if __name__ == "__main__":
    unittest.main()
