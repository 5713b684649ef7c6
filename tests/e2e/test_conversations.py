"""Several conversations, each its own console: raw IRC users in #a, #b and #c read what reaches
them; the console mirror names each line's conversation. QIVRA_IRC_SERVER picks the server."""
import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import crop_pixels, wait_until  # noqa: E402
from test_chat import EVENT_WAIT, NICK, ChatBase  # noqa: E402
import test_failures  # noqa: E402  (its paste through the clipboard)

BAR_TOP = 20 - 1 + 7 * 16 + 1 + 18  # the bar's top above the window's bottom (app/shell_rules.cpp)
ACTIVE = (62, 94, 150)  # the bar's highlight of the conversation shown


class ConversationsTest(ChatBase):
    extra_env = {"QIVRA_CONSOLE_STDERR": "buffers"}

    def wait_in(self, conversation, text):
        found = wait_until(lambda: text in self.program.console_lines(conversation), EVENT_WAIT)
        self.assertTrue(found, "no line %r in %s%s" % (text, conversation, self.report()))

    def show(self, key, channel):
        """A key, a typed line or nothing (None) that shows channel: the title must name it."""
        title = "%s - %s - QIVRA" % (channel, NICK)
        if key and key.startswith("/"):
            self.enter(key, lambda: self.desktop.find_windows(title), "showing " + channel)
        elif key:
            self.desktop.hold_key(key, lambda: self.desktop.find_windows(title), 5)
        self.assertIsNotNone(self.desktop.wait_window(title, timeout=5), "%s is not shown%s" % (channel, self.report()))

    def bar_and_panel(self):
        """The x range of the bar's highlighted item (None without a bar), and the panel's pixels."""
        x, y, width, height = self.desktop.geometry(self.main_window())
        folder = os.environ.get("QIVRA_EVIDENCE_DIR", self.desktop.workdir)  # kept there for a look
        os.makedirs(folder, exist_ok=True)
        shot = self.desktop.screenshot(os.path.join(folder, "conversations-%.0f.png" % (time.monotonic() * 1000)))
        lit = [i for i, p in enumerate(crop_pixels(shot, x, y + height - BAR_TOP + 4, width, 1)) if p == ACTIVE]
        return (min(lit), max(lit)) if lit else None, crop_pixels(shot, x, y + height - 131, width, 112)

    def test_channels_and_a_private_talk_each_with_its_console(self):
        with open(os.path.join(self.workdir, "config.txt"), "a") as f:
            f.write("CHANNEL #a,#b\n")  # the later line wins
        anna, bert, cara = self.raw_client("anna", "#a"), self.raw_client("bert", "#b"), self.raw_client("cara", "#c")
        self.start_program()
        self.connect_from_dialog(channel="#a,#b")
        self.wait_in("#b", "You have joined #b")
        self.show(None, "#a")  # the first one joined
        first, rows_a = self.bar_and_panel()
        self.assertTrue(first and first[0] < 10, "the bar does not highlight the first conversation")
        self.say("hello a")
        bert.send("PRIVMSG #b :news in b")
        self.wait_in("#b", "<bert> news in b")
        self.show("alt+2", "#b")
        second, rows_b = self.bar_and_panel()
        self.assertGreater(second[0], first[1], "the highlight did not move to the second item")
        self.assertNotEqual(rows_a, rows_b, "the console still shows #a's rows")
        self.say("hello b")
        self.show("/join #c", "#c")
        self.say("hello c")
        self.show("/j #a", "#a")

        # A private message opens a conversation without showing it (nor logging it in #a); a
        # line longer than a message arrives whole, in pieces within the server's limit.
        anna.send("PRIVMSG %s :psst private" % NICK)
        self.wait_in("anna", "<anna> [Private] psst private")
        words, mark, pieces = " ".join("w%03d" % i for i in range(140)), anna.mark(), []
        test_failures.FailuresTest.paste(self, self.desktop, self.main_window(), words)

        def arrived():
            pieces[:] = [l for l in anna.lines[mark:] if re.match(r"^:%s!\S+ PRIVMSG #a :" % re.escape(NICK), l)]
            return " ".join(l.split(" :", 1)[1] for l in pieces) == words
        self.assertTrue(len(words) > 690 and wait_until(arrived, EVENT_WAIT), "the long line came as %r" % pieces)
        self.assertTrue(len(pieces) >= 2 and all(len(l.encode()) + 2 <= 512 for l in pieces), pieces)
        since = len(self.program.console_lines("#a"))  # /lastlog reads the console shown
        self.enter("/lastlog hello", lambda: "(1 line)" in self.program.console_lines("#a")[since:], "one line")
        self.assertTrue(self.program.console_lines("#a")[since + 1].endswith("<%s> hello a" % NICK))

        # A partner's quit is said in the private talk as in the channel, once.
        cara.send("PRIVMSG %s :one more thing" % NICK)
        self.wait_in("cara", "<cara> [Private] one more thing")
        cara.send("QUIT :bye")
        quits = lambda c: [l for l in self.program.console_lines(c) if l.startswith("cara has quit irc")]
        self.assertTrue(wait_until(lambda: quits("#c") and quits("cara"), EVENT_WAIT), self.report())
        self.assertEqual(1, len(quits("cara")), quits("cara"))

        # Kicked from #b (said there and where the user looks), parted from #a: lines are refused.
        bert.send("KICK #b %s :out you go" % NICK)
        for channel in ("#a", "#b"):
            self.wait_in(channel, "You were kicked from #b by bert (out you go): /join #b to go back")
        self.show("ctrl+Next", "#b")
        self.enter("after kick", lambda: "Not sent: you are not in #b (/join #b to go back): after kick"
                   in self.program.console_lines("#b"), "the line refused")
        self.show("ctrl+Prior", "#a")
        self.enter("/part bye now", lambda: anna.has_line(r" PART #a( :?\"?bye now\"?)?$"), "the part")
        self.enter("after part", lambda: "Not sent: you are not in #a (/join #a to go back): after part"
                   in self.program.console_lines("#a"), "the line refused")

        time.sleep(1)
        for user, channel in ((anna, "#a"), (bert, "#b"), (cara, "#c")):  # each its own line, none refused
            said = [l.split(" :", 1)[1] for l in user.lines if l.startswith(":%s!" % NICK) and " PRIVMSG " in l]
            self.assertEqual(["hello " + channel[1]], [t for t in said if t.startswith(("hello", "after"))], said)
        self.assertEqual(1, len([l for l in anna.lines if re.match(r"^:%s!\S+ JOIN :?#a$" % re.escape(NICK), l)]))
        self.assertFalse([l for c in ("#a", "#b", "#c") for l in self.program.console_lines(c) if "psst" in l])
        folder = os.path.join(self.desktop.data_home, "qivra", "logs", self.lab.server_address)
        with open(os.path.join(folder, "anna.log")) as private, open(os.path.join(folder, "#a.log")) as channel:
            self.assertEqual((True, False), ("<anna> psst private" in private.read(), "psst" in channel.read()))


if __name__ == "__main__":
    unittest.main()
