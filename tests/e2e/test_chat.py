"""Whole-program chat tests: the program on a private desktop, inside a network namespace of
its own, against a real IRC server with its default ping timing, with qivra-peer processes and
a raw IRC client as the other users.

The server is chosen by QIVRA_IRC_SERVER (ngircd or inspircd). The program runs with the
shipped config.txt, only its SERVER line pointing at the test's server. Run as root with
/usr/bin/python3.
"""
import os
import re
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, MAIN_TITLE, wait_until  # noqa: E402
from netlab import Lab  # noqa: E402

SOURCE_DIR = os.environ.get("QIVRA_SOURCE_DIR",
                            os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
PROGRAM = os.environ.get("QIVRA_PROGRAM", os.path.join(SOURCE_DIR, "build", "qivra"))
PEER = os.environ.get("QIVRA_PEER", os.path.join(SOURCE_DIR, "build", "qivra-peer"))
SERVER = os.environ.get("QIVRA_IRC_SERVER", "ngircd")
WATCH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "raw_irc_watch.py")

DIALOG_TITLE = "Welcome to QIVRA"
PORT = 6667
# Seconds to wait for a user's command to show elsewhere. ngircd holds back a user's commands
# for a second or two each once they come quickly (JOIN, NICK, PART and every WHOIS the client
# sends for a new name count), and it has no setting for that; so an event can show several
# seconds after the command under load.
EVENT_WAIT = 15.0


def shipped_config():
    with open(os.path.join(SOURCE_DIR, "config.txt")) as f:
        return f.read()


def shipped_value(keyword):
    match = re.search(r"^%s (\S+)" % keyword, shipped_config(), re.M)
    if not match:
        raise AssertionError("config.txt has no %s line" % keyword)
    return match.group(1)


NICK = shipped_value("NICKNAME")
CHANNEL = shipped_value("CHANNEL")
MOTD_TEXT = "QIVRA test server"  # the lab's message of the day
HINT = "QIVRA shows one IRC channel as a small 3D room shared by its members."  # the first of three


