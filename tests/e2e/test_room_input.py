"""Whole-program tests of looking around, leaving, the scroll keys, the kept window size and
arriving in a room: the program on ngircd in a lab (roomlab.py) with qivra-peer members, whose
"presence position viewer" lines tell where it stands and looks. Views of a failure: evidence/.
"""
import math
import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomlab import MAIN_TITLE, Room, settle  # noqa: E402
from shots import changed, changed_share, find  # noqa: E402
from test_room import RoomCase, avatar_in  # noqa: E402

DIALOG_TITLE = "Welcome to QIVRA"
NOTICE_BAND = (0, 70, 640, 105)  # the notice's dark band across the upper quarter of the view
POSITION = re.compile(r"x=(\S+) z=(\S+) yaw=(\S+) heading=(\S+) pitch=(\S+)$")


def position(peer, since=0, timeout=10):  # the newest (x, z, yaw, heading, pitch) told the peer
    peer.wait_for(r"^presence position viewer ", timeout, since=since)
    line = [line for line in peer.lines[since:] if line.startswith("presence position viewer ")][-1]
    return tuple(float(value) for value in POSITION.search(line).groups())


class RoomInputTest(RoomCase):
    def observer(self, name="bob", where="0 3 0 0 0"):
        peer = self.room.add_peer(name)
        peer.send("/pos " + where)
        peer.wait_for(r"^presence active viewer$", 15)
        return peer

    def drag(self, dx, dy, steps=10):  # the left button pressed mid-view, moved by (dx, dy)
        desktop = self.room.desktop
        desktop.xdotool("mousemove", "--window", self.room.window, 320, 170, "mousedown", 1)
        for _ in range(steps):
            desktop.xdotool("mousemove_relative", "--", dx // steps, dy // steps)
            time.sleep(0.03)
        desktop.xdotool("mouseup", 1)

    def test_a_drag_turns_and_tilts_the_view_and_home_levels_it(self):
        self.room.connect_viewer()
        bob = self.observer()
        settle(0.5)
        start = self.room.view("start")
        mark = bob.mark()
        self.drag(100, 0)  # a quarter of a degree a pixel, to the right
        settle()
        turned = self.room.view("dragged right")
        self.assertGreater(changed_share(start, turned), 0.2, "the drag did not turn")
        self.assertEqual((0, 0, -25, -25, 0), position(bob, mark), "bob sees the turn")
        mark = bob.mark()
        self.drag(0, -40)
        settle()
        self.assertEqual(-10, position(bob, mark)[4], "a drag up looks up")
        mark = bob.mark()
        self.room.desktop.key("Home")
        self.assertEqual((0, 0, -25, -25, 0), position(bob, mark), "Home levels the view")
        settle()
        self.assertLess(changed_share(turned, self.room.view("levelled")), 0.001, "level is not as before")

    def test_one_escape_warns_and_a_second_within_three_seconds_leaves(self):
        room = self.room
        room.connect_viewer()
        room.click_view()
        settle(0.5)
        before = room.view("before")
        room.desktop.key("Escape")
        settle(0.5)
        warned = room.view("warned")
        self.assertTrue(room.desktop.find_windows(MAIN_TITLE), "one Escape left the room")
        band = changed(before, warned)
        self.assertTrue(band.count > 2000 and NOTICE_BAND[1] <= band.y0 and band.y1 < NOTICE_BAND[3], repr(band))
        self.assertGreater(find(warned, lambda r, g, b: min(r, g, b) > 230, NOTICE_BAND).count, 300, "no letters")
        time.sleep(3.2)
        self.assertLess(changed_share(before, room.view("after 3 s")), 0.001, "the notice stayed")
        room.desktop.key("Escape", "Escape")  # the first after the notice went warns again
        self.assertTrue(room.desktop.wait_window(DIALOG_TITLE, timeout=5), "two Escapes did not leave")

    def test_shift_page_up_scrolls_the_console_and_leaves_the_view(self):
        room = self.room
        room.connect_viewer()
        room.click_view()
        settle(0.5)
        view, whole = room.view("before"), room.window_picture()
        for _ in range(3):
            room.desktop.key("shift+Prior")  # Shift is let go before Page Up, as xdotool does it
        settle()
        self.assertLess(changed_share(view, room.view("after shift+page up")), 0.001, "the view tilted")
        self.assertGreater(changed(whole, room.window_picture(), (0, 350, 640, 460)).count, 500, "no scroll")
        room.hold("Prior", 0.1)
        settle()
        self.assertGreater(changed_share(view, room.view("after page up")), 0.1, "Page Up alone did not look up")

    def test_f1_twice_keeps_the_size_and_place_and_the_next_start_opens_there(self):
        room, desktop = self.room, self.room.desktop
        room.connect_viewer()
        desktop.xdotool("windowsize", room.window, 800, 560)
        desktop.xdotool("windowmove", room.window, 60, 50)
        time.sleep(1.5)
        kept = desktop.geometry(room.window)
        self.assertEqual((60, 50, 800, 560), kept)
        for key in ("F1", "F1"):
            desktop.key(key)
            time.sleep(1.5)
        self.assertEqual(kept, desktop.geometry(desktop.wait_window(MAIN_TITLE)), "F1 and back moved the window")
        with open(os.path.join(desktop.config_home, "qivra", "window-place.txt")) as f:
            self.assertEqual("800 560 60 50\n", f.read())
        room.viewer.process.terminate()  # ends as Exit does
        room.viewer.wait_exit(10)
        room.connect_viewer(size=(800, 560))
        self.assertEqual(kept, desktop.geometry(room.window), "the next start opened elsewhere")

    def test_arrivals_stand_apart_give_way_and_a_newcomer_is_in_view(self):
        room = self.room
        bob = self.room.add_peer("bob")
        bob.send("/pos -4 4 -45 -45 0")  # in a corner, facing the middle
        room.connect_viewer(arrival=None)
        bob.wait_for(r"^presence active viewer$", 15)
        x, z, _, heading, _ = first = position(bob)
        self.assertGreaterEqual(math.hypot(x + 4, z - 4), 1.0, "within a metre of bob")
        self.assertTrue(abs(x) <= 5 and abs(z) <= 5, "nearer than a metre to a wall")
        self.assertAlmostEqual(math.degrees(math.atan2(x, z)), heading, delta=0.01, msg="not facing the middle")

        # alice was in the channel first and stands where the program comes back to: it gives way.
        alice = self.observer("alice", "%.3f %.3f 0 0 0" % (x, z))
        mark, linked = bob.mark(), alice.mark()
        room.desktop.click(room.window, 320, 470)  # in the input line
        room.desktop.type("/part")  # "/join" of a channel the program is in only shows it
        room.desktop.key("Return")
        bob.wait_for(r"^viewer has left the channel$", 10, since=mark)
        room.desktop.type("/join #room")
        room.desktop.key("Return")
        bob.wait_for(r"^viewer has joined the channel$", 10, since=mark)
        alice.wait_for(r"^presence active viewer$", 15, since=linked)
        time.sleep(2)
        x, z, _, heading, _ = position(bob, mark)
        print("after the join again: %.2f, %.2f (was %.2f, %.2f)" % (x, z, first[0], first[1]))
        self.assertGreaterEqual(math.hypot(x - first[0], z - first[1]), 1.0, "did not give way to alice")
        self.assertGreaterEqual(math.hypot(x + 4, z - 4), 1.0, "gave way to within a metre of bob")

        # carol comes later, 2.5 units ahead: in view at once; and dave, later too, right beside
        # the program: the program stays, the later arrival is the one to give way.
        settle(0.5)
        empty = room.view("before carol")
        r = math.radians(heading)
        ahead = (x - 2.5 * math.sin(r), z - 2.5 * math.cos(r))
        carol = room.add_peer("carol")
        carol.send("/pos %.3f %.3f 0 0 0" % ahead)
        carol.wait_for(r"^presence active viewer$", 15)
        self.wait_view("carol in view", lambda v: avatar_in(v, empty).count > 200, 5)
        mark = bob.mark()
        dave = room.add_peer("dave")
        dave.send("/pos %.3f %.3f 0 0 0" % (x + 0.5, z))
        dave.wait_for(r"^presence active viewer$", 15)
        time.sleep(2)
        self.assertFalse(bob.has_line(r"^presence position viewer ", mark), "the program gave way to dave")


if __name__ == "__main__":
    unittest.main()
