"""Whole-program tests of the console's text: another user's CJK and emoji chat line drawn with
real glyphs (in the console and the input line), a line selected with the mouse landing in the X primary selection, and a web
address opened with a click (a stand-in xdg-open first on PATH records what it was given),
and the divider dragged to a height the next start keeps.

Runs against ngircd in the chat tests' lab. Run as root with /usr/bin/python3; a screenshot of
the window is kept in QIVRA_EVIDENCE_DIR when that is set.
"""
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import crop_pixels, wait_until  # noqa: E402
from test_chat import CHANNEL, NICK, ChatBase  # noqa: E402

ROW = 16          # pixels a console row
INPUT_HEIGHT = 20


def emoji_yellow(pixel):
    # The face of U+1F600 in Noto Color Emoji; no nickname colour or grey text comes this close.
    r, g, b = pixel
    return r > 230 and 150 < g < 215 and b < 50


class ConsoleTextTest(ChatBase):
    def setUp(self):
        super().setUp()
        self.bin = os.path.join(self.workdir, "bin")
        os.mkdir(self.bin)
        self.opened = os.path.join(self.workdir, "opened.txt")
        stand_in = os.path.join(self.bin, "xdg-open")
        with open(stand_in, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> %s\n' % self.opened)
        os.chmod(stand_in, 0o755)
        self.extra_env = {"PATH": self.bin + ":" + os.environ.get("PATH", "/usr/bin:/bin")}

    def bottom_row(self, window):
        """The window's size and the middle of the console's last row, in client pixels."""
        _, _, width, height = self.desktop.geometry(window)
        return width, height, height - INPUT_HEIGHT - ROW // 2

    def panel_shot(self, name, window):
        x, y, width, height = self.desktop.geometry(window)
        path = self.desktop.screenshot(os.path.join(self.desktop.workdir, name + ".png"))
        keep = os.environ.get("QIVRA_EVIDENCE_DIR")
        if keep:
            os.makedirs(keep, exist_ok=True)
            shutil.copy(path, os.path.join(keep, name + ".png"))
        panel_top = height - INPUT_HEIGHT - 7 * ROW - 1
        return crop_pixels(path, x, y + panel_top, width, 7 * ROW)

    def test_cjk_and_emoji_drawn_selection_copied_and_a_link_opened(self):
        other = self.raw_client("keeper", CHANNEL)
        self.start_program()
        self.connect_from_dialog()
        # The program's own JOIN (the keeper's came before): only then does a line reach it.
        other.wait_for(r"^:%s!\S* JOIN :?%s$" % (NICK, CHANNEL), 15)
        window = self.main_window()
        before = self.panel_shot("console-before", window)
        self.assertEqual(0, sum(map(emoji_yellow, before)), "emoji colours before any emoji came")

        line = "\u4f60\u597d\uff0c\u4e16\u754c \u3053\u3093\u306b\u3061\u306f \ud55c\uad6d\uc5b4 \U0001F600"
        other.send("PRIVMSG %s :%s" % (CHANNEL, line))
        self.wait_console("<keeper> " + line)
        time.sleep(0.5)  # the panel draws when the pump next runs
        after = self.panel_shot("console-cjk-emoji", window)
        self.assertGreater(sum(map(emoji_yellow, after)), 20, "the emoji was not drawn in colour")

        # A drag over the last row selects it; the X primary selection then holds its text.
        width, height, row_y = self.bottom_row(window)
        self.desktop.xdotool("mousemove", "--window", window, 2, row_y, "mousedown", 1)
        self.desktop.xdotool("mousemove", "--window", window, width // 2, row_y)
        self.desktop.xdotool("mousemove", "--window", window, width - 4, row_y, "mouseup", 1)

        def primary():
            out = subprocess.run(["xclip", "-o", "-selection", "primary"], env=self.desktop.env,
                                 capture_output=True, timeout=10)
            return out.stdout.decode("utf-8", "replace") if out.returncode == 0 else None
        # The row begins with the time ("[12:34] "), which the console shows by default.
        row = re.compile(r"^\[\d\d:\d\d\] " + re.escape("<keeper> " + line) + "$")
        self.assertTrue(wait_until(lambda: row.match(primary() or ""), 5),
                        "primary selection holds %r" % primary())
        # Ctrl+C at the window puts the same selection on the clipboard.
        self.desktop.key("ctrl+c")
        self.assertTrue(wait_until(lambda: row.match(self.desktop.clipboard() or ""), 5),
                        "clipboard holds %r" % self.desktop.clipboard())

        # A click on an address opens it; a click beside it opens nothing.
        address = "https://example.org/qivra/a/rather/long/path/to/click/on"
        other.send("PRIVMSG %s :%s" % (CHANNEL, address))
        self.wait_console("<keeper> " + address)
        time.sleep(0.5)
        self.panel_shot("console-link", window)
        self.desktop.click(window, width - 4, row_y)
        time.sleep(1)
        self.assertFalse(os.path.exists(self.opened), "a click beside the address opened something")
        self.desktop.click(window, 200, row_y)
        self.assertTrue(wait_until(lambda: os.path.exists(self.opened), 5), "xdg-open was not run")
        with open(self.opened) as f:
            self.assertEqual(address + "\n", f.read())
        self.assertTrue(self.program.alive())

        # The divider dragged up by five rows: the console shows twelve, and says so next time.
        panel_top = height - INPUT_HEIGHT - 7 * ROW - 1
        self.desktop.xdotool("mousemove", "--window", window, width // 2, panel_top + 1, "mousedown", 1)
        for step in range(1, 6):
            self.desktop.xdotool("mousemove", "--window", window, width // 2, panel_top + 1 - step * ROW)
        self.desktop.xdotool("mouseup", 1)
        remembered = os.path.join(self.desktop.config_home, "qivra", "console-lines.txt")
        self.assertTrue(wait_until(lambda: os.path.exists(remembered), 5), "the height was not kept")
        with open(remembered) as f:
            self.assertEqual("12\n", f.read())
        time.sleep(0.5)
        x, y, _, _ = self.desktop.geometry(window)
        shot = self.desktop.screenshot(os.path.join(self.desktop.workdir, "console-tall.png"))
        keep = os.environ.get("QIVRA_EVIDENCE_DIR")
        if keep:
            shutil.copy(shot, os.path.join(keep, "console-tall.png"))
        # The address's row moved up with the taller panel and still reads: its link colour shows.
        tall = crop_pixels(shot, x, y + height - INPUT_HEIGHT - 12 * ROW - 1, width, 12 * ROW)
        self.assertGreater(sum(1 for r, g, b in tall if b > 200 and r < 160), 50, "no link drawn in the tall panel")

        # CJK and emoji pasted into the input line show there too.
        self.desktop.click(window, width // 2, height - 10)
        subprocess.run(["xclip", "-selection", "clipboard"], input="\u6f22\u5b57 \U0001F600".encode(),
                       env=self.desktop.env, timeout=10, check=True)
        self.desktop.key("ctrl+v")
        shot = os.path.join(self.desktop.workdir, "input-line.png")

        def emoji_in_input():
            self.desktop.screenshot(shot)
            typed = crop_pixels(shot, x, y + height - INPUT_HEIGHT, width, INPUT_HEIGHT)
            return sum(map(emoji_yellow, typed)) > 10
        shown = wait_until(emoji_in_input, 5, step=0.5)
        if keep:
            shutil.copy(shot, os.path.join(keep, "input-line.png"))
        self.assertTrue(shown, "the pasted emoji is not drawn in the input line")

    def test_a_long_line_fills_rows_of_one_type_size(self):
        other = self.raw_client("keeper", CHANNEL)
        self.start_program()
        self.connect_from_dialog()
        other.wait_for(r"^:%s!\S* JOIN :?%s$" % (NICK, CHANNEL), 15)
        window = self.main_window()
        x, y, width, height = self.desktop.geometry(window)
        panel_top = height - INPUT_HEIGHT - 7 * ROW - 1

        def light_rows(pixels, row):
            """The height of one console row's light text (its longest run of pixel lines with
            some: the row above's descenders reach into its first line) and its right end."""
            run, high, right = 0, 0, 0
            for line in range(ROW):
                xs = [i for i in range(2, width - 2) if all(c > 150 for c in pixels[(row * ROW + line) * width + i])]
                run = run + 1 if xs else 0
                high = max(high, run)
                right = max([right] + xs[-1:])
            return high, right

        other.send("PRIVMSG %s :lag lag" % CHANNEL)
        self.wait_console("<keeper> lag lag")
        time.sleep(0.5)
        reference, _ = light_rows(self.panel_shot("console-short", window), 6)
        self.assertGreaterEqual(reference, 9, "the short line's text is %d pixels high" % reference)

        # A topic of 400 characters (a longer one would pass 512 bytes with the sender's prefix),
        # the program's words before it: rows of whole words.
        topic = " ".join("lag%d" % i for i in range(90))[:400]
        other.send("TOPIC %s :%s" % (CHANNEL, topic))
        at = self.wait_console_match(r"^keeper changed the topic of ")
        self.assertEqual("keeper changed the topic of %s to: %s" % (CHANNEL, topic), self.console()[at])
        time.sleep(0.5)
        pixels = self.panel_shot("console-long-line", window)
        for row in range(3, 7):
            high, right = light_rows(pixels, row)
            self.assertLessEqual(abs(high - reference), 1, "row %d: text %d pixels high, a short line's %d"
                                 % (row, high, reference))
            self.assertLess(right, width - 3, "row %d runs past the panel" % row)
            if row < 6:  # carried over at the panel's width: full rows
                self.assertGreater(right, width * 2 // 3, "row %d ends at %d of %d" % (row, right, width))


if __name__ == "__main__":
    unittest.main()
