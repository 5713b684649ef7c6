"""Whole-program tests of typing beside walking (right after Connect, history, completion,
Escape) and of lines for the user while another window has the focus, with a raw IRC client as
the other user on ngircd as in test_chat.py. Run as root with /usr/bin/python3."""
import os
import re
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import MAIN_TITLE, wait_until  # noqa: E402
from test_chat import CHANNEL, EVENT_WAIT, NICK, ChatBase  # noqa: E402


class TypingTest(ChatBase):
    def said(self, who, text, since):
        """Waits until the raw client who has seen the program say text in the channel."""
        return who.wait_for(r"PRIVMSG %s :%s$" % (re.escape(CHANNEL), re.escape(text)), EVENT_WAIT, since)

    def xprop(self, window, *names):
        return subprocess.run(["xprop", "-id", str(window)] + list(names), env=self.desktop.env,
                              capture_output=True, text=True, timeout=20).stdout

    def title(self, window):
        return self.desktop.xdotool("getwindowname", window, check=False)

    def test_typing_after_connect_history_completion_and_escape(self):
        keeper = self.raw_client("keeper", CHANNEL)
        self.start_program()
        self.connect_from_dialog()
        window = self.main_window()
        self.assertTrue(wait_until(lambda: self.title(window) == "%s - %s - QIVRA" % (CHANNEL, NICK), 10),
                        "title %r" % self.title(window))

        # No click: the first letter opens the input line with itself.
        mark = keeper.mark()
        self.desktop.type("hello everyone")
        self.desktop.key("Return")
        self.said(keeper, "hello everyone", mark)

        # Up brings the line back; Enter sends it again.
        mark = keeper.mark()
        self.desktop.key("Up", "Return")
        self.said(keeper, "hello everyone", mark)

        # Tab completes a member that runs no QIVRA: "nick: " at the line's start.
        mark = keeper.mark()
        self.desktop.type("KEE")
        self.desktop.key("Tab")
        self.desktop.type("thanks")
        self.desktop.key("Return")
        self.said(keeper, "keeper: thanks", mark)

        # Ctrl+W takes the last word, Ctrl+U the rest; Escape then gives the keyboard to the
        # view without leaving the room, and the next Escape leaves.
        mark = keeper.mark()
        self.desktop.type("one two three")
        self.desktop.key("ctrl+w")
        self.desktop.type("four")
        self.desktop.key("Return")
        self.said(keeper, "one two four", mark)
        self.desktop.type("not sent")
        self.desktop.key("ctrl+u", "Escape")
        time.sleep(1.0)
        self.assertTrue(self.desktop.find_windows(MAIN_TITLE), "Escape in the input line left the room")
        self.assertNotIn("Disconnecting...", self.console())

        # A movement key held as typing begins stays out of the line until it is let go: Up
        # held (walking) while a click opens the line never steps through the history.
        mark = keeper.mark()
        _, _, width, height = self.desktop.geometry(window)
        self.desktop.key_down("Up")
        try:
            time.sleep(0.3)
            self.desktop.click(window, width // 2, height - 10)
            time.sleep(1.5)  # the keyboard repeats Up meanwhile
        finally:
            self.desktop.key_up("Up")
        self.desktop.type("x")
        self.desktop.key("Return")
        self.said(keeper, "x", mark)

        # A key pressed right after the click, before a busy window has handled it (held
        # still here), is for the line.
        self.desktop.key("Escape")  # the keyboard back to the view
        time.sleep(0.5)
        mark = keeper.mark()
        os.kill(self.program.pid, signal.SIGSTOP)
        try:
            self.desktop.click(window, width // 2, height - 10)
            self.desktop.key_down("slash")
        finally:
            os.kill(self.program.pid, signal.SIGCONT)
        time.sleep(0.5)
        self.desktop.key_up("slash")
        self.desktop.type("me waves")
        self.desktop.key("Return")
        keeper.wait_for(r"PRIVMSG %s :\x01ACTION waves\x01$" % re.escape(CHANNEL), EVENT_WAIT, mark)
        self.leave_room()
        self.assertFalse(keeper.has_line(r"PRIVMSG %s :not sent" % re.escape(CHANNEL)))

    def test_mentions_in_the_background_ask_for_attention(self):
        keeper = self.raw_client("keeper", CHANNEL)
        self.start_program()
        self.connect_from_dialog()
        keeper.wait_for(r"^:%s!\S* JOIN :?%s$" % (re.escape(NICK), re.escape(CHANNEL)), EVENT_WAIT)
        window = self.main_window()
        plain = "%s - %s - QIVRA" % (CHANNEL, NICK)
        self.assertTrue(wait_until(lambda: self.title(window) == plain, 10), "title %r" % self.title(window))

        # A line naming the user while the window is in front asks for nothing.
        keeper.send("PRIVMSG %s :%s: in front" % (CHANNEL, NICK))
        self.wait_console("<keeper> %s: in front" % NICK)
        time.sleep(0.5)
        self.assertNotIn("urgency", self.xprop(window, "WM_HINTS"))
        self.assertEqual(plain, self.title(window))

        other = subprocess.Popen(["xlogo", "-geometry", "200x200+700+500"], env=self.desktop.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (other.terminate(), other.wait(10)))
        logo = self.desktop.wait_window("xlogo", timeout=10)
        self.desktop.xdotool("windowactivate", "--sync", logo)
        self.assertTrue(self.desktop.wait_active("xlogo"), "xlogo did not take the focus")

        # Lines that do not call for the user change nothing; a mention, in any case and with
        # "@" before it, and a private message each count.
        keeper.send("PRIVMSG %s :nothing for you" % CHANNEL)
        keeper.send("PRIVMSG %s :m%s is not you" % (CHANNEL, NICK))
        self.wait_console("<keeper> m%s is not you" % NICK)
        time.sleep(0.5)
        self.assertEqual(plain, self.title(window))
        self.assertNotIn("urgency", self.xprop(window, "WM_HINTS"))
        keeper.send("PRIVMSG %s :thanks @%s, see you" % (CHANNEL, NICK.upper()))
        self.assertTrue(wait_until(lambda: self.title(window) == "(1) " + plain, 10), "title %r" % self.title(window))
        hints = self.xprop(window, "WM_HINTS")
        self.assertIn("urgency", hints.lower(), hints)
        state = self.xprop(window, "_NET_WM_STATE")
        self.assertIn("_NET_WM_STATE_DEMANDS_ATTENTION", state)
        keeper.send("PRIVMSG %s :just between us" % NICK)
        self.assertTrue(wait_until(lambda: self.title(window) == "(2) " + plain, 10), "title %r" % self.title(window))

        # Back in front: the count and the hint are gone.
        self.desktop.xdotool("windowactivate", "--sync", window)
        self.assertTrue(self.desktop.wait_active(MAIN_TITLE), "the window did not come back to the front")
        self.assertTrue(wait_until(lambda: self.title(window) == plain, 10), "title %r" % self.title(window))
        self.assertNotIn("urgency", self.xprop(window, "WM_HINTS").lower())
        self.assertNotIn("DEMANDS_ATTENTION", self.xprop(window, "_NET_WM_STATE"))
        # In front again the view has the keyboard as before: a letter starts a line.
        mark = keeper.mark()
        self.desktop.type("back again")
        self.desktop.key("Return")
        self.said(keeper, "back again", mark)
        self.leave_room()


if __name__ == "__main__":
    unittest.main()