class ChatBase(unittest.TestCase):
    """The lab, the desktop and the program's folder, and helpers; no tests of its own."""
    port = PORT  # the port the program's SERVER line names ("+6697" style text for TLS)
    extra_env = {}

    def setUp(self):
        for path in (PROGRAM, PEER):
            self.assertTrue(os.access(path, os.X_OK), "not built: " + path)
        self.start_lab()
        self.desktop = Desktop()
        self.addCleanup(self.desktop.close)  # runs first: the program ends before its namespace
        self.home = self.lab.add_client()
        self.workdir = tempfile.mkdtemp(prefix="qivra-run-", dir=self.desktop.workdir)
        self.lockdir = tempfile.mkdtemp(prefix="qivra-lock-", dir=self.desktop.workdir)
        self.write_config()
        os.symlink(os.path.join(SOURCE_DIR, "data"), os.path.join(self.workdir, "data"))
        self.program = None

    def start_lab(self):
        self.lab = Lab(SERVER[:4])
        self.addCleanup(self.lab.close)
        self.lab.start()
        if SERVER == "ngircd":
            self.lab.start_ngircd()
        else:
            self.lab.start_inspircd(quick_commands=True)  # ping timing stays the default

    def write_config(self, server=None, extra_lines=""):
        """The shipped config.txt with its SERVER line pointing at the lab, and more lines."""
        config = re.sub(r"^SERVER .*$", "SERVER %s %s" % (server or self.lab.server_address, self.port),
                        shipped_config(), count=1, flags=re.M)
        with open(os.path.join(self.workdir, "config.txt"), "w") as f:
            f.write(config + "\n" + extra_lines)

    # -- other users --------------------------------------------------------------------
    def peer(self, nick, channel=CHANNEL):
        """A qivra-peer in its own namespace, registered and joined."""
        argv = [PEER, "--server", self.lab.server_address, "--port", str(PORT), "--nick", nick,
                "--channel", channel]
        proc = self.lab.spawn(self.lab.add_client(), argv, name=nick)
        proc.wait_for(r"^Connected\.$", 10)
        return proc

    def raw_client(self, nick, channel):
        """A bare IRC client that has joined channel (the first to join is its operator)."""
        proc = self.lab.spawn(self.lab.add_client(), ["/usr/bin/python3", WATCH, self.lab.server_address,
                                                      str(PORT), nick], name=nick)
        proc.wait_for(r" 00[14] %s " % nick, 10)
        proc.send("JOIN %s" % channel)
        proc.wait_for(r" 366 %s %s " % (nick, re.escape(channel)), 10)
        return proc

    # -- the program --------------------------------------------------------------------
    def start_program(self, answer="yes"):
        env = {"QIVRA_CONSOLE_STDERR": "1", "QIVRA_AUTO_ANSWER": answer, "QIVRA_LOCK_DIR": self.lockdir,
               "QIVRA_WINDOW_STDERR": "1"}
        env.update(self.extra_env)
        self.program = self.desktop.start(["ip", "netns", "exec", self.home.ns, PROGRAM], self.workdir, env)
        return self.program

    def console(self):
        return self.program.console_lines()

    def report(self):
        tail = "\n  ".join(self.console()[-25:])
        return "; console ends:\n  " + tail

    def wait_console(self, text, since=0, timeout=EVENT_WAIT):
        """Index of the first console line equal to text at or after index since."""
        def find():
            lines = self.console()
            for index in range(since, len(lines)):
                if lines[index] == text:
                    return index + 1  # true even for line 0
            return None
        found = wait_until(find, timeout)
        self.assertIsNotNone(found, "no console line %r within %.0f s%s" % (text, timeout, self.report()))
        return found - 1

    def wait_console_match(self, pattern, since=0, timeout=EVENT_WAIT):
        """Index of the first console line at or after since that matches the pattern."""
        regex = re.compile(pattern)

        def find():
            lines = self.console()
            for index in range(since, len(lines)):
                if regex.search(lines[index]):
                    return index + 1
            return None
        found = wait_until(find, timeout)
        self.assertIsNotNone(found, "no console line matching %r within %.0f s%s" % (pattern, timeout, self.report()))
        return found - 1

    def connect_from_dialog(self, nick=NICK, server=None, first=True, channel=CHANNEL):
        """Enter in the dialog; checks registration and the join within 5 s, and the message of
        the day: shown in the run's first registration only. Returns the joining line's index."""
        dialog = self.desktop.wait_window(DIALOG_TITLE, timeout=20)
        self.assertIsNotNone(dialog, "no connection dialog" + self.report())
        self.assertTrue(self.desktop.wait_active(DIALOG_TITLE), "dialog never got the focus (active: %r)"
                        % self.desktop.active_window_name())
        since = len(self.console())
        self.desktop.key("Return")
        entered = time.monotonic()
        joining = self.wait_console('Joining channel "%s"...' % channel, since, timeout=5)
        self.assertLess(time.monotonic() - entered, 5.0, "registration and join took too long")
        lines = self.console()[since:joining + 1]
        connecting = "Connecting to %s:%s..." % (server or self.lab.server_address, str(self.port).lstrip("+"))
        self.assertIn(connecting, lines)
        registering = [i for i, line in enumerate(lines) if line.startswith('Registering as "%s"' % NICK)]
        self.assertTrue(registering, "no registering line" + self.report())
        server_lines = lines[registering[0] + 1:-2]
        # The welcome reads as text: no prefix, numeric or nickname.
        self.assertTrue(any(re.match(r"^-server- Welcome to the \S.* %s!" % re.escape(nick), line)
                            for line in server_lines), "the welcome line was not shown" + self.report())
        self.assertEqual(first, any(MOTD_TEXT in line for line in server_lines),
                         "the message of the day shown in the first registration only" + self.report())
        self.assertEqual("Connected.", lines[-2])
        self.assertIsNotNone(self.desktop.wait_window(MAIN_TITLE, timeout=5), "main window not shown")
        self.assertTrue(self.desktop.wait_active(MAIN_TITLE), "main window never became active")
        return joining

    def main_window(self):
        found = self.desktop.find_windows(MAIN_TITLE)
        self.assertTrue(found, "the main window is not shown" + self.report())
        return found[0]

    def enter(self, text, until, what):
        """Types text into the input line and holds Enter until until() holds."""
        window = self.main_window()
        x, y, width, height = self.desktop.geometry(window)
        self.desktop.click(window, width // 2, height - 10)
        self.desktop.type(text)
        done = self.desktop.hold_key("Return", until, timeout=EVENT_WAIT)
        self.assertTrue(done, "%r: %s did not happen%s" % (text, what, self.report()))

    def say(self, text):
        """A chat line: waits for its echo on the console; returns the echo's index."""
        since = len(self.console())
        echo = "<%s> %s" % (NICK, text)
        self.enter(text, lambda: echo in self.console()[since:], "its echo")
        return self.wait_console(echo, since, timeout=1)

    def leave_room(self, connected=True):
        """Escape, held until the main window has gone; checks the disconnect lines (none
        when the client was no longer connected)."""
        since = len(self.console())
        gone = self.desktop.leave_with_escape(lambda: not self.desktop.find_windows(MAIN_TITLE))
        self.assertTrue(gone, "Escape did not close the main window" + self.report())
        if connected:
            disconnecting = self.wait_console("Disconnecting...", since)
            self.wait_console("Disconnected.", disconnecting)
        self.assertIsNotNone(self.desktop.wait_window(DIALOG_TITLE, timeout=10), "the dialog did not return")


class ChatTest(ChatBase):
    def test_chat_both_ways_and_channel_events(self):
        keeper = self.raw_client("keeper", CHANNEL)  # first in the channel: its operator
        self.start_program()
        joining = self.connect_from_dialog()
        keeper.wait_for(r"^:%s!\S* JOIN :?%s$" % (NICK, re.escape(CHANNEL)), EVENT_WAIT)
        # The hints for a first visit follow the member list, in the console's last rows.
        names = self.wait_console_match(r"^In %s: " % re.escape(CHANNEL), joining)
        self.assertEqual(names + 1, self.wait_console(HINT, names, timeout=1), "not right after the list")

        alice = self.peer("alice")
        mark = self.wait_console("alice has joined the channel")

        self.say("hello from the room")
        alice.wait_for(r"^<%s> hello from the room$" % NICK, EVENT_WAIT)

        alice.send("hi there")
        mark = self.wait_console("<alice> hi there", mark)
        alice.send("/me waves")
        mark = self.wait_console("* alice waves", mark)
        alice.send("/msg %s just for you" % NICK)
        mark = self.wait_console("<alice> [Private] just for you", mark)

        alice.send("/nick alicia")
        mark = self.wait_console("alice is now known as alicia", mark)
        alice.send("/part")
        mark = self.wait_console("alicia has left the channel", mark)
        alice.send("/join %s" % CHANNEL)
        mark = self.wait_console("alicia has joined the channel", mark)
        keeper.send("KICK %s alicia :enough" % CHANNEL)
        mark = self.wait_console("alicia was kicked by keeper (enough)", mark)

        bob = self.peer("bob")
        mark = self.wait_console("bob has joined the channel", mark)
        bob.send("/quit see you")
        self.wait_console_match(r'^bob has quit irc \((Quit: )?"?see you"?\)$', mark)
        self.assertTrue(self.program.alive())

    def test_chat_is_kept_in_log_files(self):
        keeper = self.raw_client("Keeper", CHANNEL)
        self.start_program()
        self.connect_from_dialog()
        keeper.wait_for(r"^:%s!\S* JOIN :?%s$" % (NICK, re.escape(CHANNEL)), EVENT_WAIT)

        keeper.send("PRIVMSG %s :hi from the keeper" % CHANNEL)
        mark = self.wait_console("<Keeper> hi from the keeper")
        self.say("hello from the room")
        keeper.send("PRIVMSG %s :psst" % NICK)
        mark = self.wait_console("<Keeper> [Private] psst", mark)
        self.enter("/msg keeper psst back", lambda: keeper.has_line(r"(?i)PRIVMSG keeper :psst back$"), "the reply")
        keeper.send("NOTICE %s :a notice" % NICK)
        self.wait_console("-Keeper- a notice", mark)

        folder = os.path.join(self.desktop.data_home, "qivra", "logs", self.lab.server_address)

        def logged(name):  # the lines without their time stamps, each checked
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                text = f.read()
            stamp = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"
            self.assertRegex(text, r"^--- Log opened %s\n(%s [^\n]*\n)*$" % (stamp, stamp))
            return [line[20:] for line in text.splitlines()[1:]]
        self.assertEqual(["<Keeper> hi from the keeper", "<%s> hello from the room" % NICK],
                         logged(CHANNEL.lower() + ".log"))
        self.assertEqual(["<Keeper> psst", "<%s> psst back" % NICK, "-Keeper- a notice"], logged("keeper.log"))

    def test_join_part_escape_and_connect_again(self):
        alice = self.peer("alice")
        bob = self.peer("bob", "#other")
        watcher = self.raw_client("watcher", CHANNEL)  # sees the QUIT line with its reason
        self.start_program()
        self.connect_from_dialog()
        alice.wait_for(r"^%s has joined the channel$" % NICK, EVENT_WAIT)

        mark_alice, mark_bob = alice.mark(), bob.mark()
        self.enter("/join #other", lambda: bob.has_line(r"^%s has joined the channel$" % NICK, mark_bob),
                   "bob seeing the join in #other")
        mark_bob = bob.mark()
        self.enter("/part", lambda: bob.has_line(r"^%s has left the channel$" % NICK, mark_bob),
                   "bob seeing the part")
        # "/join" added #other beside the channel, and joining the channel again only shows it.
        self.enter("/join %s" % CHANNEL, lambda: self.desktop.find_windows("%s - %s - QIVRA" % (CHANNEL, NICK)),
                   "the channel shown again")
        self.assertFalse(alice.has_line(r"^%s has (left|joined) the channel$" % NICK, mark_alice))
        self.enter("/part %s" % CHANNEL,
                   lambda: alice.has_line(r"^%s has left the channel$" % NICK, mark_alice),
                   "alice seeing the part")
        mark_alice = alice.mark()
        self.enter("/join %s" % CHANNEL,
                   lambda: alice.has_line(r"^%s has joined the channel$" % NICK, mark_alice),
                   "alice seeing the join again")

        mark_alice = alice.mark()
        self.leave_room()
        alice.wait_for(r"^%s has quit irc$" % NICK, EVENT_WAIT, since=mark_alice)
        # The client's own QUIT with its reason, not a dropped connection (ngircd quotes the
        # reason; some servers put "Quit: " before it).
        watcher.wait_for(r"^:%s!\S* QUIT :(\"Quit\"|(Quit: )?Quit)$" % NICK, EVENT_WAIT)

        mark_alice = alice.mark()
        joining = self.connect_from_dialog(first=False)
        alice.wait_for(r"^%s has joined the channel$" % NICK, EVENT_WAIT, since=mark_alice)
        mark_alice = alice.mark()
        self.say("back again")
        alice.wait_for(r"^<%s> back again$" % NICK, EVENT_WAIT, since=mark_alice)
        self.wait_console_match(r"^In %s: " % re.escape(CHANNEL), joining)
        self.assertEqual(1, self.console().count(HINT), "the hints came again" + self.report())
        since = len(self.console())
        self.enter("/motd", lambda: any(MOTD_TEXT in line for line in self.console()[since:]),
                   "the message of the day shown on /motd")

    def test_server_going_away_leaves_the_program_responsive(self):
        alice = self.peer("alice")
        self.start_program()
        self.connect_from_dialog()
        alice.wait_for(r"^%s has joined the channel$" % NICK, EVENT_WAIT)

        since = len(self.console())
        self.lab.server.stop()
        self.assertFalse(self.lab.server.running())
        self.wait_console("Connection to %s lost." % self.lab.server_address, since, timeout=5)
        # Enter and the console still work; the line is not sent, and says so.
        self.enter("anyone there?", lambda: "Not sent (not connected): anyone there?" in self.console()[since:],
                   "the line saying it was not sent")
        self.leave_room(connected=False)
        self.wait_console("Stopped reconnecting.", since)

        # Connect again with the server gone: the attempt and its failure show, and Escape
        # still leaves.
        self.assertTrue(self.desktop.wait_active(DIALOG_TITLE), "dialog never got the focus")
        since = len(self.console())
        self.desktop.key("Return")
        connecting = self.wait_console("Connecting to %s:%d..." % (self.lab.server_address, PORT), since)
        self.wait_console("Could not connect to %s:%d: connection refused." % (self.lab.server_address, PORT),
                          connecting)
        self.assertIsNotNone(self.desktop.wait_window(MAIN_TITLE, timeout=10), "main window not shown")
        self.assertTrue(self.desktop.wait_active(MAIN_TITLE), "main window never became active")
        self.leave_room(connected=False)
        self.assertTrue(self.program.alive())

    def test_server_wait_answers_f1_escape_and_the_close_box(self):
        # A server that takes connections and never says a word: "/server" waits for it.
        silent = self.lab.add_client()
        listener = self.lab.spawn(silent, ["/usr/bin/python3", "-c",
                                           "import socket\ns=socket.socket()\ns.bind(('0.0.0.0',%d))\n"
                                           "s.listen(8)\nprint('listening',flush=True)\nkept=[]\n"
                                           "while True:\n kept.append(s.accept())\n print('accepted',flush=True)"
                                           % PORT], name="silent")
        listener.wait_for(r"^listening$", 10)
        self.start_program()

        def change_server():
            """Types "/server" with the silent server; returns when it has the connection."""
            mark = listener.mark()
            self.enter("/server %s" % silent.address, lambda: listener.has_line(r"^accepted$", mark),
                       "the silent server being reached")
            return time.monotonic()

        self.connect_from_dialog()
        waiting = change_server()
        made = self.program.stderr().count("[window] made ")
        remade = self.desktop.hold_key("F1", lambda: self.program.stderr().count("[window] made ") > made)
        self.assertTrue(remade, "F1 did not remake the window during the wait" + self.report())
        self.leave_room()
        self.assertLess(time.monotonic() - waiting, 12.0, "the wait was not ended by Escape")

        # The dialog now offers the silent server: connect there, then wait for it once more.
        self.assertTrue(self.desktop.wait_active(DIALOG_TITLE), "dialog never got the focus")
        self.desktop.key("Return")
        self.assertIsNotNone(self.desktop.wait_window(MAIN_TITLE, timeout=10), "main window not shown")
        self.assertTrue(self.desktop.wait_active(MAIN_TITLE), "main window never became active")
        waiting, since = change_server(), len(self.console())
        self.desktop.key("alt+F4")  # the window manager's close, as from the close box
        self.wait_console("Disconnected.", since, timeout=10)
        self.assertIsNotNone(self.desktop.wait_window(DIALOG_TITLE, timeout=10), "the dialog did not return")
        self.assertLess(time.monotonic() - waiting, 12.0, "the wait was not ended by the close box")
        self.assertFalse([line for line in self.console() if line.startswith("Gave up waiting")],
                         "a wait ran out" + self.report())
        self.assertTrue(self.program.alive())

if __name__ == "__main__":
    unittest.main()
