"""The member list beside the view of a wide window, with qivra-peer members reached directly,
through the server (their namespace drops datagrams) and by chat only: its words (through
QIVRA_MEMBERS_STDERR) and colours, and a double-click that faces a member. Views: evidence/."""
import math
import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomlab import settle  # noqa: E402
from shots import find  # noqa: E402
from test_room import RoomCase, is_alice, is_tag  # noqa: E402

LIST_BOX, VIEW_BOX = (800, 0, 1000, 468), (0, 0, 800, 468)  # a 1000x600 window: a list 200 wide
NO_LINK = {"QIVRA_NO_LINK_MS": "3000"}  # no direct link to carol is given up on this soon
HEADING = re.compile(r"heading=(-?[\d.]+) pitch=(-?[\d.]+)$")
PLACES = {"alice": (3.0, -2.0), "carol": (-3.0, -2.5)}


def facing(x, z):  # the heading that faces (x, z) from the origin: 0 looks along -z
    return math.degrees(math.atan2(-x, -z))


def is_bob_faded(r, g, b):  # bob's colour (255, 165, 120) halfway into the list's grey: no figure here
    return all(abs(have - want) <= 12 for have, want in zip((r, g, b), (144, 100, 80)))


class MemberListTest(RoomCase):
    def members(self):  # the list's last heading and rows as the seam printed them: [(name, state)]
        lines = [line[10:] for line in self.room.viewer.stderr().splitlines() if line.startswith("[members] ")]
        heads = [i for i, line in enumerate(lines) if not line.startswith("  ")] or [len(lines)]
        return lines[heads[-1]:heads[-1] + 1], [tuple(line.strip().split(" | ")) for line in lines[heads[-1] + 1:]]

    def double_click(self, x, y):
        self.room.desktop.xdotool("mousemove", "--window", self.room.window, x, y, "click", "--repeat", "2", 1)

    def test_the_list_says_how_each_member_is_here_and_a_double_click_faces_one(self):
        room = self.room
        room.connect_viewer(size=(1000, 600), extra_env=dict(NO_LINK, QIVRA_MEMBERS_STDERR="1"))
        alice = room.add_peer("alice")
        bob = room.add_peer("bob", options=["--presence", "off"])
        carol = room.add_peer("carol", env=NO_LINK, datagrams=False)
        for peer, name in ((alice, "alice"), (carol, "carol")):
            peer.send("/pos %s %s 0 0 0" % PLACES[name])
        alice.wait_for(r"^presence active viewer$", 15)
        carol.wait_for(r"^presence relayed viewer$", 30)
        carol.send("/pos %s %s 0 0 0" % PLACES["carol"])  # again, now that it goes through the server
        deadline = time.monotonic() + 20
        while "through the server" not in str(self.members()) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual((["#room \u00b7 3 others"], [("alice", "direct \u00b7 3.6 m"), ("bob", "chat only"),
                                                      ("carol", "through the server \u00b7 3.9 m")]), self.members())
        settle(0.5)
        room.pictures.append(("the list", room.window_picture()))
        whole = room.pictures[-1][1]
        name, bob_row = find(whole, is_alice, LIST_BOX), find(whole, is_bob_faded, LIST_BOX)
        self.assertGreater(name.count, 40, "alice's name in her colour in the list: %r" % name)
        self.assertGreater(bob_row.count, 20, "bob, chat only, faded in the list: %r" % bob_row)
        self.assertEqual(0, find(whole, is_alice, VIEW_BOX).count, "alice shows in the view before the turn")

        # A double-click on alice turns the user to face her, level: she is told the heading, and
        # her tag stands in the middle of the view.
        mark = alice.mark()
        self.double_click(name.center[0], name.center[1])
        line = alice.wait_for(r"^presence position viewer ", 5, since=mark)
        told = tuple(round(float(v), 1) for v in HEADING.search(line).groups())
        self.assertEqual((round(facing(*PLACES["alice"]), 1), 0.0), told, line)
        settle(0.5)
        room.pictures.append(("facing alice", room.window_picture()))
        tag = find(room.pictures[-1][1], is_tag, VIEW_BOX)
        self.assertAlmostEqual(400, tag.center[0], delta=6, msg="her tag in the middle of the view: %r" % tag)

        # Chat only: no figure to face, nothing turns. carol, through the server, the row below: faced.
        mark = alice.mark()
        self.double_click(bob_row.center[0], bob_row.center[1])
        time.sleep(1.0)
        self.assertFalse(alice.has_line(r"^presence position viewer ", mark), "a chat-only member turned the view")
        mark = carol.mark()
        self.double_click(name.center[0], 2 * bob_row.center[1] - name.center[1])
        line = carol.wait_for(r"^presence position viewer ", 10, since=mark)
        self.assertAlmostEqual(facing(*PLACES["carol"]), float(HEADING.search(line).group(1)), delta=0.1, msg=line)

        # Under 800 pixels wide the view takes the list's place: alice, faced again, in its middle.
        self.double_click(name.center[0], name.center[1])
        room.desktop.xdotool("windowsize", room.window, 760, 600)
        time.sleep(1.0)
        room.pictures.append(("narrow", room.grabber.grab(*room.client_origin, 760, 468)))
        tag = find(room.pictures[-1][1], is_tag, (0, 0, 760, 468))
        self.assertAlmostEqual(380, tag.center[0], delta=6, msg="the view is the window's width: %r" % tag)
        self.assertTrue(room.viewer.alive())


if __name__ == "__main__":
    unittest.main()
