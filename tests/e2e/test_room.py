"""Whole-program tests of the room: the window walks and looks with the keys, and a headless
peer in the same channel stands in the room as an avatar with its label and walks there.

The window runs connected to ngircd in a private network lab (tests/e2e/roomlab.py); the
peer (qivra-peer) runs in a namespace of its own so both have UDP port 6669. Checks read the
3D view straight from the X server and compare regions with tolerances, predicting where
things must appear from the camera: eye 0.6 above the floor, 34 degrees of vertical field
over the 348 rows of the view, so a point y units above the eye at distance d along the view
lies 569.1 * y / d rows above the middle row 174 (572.4 pixels per unit across).

When a test fails, its views are written under evidence/<test>/ in the working directory
(under $QIVRA_E2E_VIEWS/<test>/ for every test when that is set).
"""
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomlab import MAIN_TITLE, PEER, PROGRAM, Room, settle  # noqa: E402
from shots import changed, changed_share, find  # noqa: E402

ROW_SCALE = 569.1      # rows per unit of height at distance 1
COLUMN_SCALE = 572.4   # columns per unit across at distance 1
MIDDLE_ROW, MIDDLE_COLUMN = 174, 320
CEILING_ABOVE_EYE = 1.0      # ceiling 1.6, eye 0.6
SKIRTING_BELOW_EYE = 0.52    # the skirting boards end 0.08 above the floor
NORTH_WALL_Z = -6.0
SOUTH_LIMIT_Z = 5.75         # the room's south wall at 6 less the wall margin

# Strips of columns that show bare north wall from where the movement test stands: beside
# the fireplace at the start (both) and at the south wall (the left one; in the right one
# the north-east table hides the skirting); beside the table from the south-east corner
# and on the walk north from there (the corner strip), where the left strip is bare again
# once the table is passed. From the corner, the beside strip shows only the east wall.
LEFT_STRIP, RIGHT_STRIP = (100, 200), (440, 540)
CORNER_STRIP, BESIDE_STRIP = (220, 320), (420, 620)


# -- what the pixels show ---------------------------------------------------------------
def is_ceiling(r, g, b):
    # The light grey ceiling tiles; the channel label's pure cyan (blue 255) is not ceiling.
    return g > 170 and 170 < b < 235


def is_floor_or_skirting(r, g, b):
    return b < 90 and g < 140


def is_channel_label(r, g, b):
    # The channel's name floats in the middle of the room in pure cyan, drawn over
    # everything: near it, its glyphs cover whole rows of the strips.
    return r < 16 and g > 240 and b > 240


def row_shares(picture, strip, test):
    """For every row, the share of the strip's pixels not covered by the channel label that
    pass test (None where the label leaves fewer than a fifth of the strip to judge)."""
    x0, x1 = strip
    shares = []
    for y in range(picture.height):
        box = (x0, y, x1, y + 1)
        seen = (x1 - x0) - find(picture, is_channel_label, box).count
        shares.append(find(picture, test, box).count / seen if seen * 5 >= x1 - x0 else None)
    return shares


def wall_lines(picture, strip):
    """(first row under the ceiling, first skirting or floor row below that) in a strip of
    north wall: the rows where the wall's top and bottom edges cross the strip."""
    ceiling = row_shares(picture, strip, is_ceiling)
    floor = row_shares(picture, strip, is_floor_or_skirting)
    ceiling_rows = [y for y, share in enumerate(ceiling) if share is not None and share >= 0.5]
    if not ceiling_rows:
        return None, None
    below_ceiling = max(ceiling_rows) + 1
    floor_rows = [y for y, share in enumerate(floor) if share is not None and share >= 0.5 and y > below_ceiling]
    return below_ceiling, (min(floor_rows) if floor_rows else None)


def ceiling_row_at(distance):
    return MIDDLE_ROW - ROW_SCALE * CEILING_ABOVE_EYE / distance


def skirting_row_at(distance):
    return MIDDLE_ROW + ROW_SCALE * SKIRTING_BELOW_EYE / distance


def wall_distance_and_eye(ceiling, skirting):
    """From the wall's edges: its distance (by the band's height) and how far the eye stands
    above 0.6 (by where the band lies), which the walking bob moves by up to 1/30."""
    distance = ROW_SCALE * (CEILING_ABOVE_EYE + SKIRTING_BELOW_EYE) / (skirting - ceiling)
    return distance, CEILING_ABOVE_EYE - (MIDDLE_ROW - ceiling) * distance / ROW_SCALE


