"""Whole-program test of the typed commands: the program, first in its channel and so its
operator, moderates a raw IRC client and talks to it privately; the other user sees the lines
and its mode changes show in words. QIVRA_IRC_SERVER picks the server; root, /usr/bin/python3.
"""
import os
import re
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import crop_pixels, wait_until  # noqa: E402
from test_chat import CHANNEL, DIALOG_TITLE, EVENT_WAIT, NICK, ChatBase  # noqa: E402

INPUT_HEIGHT = 20


def coloured(pixel):
    """A pixel of a nickname's colour: every one of them is far from grey; the line's text is not."""
    return max(pixel) - min(pixel) > 60


class CommandsTest(ChatBase):
    def send_and_see(self, typed, other, pattern):
        """Types a command and holds Enter until the other user has a line matching pattern."""
        mark = other.mark()
        self.enter(typed, lambda: other.has_line(pattern, mark), "a line matching %r" % pattern)

    def input_line_colours(self, name):
        """The coloured pixels inside the input line (its typing border left out), by x."""
        x, y, width, height = self.desktop.geometry(self.main_window())
        shot = self.desktop.screenshot(os.path.join(self.desktop.workdir, name + ".png"))
        keep = os.environ.get("QIVRA_EVIDENCE_DIR")
        if keep:
            os.makedirs(keep, exist_ok=True)
            shutil.copy(shot, os.path.join(keep, name + ".png"))
        inner = width - 6
        pixels = crop_pixels(shot, x + 3, y + height - INPUT_HEIGHT + 3, inner, INPUT_HEIGHT - 6)
        return [i % inner for i, pixel in enumerate(pixels) if coloured(pixel)]

    def test_operator_private_and_leaving_commands(self):
        self.start_program()
        self.connect_from_dialog()  # the channel's first member: its operator
        self.wait_console_match(r"^In %s: @?%s" % (re.escape(CHANNEL), re.escape(NICK)))
        carol = self.raw_client("carol", CHANNEL)
        me = r"^:%s!\S+ " % re.escape(NICK)

        # Moderation: each command's line reaches the other user, and the console says it in words.
        mark = len(self.console())
        self.send_and_see("/mode +m", carol, me + r"MODE %s :?\+m$" % CHANNEL)
        self.wait_console("%s sets mode +m on %s" % (NICK, CHANNEL), mark)
        self.send_and_see("/OP carol", carol, me + r"MODE %s :?\+o :?carol$" % CHANNEL)
        self.wait_console("%s sets mode +o carol" % NICK, mark)
        carol.send("MODE %s -m" % CHANNEL)
        self.wait_console("carol sets mode -m on %s" % CHANNEL, mark)
        carol.send("MODE %s +v %s" % (CHANNEL, NICK))
        self.wait_console("carol sets mode +v %s" % NICK, mark)

        # Private talk: a command word inside a message is text; a query sends plain lines.
        self.send_and_see("/msg carol try /connect now", carol, me + r"PRIVMSG carol :try /connect now$")
        self.enter("/query carol", lambda: "Talking privately to carol (/query alone ends it)" in self.console(),
                   "the query line")
        # The input line names the partner at its left, in the partner's colour, while the query lasts.
        tag = []

        def tag_shown():
            tag[:] = self.input_line_colours("query-tag")
            return len(tag) > 20
        self.assertTrue(wait_until(tag_shown, 5, 0.5), "no coloured nickname in the input line during the query")
        self.assertLess(max(tag), 120, "the partner's name is not at the line's left")
        self.send_and_see("just between us", carol, me + r"PRIVMSG carol :just between us$")
        self.wait_console("<%s> just between us" % NICK, mark)  # in the conversation with carol
        self.enter("/query", lambda: any(line.startswith("No longer talking privately") for line in self.console()),
                   "the end of the query")
        self.assertTrue(wait_until(lambda: not self.input_line_colours("query-ended"), 5, 0.5),
                        "the input line still shows the partner after the query ended")
        self.send_and_see("/ctcp carol version", carol, me + "PRIVMSG carol :\x01VERSION\x01$")
        # A PING of ours carries the time it went; the answer gives it back: the round trip shows.
        mark_carol = carol.mark()
        self.send_and_see("/ctcp carol ping", carol, me + "PRIVMSG carol :\x01PING \\d+\x01$")
        sent = [line for line in carol.lines[mark_carol:] if "\x01PING " in line][-1]
        carol.send("NOTICE %s :\x01PING %s\x01" % (NICK, re.search(r"\x01PING (\d+)\x01", sent).group(1)))
        self.wait_console_match(r"^PING reply from carol: \d+\.\d\d s$", mark)
        # A notice to the channel names it; one to us does not.
        carol.send("NOTICE %s :to all of you" % CHANNEL)
        carol.send("NOTICE %s :to you alone" % NICK)
        self.wait_console("-carol:%s- to all of you" % CHANNEL, mark)
        self.wait_console("-carol- to you alone", mark)
        self.send_and_see("/quote PRIVMSG %s :typed raw" % CHANNEL, carol, me + r"PRIVMSG %s :typed raw$" % CHANNEL)

        # Away, an invitation from the other user, and ignoring that user for a while.
        self.enter("/away gone fishing", lambda: "You are marked as away" in self.console()[mark:], "the away reply")
        self.enter("/away", lambda: "You are no longer marked as away" in self.console()[mark:], "the back reply")
        carol.send("JOIN #club")
        carol.send("INVITE %s #club" % NICK)
        self.wait_console("carol invites you to #club (/join #club)", mark)
        self.enter("/ignore carol", lambda: any(line.startswith("Ignoring carol") for line in self.console()),
                   "the ignore line")
        carol.send("PRIVMSG %s :hidden words" % CHANNEL)
        carol.send("NOTICE %s :hidden notice" % NICK)
        carol.send("MODE %s -v %s" % (CHANNEL, NICK))  # shown, and only after the lines before it
        self.wait_console("carol sets mode -v %s" % NICK, mark)
        self.enter("/unignore carol", lambda: "No longer ignoring carol" in self.console(), "the unignore line")
        carol.send("PRIVMSG %s :heard again" % CHANNEL)
        self.wait_console("<carol> heard again", mark)
        self.assertFalse([line for line in self.console() if "hidden" in line], "an ignored line was shown")

        self.enter("/list", lambda: any(re.match(r"^%s \(2\)" % CHANNEL, line) for line in self.console()[mark:]),
                   "the channel list's line")

        # A kick with its reason; then a quit with a reason the other user reads.
        self.send_and_see("/kick carol that will do", carol, me + r"KICK %s carol :that will do$" % CHANNEL)
        carol.send("JOIN %s" % CHANNEL)
        self.wait_console("carol has joined the channel", mark)
        mark_carol = carol.mark()  # one press: the dialog that comes back must see no Enter
        self.desktop.type("/quit going home")
        self.desktop.key("Return")
        carol.wait_for(me + r'QUIT :(Quit: )?"?going home"?$', EVENT_WAIT, since=mark_carol)
        self.assertIsNotNone(self.desktop.wait_window(DIALOG_TITLE, timeout=10), "the dialog did not return")
        self.assertTrue(self.program.alive())


if __name__ == "__main__":
    unittest.main()
