"""Whole-program test of several conversations, each its own console: the program joins two
channels from its CHANNEL line, adds a third, switches between them by command, by Alt+2 and by
the bar, and talks privately, while raw IRC users in each channel read what reaches them. The
console mirror names the conversation of each line (QIVRA_CONSOLE_STDERR=buffers).
QIVRA_IRC_SERVER picks the server; root, /usr/bin/python3.
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
from test_chat import EVENT_WAIT, NICK, ChatBase  # noqa: E402

PANEL_ROWS, ROW, INPUT, BAR = 7, 16, 20, 18  # the layout's pixels (app/shell_rules.cpp)
ACTIVE = (62, 94, 150)  # the bar's highlight of the conversation shown
TAG_GREY = (34, 36, 40)  # the input line's tag on the console's grey


def title(channel):
    return "%s - %s - QIVRA" % (channel, NICK)


class ConversationsTest(ChatBase):
    extra_env = {"QIVRA_CONSOLE_STDERR": "buffers"}

    def setUp(self):
        super().setUp()
        self.set_channel("#a,#b")

    def set_channel(self, channels):
        path = os.path.join(self.workdir, "config.txt")
        with open(path) as f:
            config = f.read()
        with open(path, "w") as f:
            f.write(re.sub(r"^CHANNEL .*$", "CHANNEL " + channels, config, flags=re.M))

    # -- what the program shows ----------------------------------------------------------------
    def lines_in(self, conversation):
        return self.program.console_lines(conversation)

    def wait_in(self, conversation, pattern):
        found = wait_until(lambda: [l for l in self.lines_in(conversation) if re.search(pattern, l)], EVENT_WAIT)
        self.assertTrue(found, "no line matching %r in %s%s" % (pattern, conversation, self.report()))
        return found[0]

    def wait_title(self, channel):
        self.assertIsNotNone(self.desktop.wait_window(title(channel), timeout=5),
                             "the title does not name %s%s" % (channel, self.report()))

    def shot(self, name):
        """A screenshot, kept under QIVRA_EVIDENCE_DIR when that is set; returns it and the
        main window's client area."""
        area = self.desktop.geometry(self.main_window())
        path = self.desktop.screenshot(os.path.join(self.desktop.workdir, name + ".png"))
        keep = os.environ.get("QIVRA_EVIDENCE_DIR")
        if keep:
            os.makedirs(keep, exist_ok=True)
            shutil.copy(path, os.path.join(keep, name + ".png"))
        return path, area

    def bar_highlight(self, name):
        """The x range of the bar's highlighted item, or None while no bar shows."""
        path, (x, y, width, height) = self.shot(name)
        top = height - INPUT + 1 - (PANEL_ROWS * ROW + 1) - BAR
        pixels = crop_pixels(path, x, y + top + 4, width, 1)
        lit = [i for i, p in enumerate(pixels) if p == ACTIVE]
        return (min(lit), max(lit)) if lit else None

    def panel_pixels(self, name):
        path, (x, y, width, height) = self.shot(name)
        return crop_pixels(path, x, y + height - INPUT + 1 - PANEL_ROWS * ROW, width, PANEL_ROWS * ROW)

    def tag_pixels(self, name):
        """Pixels of the input line's left in the tag's grey: a tag is shown."""
        path, (x, y, width, height) = self.shot(name)
        return sum(1 for p in crop_pixels(path, x + 3, y + height - INPUT + 3, 100, INPUT - 6) if p == TAG_GREY)

    def paste(self, text):
        """Pastes text into the input line through the X clipboard and presses Enter."""
        clip = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], env=self.desktop.env,
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            clip.stdin.write(text.encode())
            clip.stdin.close()
            time.sleep(0.3)  # xclip owns the clipboard once it has read its input
            window = self.main_window()
            x, y, width, height = self.desktop.geometry(window)
            self.desktop.click(window, width // 2, height - 10)
            self.desktop.key("ctrl+v")
            time.sleep(0.5)
            self.desktop.key("Return")
        finally:
            clip.kill()
            clip.wait(5)

    def said(self, user, channel, text, since=0):
        return user.has_line(r"^:%s!\S+ PRIVMSG %s :%s$" % (re.escape(NICK), channel, re.escape(text)), since)

    def test_channels_each_with_its_console(self):
        anna, bert, cara = self.raw_client("anna", "#a"), self.raw_client("bert", "#b"), self.raw_client("cara", "#c")
        self.start_program()
        self.connect_from_dialog(channel="#a,#b")
        self.wait_in("#a", r"^You have joined #a$")
        self.wait_in("#b", r"^You have joined #b$")
        self.wait_title("#a")
        first = self.bar_highlight("bar-a")
        self.assertIsNotNone(first, "no bar with the conversation shown highlighted")
        self.assertLess(first[0], 10, "the first conversation is not the one highlighted")
        rows_a = self.panel_pixels("panel-a")

        self.say("hello a")
        self.assertTrue(wait_until(lambda: self.said(anna, "#a", "hello a"), EVENT_WAIT), "anna did not read it")
        bert.send("PRIVMSG #b :news in b")
        self.wait_in("#b", r"^<bert> news in b$")
        self.assertEqual(["<%s> hello a" % NICK], [l for l in self.lines_in("#a") if l.startswith("<")])

        # Alt+2 shows #b: the title, the console's rows and the bar's highlight follow.
        self.assertTrue(self.desktop.hold_key("alt+2", lambda: self.desktop.find_windows(title("#b")), 5),
                        "Alt+2 did not show #b" + self.report())
        second = self.bar_highlight("bar-b")
        self.assertIsNotNone(second)
        self.assertGreater(second[0], first[1], "the highlight did not move to the second item")
        self.assertNotEqual(rows_a, self.panel_pixels("panel-b"), "the console still shows #a's rows")
        self.say("hello b")
        self.assertTrue(wait_until(lambda: self.said(bert, "#b", "hello b"), EVENT_WAIT), "bert did not read it")

        # "/join" adds a channel and shows it; "/j" of one the program is in only shows it.
        mark_anna = anna.mark()
        self.enter("/join #c", lambda: cara.has_line(r"^:%s!\S+ JOIN :?#c$" % re.escape(NICK)), "cara seeing the join")
        self.wait_title("#c")
        self.say("hello c")
        self.enter("/j #a", lambda: self.desktop.find_windows(title("#a")), "#a shown again")
        self.assertIsNotNone(self.bar_highlight("bar-three"))

        # A line longer than a message arrives whole, in pieces within the server's limit.
        words = " ".join("w%03d" % i for i in range(140))
        self.assertGreater(len(words), 690)
        self.paste(words)
        pieces = []

        def arrived():
            pieces[:] = [l for l in anna.lines[mark_anna:] if re.match(r"^:%s!\S+ PRIVMSG #a :" % re.escape(NICK), l)]
            return " ".join(l.split(" :", 1)[1] for l in pieces) == words
        self.assertTrue(wait_until(arrived, EVENT_WAIT), "the long line arrived as %r" % pieces)
        self.assertGreaterEqual(len(pieces), 2)
        self.assertTrue(all(len(l.encode()) + 2 <= 512 for l in pieces), [len(l) for l in pieces])

        # /lastlog reads the conversation shown: the first channel's console holds the
        # registration's lines above its own.
        since = len(self.lines_in("#a"))
        self.enter("/lastlog hello", lambda: any(l.startswith("(") for l in self.lines_in("#a")[since:]),
                   "the lastlog's count")
        found = self.lines_in("#a")[since:]
        self.assertTrue(found[1].endswith("<%s> hello a" % NICK) and found[2] == "(1 line)", found)
        self.enter("/lastlog Welcome to the", lambda: "(1 line)" in self.lines_in("#a")[since + 3:], "the welcome line")

        # Kicked from #b: said there and where the user looks; #b then takes no line.
        bert.send("KICK #b %s :out you go" % NICK)
        kicked = "You were kicked from #b by bert (out you go): /join #b to go back"
        self.wait_in("#b", "^%s$" % re.escape(kicked))
        self.wait_in("#a", "^%s$" % re.escape(kicked))
        self.desktop.hold_key("alt+2", lambda: self.desktop.find_windows(title("#b")), 5)
        self.enter("after kick", lambda: "Not sent: you are not in #b (/join #b to go back): after kick"
                   in self.lines_in("#b"), "the line refused")
        # Ctrl+Page Up goes back to #a, which is then left by "/part" with a reason.
        self.assertTrue(self.desktop.hold_key("ctrl+Prior", lambda: self.desktop.find_windows(title("#a")), 5),
                        "Ctrl+Page Up did not show #a")
        mark_anna = anna.mark()
        self.enter("/part bye now", lambda: anna.has_line(r" PART #a( :?\"?bye now\"?)?$", mark_anna), "the part")
        self.enter("after part", lambda: any(l.endswith("after part") and l.startswith("Not sent")
                                             for l in self.lines_in("#a")), "the line refused")
        time.sleep(1)
        self.assertFalse([l for u in (anna, bert, cara) for l in u.lines if " PRIVMSG " in l and "after " in l],
                         "a refused line was sent")
        self.assertFalse(self.said(anna, "#a", "hello b") or self.said(bert, "#b", "hello a")
                         or self.said(cara, "#c", "hello a"), "a line reached another channel")
        joins = [l for l in anna.lines if re.match(r"^:%s!\S+ JOIN :?#a$" % re.escape(NICK), l)]
        self.assertEqual(1, len(joins), "#a was not joined once")
        self.assertTrue(self.program.alive())

    def test_private_talk_stays_apart_and_waiting_lines_can_be_dropped(self):
        self.set_channel("#a")
        anna = self.raw_client("anna", "#a")
        self.start_program()
        self.connect_from_dialog(channel="#a")
        self.wait_in("#a", r"^You have joined #a$")
        self.assertIsNone(self.bar_highlight("one-channel"), "a bar shows for a single channel")

        anna.send("PRIVMSG %s :psst private" % NICK)
        self.wait_in("anna", r"^<anna> psst private$")
        self.say("in the channel")
        self.assertIsNotNone(self.bar_highlight("with-anna"), "no bar for two conversations")
        self.wait_title("#a")  # the private conversation opened, the channel still shown
        self.assertFalse([l for l in self.lines_in("#a") if "psst" in l], "the private line showed in #a")
        folder = os.path.join(self.desktop.data_home, "qivra", "logs", self.lab.server_address)
        with open(os.path.join(folder, "anna.log")) as f:
            self.assertIn("<anna> psst private", f.read())
        with open(os.path.join(folder, "#a.log")) as f:
            self.assertNotIn("psst", f.read())

        # Pasted lines wait for the pace: the input line says so, and /drop drops the rest.
        mark = anna.mark()
        self.paste("\n".join("paced %d" % i for i in range(12)))
        self.assertTrue(wait_until(lambda: self.tag_pixels("waiting") > 200, 5), "no waiting lines shown")
        dropped = []

        def drop_said():
            dropped[:] = [int(m.group(1)) for m in (re.match(r"^Dropped (\d+) lines? that waited to be sent\.$", l)
                                                     for l in self.lines_in("#a")) if m]
            return dropped
        self.enter("/drop", drop_said, "the drop's line")
        self.assertTrue(wait_until(lambda: self.tag_pixels("none waiting") < 20, 5), "the waiting lines still shown")
        time.sleep(3)  # a line still waiting would go within the pace's two seconds
        sent = [l for l in anna.lines[mark:] if " PRIVMSG #a :paced " in l]
        self.assertEqual(12, len(sent) + dropped[0], "sent %r, and %d dropped" % (sent, dropped[0]))


if __name__ == "__main__":
    unittest.main()