BOB_LIMIT = 1 / 30 + 0.015   # the bob's reach and a row and a half at six units


def is_tag(r, g, b):
    # A name tag's plate: the console's dark grey (34, 36, 40), which nothing else in the room shows.
    return abs(r - 34) <= 4 and abs(g - 36) <= 4 and abs(b - 40) <= 4


def is_alice(r, g, b):
    # alice's nickname colour, (210, 210, 120), on her tag and her bubbles.
    return abs(r - 210) <= 30 and abs(g - 210) <= 30 and abs(b - 120) <= 30


def is_skin(r, g, b):
    return r > 180 and 120 < g < 200 and 90 < b < 170


# The avatar test's peer stands 2 units ahead: her avatar (0.32 high) stands below row 190, her
# name tag just above her head, and her speech above that.
AVATAR_BOX = (0, 120, 640, 348)
LABEL_BOX = (0, 0, 640, 348)


PEER_SPEED = 5.0             # units a second: 0.05 per 10 ms, the peer's as the window's


def avatar_in(view, empty):
    """Where the view differs from the same view without the avatar."""
    return changed(empty, view, AVATAR_BOX)


def avatar_column(view, empty):
    found = avatar_in(view, empty)
    return found.center[0] if found.count > 200 else None


class RoomCase(unittest.TestCase):
    """A room of its own for each test, and its views kept when the test fails."""

    def setUp(self):
        for path in (PROGRAM, PEER):
            self.assertTrue(os.access(path, os.X_OK), "not built: " + path)
        self.room = Room()
        self.room.__enter__()
        self.addCleanup(self.room.close)

    def run(self, result=None):
        # Keep the views of a failing test (or of every test, into QIVRA_E2E_VIEWS when set):
        # they show what the window drew.
        failures_before = len(result.failures) + len(result.errors) if result else 0
        outcome = super().run(result)
        failed = result and len(result.failures) + len(result.errors) > failures_before
        folder = os.environ.get("QIVRA_E2E_VIEWS") or (os.path.join(os.getcwd(), "evidence") if failed else None)
        if folder and getattr(self, "room", None) and self.room.pictures:
            print("views: " + self.room.save_pictures(os.path.join(folder, self.id().split(".")[-1])))
        return outcome

    # -- helpers ------------------------------------------------------------------------
    def assertNear(self, expected, actual, tolerance, what):
        self.assertIsNotNone(actual, "%s: not found" % what)
        self.assertLessEqual(abs(actual - expected), tolerance,
                             "%s: %s, expected %.1f +- %s" % (what, actual, expected, tolerance))

    def wait_view(self, name, test, timeout):
        """Views taken until test(view) holds; returns (view, seconds waited) or fails."""
        started = time.monotonic()
        while True:
            view = self.room.view(name)
            if test(view):
                return view, view.taken - started
            if time.monotonic() - started > timeout:
                self.fail("%s: not seen within %.1f s" % (name, timeout))
            time.sleep(0.03)


class RoomTest(RoomCase):
    # -- the keys move the view -----------------------------------------------------------
    def test_walking_and_looking_move_the_view(self):
        room = self.room
        room.connect_viewer()
        settle(0.5)
        start = room.view("start")
        # At the start the user stands at the origin looking north along -z, 6 units from
        # the north wall, and the view shows it where the camera puts it.
        for strip in (LEFT_STRIP, RIGHT_STRIP):
            ceiling, skirting = wall_lines(start, strip)
            self.assertNear(ceiling_row_at(6.0), ceiling, 2, "ceiling line at the start, strip %r" % (strip,))
            self.assertNear(skirting_row_at(6.0), skirting, 2, "skirting at the start, strip %r" % (strip,))

        room.click_view()
        settle()
        self.assertLess(changed_share(start, room.view("clicked")), 0.001, "the click alone moved the view")
        # A letter gives the keyboard to the input line: with text in it, cursor left held for
        # a second moves the cursor in the line and leaves the view as it was. Escape walks again.
        room.desktop.type("hello")
        room.hold("Left", 1.0)
        settle()
        self.assertLess(changed_share(start, room.view("left held while typing")), 0.001,
                        "cursor left turned the view while the input line had the keyboard")
        room.desktop.key("Escape")
        settle()
        self.assertTrue(room.desktop.find_windows(MAIN_TITLE), "Escape in the input line left the room")

        # Backward to the south wall: the room's bounds stop the walk 0.25 short of it.
        room.hold("Down", 2.5)
        settle()
        south = room.view("at the south wall")
        distance = SOUTH_LIMIT_Z - NORTH_WALL_Z
        self.assertWallAt(south, LEFT_STRIP, distance, 0.4, "from the south wall")
        self.assertNear(wall_lines(south, LEFT_STRIP)[0], wall_lines(south, RIGHT_STRIP)[0], 1,
                        "right ceiling line at the south wall")

        # Sideways (End) to the east wall: as far from the north wall as before, the east
        # wall now right beside the camera, and the channel's name out of sight for the walk
        # north along it.
        room.hold("End", 2.5)
        settle()
        corner = room.view("in the south-east corner")
        self.assertWallAt(corner, CORNER_STRIP, distance, 0.4, "from the south-east corner")
        self.assertIsNone(wall_lines(corner, BESIDE_STRIP)[0], "no east wall right beside the camera")

        # About a second forward: the north wall comes nearer, so its band of rows grows,
        # above and below the middle row in the ratio of the ceiling's height to the eye's.
        room.hold("Up", 1.0)
        settle()
        ahead = room.view("after a second forward")
        distance_now, eye = self.assertWallAt(ahead, CORNER_STRIP, None, None, "after a second forward")
        self.assertLess(distance_now, distance - 2.0, "a second of cursor up walked less than 2 units")
        self.assertGreater(distance_now, 2.0, "walked further than a second allows")
        ceiling = wall_lines(ahead, CORNER_STRIP)[0]
        self.assertNear(ceiling, wall_lines(ahead, LEFT_STRIP)[0], 2,
                        "left ceiling line (walking straight ahead keeps the wall level)")

        # Page Up looks up: the whole picture moves down, the ceiling line with it.
        room.hold("Prior", 0.1)
        settle()
        up = room.view("after page up")
        ceiling_up = wall_lines(up, CORNER_STRIP)[0]
        self.assertIsNotNone(ceiling_up, "no ceiling line after page up")
        self.assertGreaterEqual(ceiling_up - ceiling, 20, "page up did not move the picture down")
        self.assertNear(ceiling_up, wall_lines(up, LEFT_STRIP)[0], 2, "left ceiling line after page up (no roll)")
        print("a second forward: %.2f units from the north wall (from %.2f), eye %+.3f; page up moved"
              " the ceiling line from row %d to %d" % (distance_now, distance, eye, ceiling, ceiling_up))
        self.assertTrue(room.viewer.alive())

    def assertWallAt(self, view, strip, distance, tolerance, where):
        """The north wall's edges in the strip put it at distance (when given), with the eye
        within the walking bob of 0.6; returns (distance seen, eye offset)."""
        ceiling, skirting = wall_lines(view, strip)
        self.assertIsNotNone(skirting, "no wall edges in strip %r %s" % (strip, where))
        seen, eye = wall_distance_and_eye(ceiling, skirting)
        if distance is not None:
            self.assertNear(distance, seen, tolerance, "distance to the north wall " + where)
        self.assertNear(0, eye, BOB_LIMIT, "eye above 0.6 " + where)
        return seen, eye

    # -- a peer's avatar and label --------------------------------------------------------
    def test_peer_stands_turns_and_walks_as_an_avatar(self):
        room = self.room
        room.connect_viewer()
        alice = room.add_peer("alice")
        alice.wait_for(r"^presence active viewer$", 15)
        self.assertTrue(room.viewer.wait_console("alice has joined the channel", timeout=5))

        # Behind the camera: nothing of her in the view.
        alice.send("/pos 0 3 180 180 0")
        settle(0.5)
        empty = room.view("alice behind the camera")
        self.assertEqual(0, find(empty, is_tag, LABEL_BOX).count, "a tag is shown for a peer behind the camera")

        # Two units ahead, facing the camera: the view changes where she stands, and only there.
        alice.send("/pos 0 -2 180 180 0")
        # Within a few seconds: the window's slot for her may become active a little after hers.
        front, _ = self.wait_view("alice in front", lambda v: avatar_in(v, empty).count > 500, 5)
        # Her name tag stands just above her head, centred over her, and stays still (it faces
        # the viewer, never turning edge on or mirrored).
        tag = find(front, is_tag, LABEL_BOX)
        self.assertGreater(tag.count, 300, "no name tag over the avatar: %r" % tag)
        self.assertNear(MIDDLE_COLUMN, tag.center[0], 4, "tag's middle column (%r)" % tag)
        self.assertGreater(find(front, is_alice, (tag.x0, tag.y0, tag.x1 + 1, tag.y1 + 1)).count, 40,
                           "her name in her colour on the tag")
        avatar = changed(empty, front, (0, tag.y1 + 1, 640, 348))
        self.assertNear(tag.y1 + 4, avatar.y0, 4, "the tag sits on her head (%r, %r)" % (tag, avatar))
        self.assertEqual(front.raw, room.view("alice standing, a moment later").raw, "the tag moves by itself")
        # 0.32 high at 2 units: 91 rows; her feet above the floor under her.
        self.assertNear(MIDDLE_COLUMN, avatar.center[0], 4, "avatar's middle column (%r)" % avatar)
        self.assertLess(avatar.width, 60, "the change is wider than one avatar: %r" % avatar)
        self.assertNear(ROW_SCALE * 0.32 / 2, avatar.y1 - avatar.y0 + 1, 6, "avatar's height in rows (%r)" % avatar)
        self.assertLess(avatar.y1, MIDDLE_ROW + ROW_SCALE * 0.6 / 2, "the avatar reaches under the floor")
        for outside in ((avatar.x1 + 10, tag.y1 + 1, 640, 348), (0, tag.y1 + 1, avatar.x0 - 10, 348)):
            self.assertLess(changed_share(empty, front, outside), 0.001, "the view changed away from the avatar")
        face_box = (avatar.x0, avatar.y0, avatar.x1 + 1, avatar.y0 + 25)
        face = find(front, is_skin, face_box).count

        # Turned away (yaw 0 faces north, away from the camera): the face is gone.
        alice.send("/pos 0 -2 0 0 0")
        settle(0.5)
        back = room.view("alice facing away")
        self.assertGreater(face, 40, "no face on the avatar facing the camera")
        self.assertLess(find(back, is_skin, face_box).count, face / 3, "the avatar still shows its face turned away")
        alice.send("/pos 0 -2 180 180 0")
        settle(0.5)

        # She steps to her right, which is to the camera's left: within a second the avatar
        # moves left on the screen, and it ends where her last position puts it.
        mark = alice.mark()
        seconds = 0.15
        alice.send("/walk straferight %s" % seconds)
        alice.wait_for(r"^walk started$", 5, since=mark)
        started = time.monotonic()
        moved, _ = self.wait_view("alice walking",
                                  lambda v: (avatar_column(v, empty) or MIDDLE_COLUMN) < MIDDLE_COLUMN - 40, 3)
        alice.wait_for(r"^walk done$", 5, since=mark)
        self.assertLess(moved.taken - started, 1.0, "the avatar took %.2f s to move" % (moved.taken - started))
        print("the avatar moved on the screen %.2f s after the walk began" % (moved.taken - started))
        settle(0.5)
        there = room.view("alice after the walk")
        walked = avatar_in(there, empty)
        expected_x = MIDDLE_COLUMN - COLUMN_SCALE * PEER_SPEED * seconds / 2
        self.assertNear(expected_x, walked.center[0], 12, "avatar's column after the walk (%r)" % walked)
        self.assertNear(avatar.y1, walked.y1, 4, "avatar's feet after a sideways walk (%r)" % walked)

        # The window's own moves reach her: key datagrams and positions.
        mark = alice.mark()
        room.click_view()
        room.hold("Left", 0.2)
        alice.wait_for(r"^presence key viewer 3 held$", 3, since=mark)
        alice.wait_for(r"^presence key viewer 3 released$", 3, since=mark)
        alice.wait_for(r"^presence position viewer ", 3, since=mark)
        settle(0.5)  # the last position follows the release within a tenth of a second
        positions = [line for line in alice.lines[mark:] if line.startswith("presence position viewer ")]
        self.assertRegex(positions[-1], r"^presence position viewer x=0\.000 z=0\.000 yaw=\d+\.\d{3} "
                                        r"heading=\d+\.\d{3} pitch=0\.000$")
        yaw = float(positions[-1].split("yaw=")[1].split()[0])
        self.assertGreater(yaw, 10.0, "a left turn of 0.2 s turns by tens of degrees: " + positions[-1])
        self.assertTrue(room.viewer.alive())

    # -- speech over the avatar -----------------------------------------------------------
    def test_a_members_line_shows_over_the_avatar_for_its_time(self):
        room = self.room
        room.connect_viewer()
        alice = room.add_peer("alice")
        alice.wait_for(r"^presence active viewer$", 15)
        alice.send("/pos 0 -2 180 180 0")
        standing, _ = self.wait_view("alice standing", lambda v: find(v, is_tag, LABEL_BOX).count > 300, 5)
        settle(0.5)
        standing = room.view("alice standing, settled")
        tag = find(standing, is_tag, LABEL_BOX)
        above = (0, 0, 640, tag.y0)  # where her speech shows

        line = "hello from alice"
        alice.send(line)
        sent = time.monotonic()
        said, waited = self.wait_view("alice said a line", lambda v: changed(standing, v, above).count > 300, 3)
        print("the line showed over her avatar %.2f s after it was sent" % waited)
        self.assertLess(waited, 0.5, "the bubble took %.2f s to show" % waited)
        bubble = changed(standing, said, above)
        self.assertNear(MIDDLE_COLUMN, bubble.center[0], 6, "the bubble's middle column (%r)" % bubble)
        self.assertGreater(bubble.y1, tag.y0 - 20, "the bubble stands right over the tag (%r)" % bubble)
        self.assertGreater(find(said, is_alice, above).count, 100, "her line in her colour")

        # Held for 6 s and 50 ms a character, then it fades within a second.
        hold = 6.0 + 0.05 * len(line)
        time.sleep(max(0.0, sent + hold - 1.0 - time.monotonic()))
        self.assertGreater(changed(standing, room.view("a second before it fades"), above).count, 300,
                           "the bubble went before its time")
        time.sleep(max(0.0, sent + hold + 1.5 - time.monotonic()))
        gone = room.view("after its time")
        self.assertLess(changed(standing, gone, above).count, 20, "the bubble is still there after its time")

        # A private message never shows in the room (the bar of a second conversation shown first).
        room.desktop.click(room.window, 320, 470)  # in the input line
        room.desktop.type("/query carol")
        room.desktop.key("Return")
        self.assertTrue(room.viewer.wait_console("Talking privately to carol (/query alone ends it)", timeout=5))
        settle(0.5)
        standing = room.view("with the bar")
        above = (0, 0, 640, find(standing, is_tag, (0, 0, 640, 348 - 18)).y0)
        alice.send("/msg viewer only for you")
        self.assertTrue(room.viewer.wait_console("<alice> [Private] only for you", timeout=5))
        settle(0.5)
        self.assertEqual(0, changed(standing, room.view("after a private message"), above).count,
                         "a private message showed over the avatar")
        self.assertTrue(room.viewer.alive())

    # -- the room behind another window ----------------------------------------------------
    def test_the_room_lives_behind_another_window(self):
        room = self.room
        room.connect_viewer()
        alice = room.add_peer("alice")
        alice.wait_for(r"^presence active viewer$", 15)
        other = subprocess.Popen(["xlogo", "-geometry", "120x120+880+620"], env=room.desktop.env)
        self.addCleanup(other.wait, 5)
        self.addCleanup(other.terminate)
        room.desktop.xdotool("windowactivate", "--sync", room.desktop.wait_window("xlogo", timeout=10))
        self.assertTrue(room.desktop.wait_active("xlogo"), "the other window did not take the focus")
        # Close in front of the camera (drawn whole, not from the far avatars' pictures, whose
        # turns go in steps), she turns on the spot for three seconds.
        mark = alice.mark()
        alice.send("/pos 0 -1.2 180 180 0\n/walk left 3")
        alice.wait_for(r"^walk started$", 5, since=mark)
        settle(0.3)
        first = room.view("turning, unfocused")
        time.sleep(0.5)
        self.assertGreater(changed(first, room.view("half a second later")).count, 200,
                           "the view did not change while she turned behind another window")
        # Views 40 ms apart: at 20 frames a second or more nearly every one is new (a view not
        # drawn stays as it was); drawn only at her 10 positions a second, every other one repeats.
        views = [room.view("frame") for _ in range(16) if time.sleep(0.04) is None]
        new = sum(1 for a, b in zip(views, views[1:]) if a.raw != b.raw)
        print("behind another window: %d of 15 views 40 ms apart were new" % new)
        self.assertGreaterEqual(new, 12, "fewer new frames than 20 a second")
        self.assertEqual("xlogo", room.desktop.active_window_name(), "the window took the focus back")

if __name__ == "__main__":
    unittest.main()
