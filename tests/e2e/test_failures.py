"""Whole-program tests of what the user sees when things go wrong, and of text that must arrive
as meant: connection failures, a server that dies or stops, pastes and long lines, F1 held,
and the room's own colours. The program runs in a network namespace of its own against ngircd
in a private lab (tests/e2e/netlab.py, roomlab.py), with a raw IRC client as the other user
where the wire matters. Run as root with /usr/bin/python3.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from desktop import Desktop, MAIN_TITLE, wait_until  # noqa: E402
from netlab import Lab  # noqa: E402
from roomlab import PROGRAM, SOURCE_DIR, Room, settle  # noqa: E402
from shots import Picture, changed, changed_share, find  # noqa: E402

WATCH = os.path.join(HERE, "raw_irc_watch.py")
BENCH = os.environ.get("QIVRA_ROOM_BENCH",
                       os.path.join(os.path.dirname(PROGRAM), "bench", "room_render", "qivra_room_bench"))
DIALOG_TITLE = "Welcome to QIVRA"
CHANNEL = "#room"


def dlu_x(units):  # dialog units to pixels, as the dialog lays itself out
    return (units * 6 + 2) // 4


def dlu_y(units):
    return (units * 13 + 4) // 8


SERVER_FIELD = (dlu_x(48) + 30, dlu_y(41) + 6)
CHANNEL_FIELD = (dlu_x(48) + 30, dlu_y(60) + 6)
PORT_FIELD = (dlu_x(144) + 10, dlu_y(41) + 6)
NICKNAME_FIELD = (dlu_x(48) + 30, dlu_y(78) + 6)

# A server that takes the connection and, once the client has registered, refuses it with an
# ERROR line and closes, as a server with a password or a ban does.
CLOSING_SERVER = r"""
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], int(sys.argv[2])))
s.listen(4)
print("listening", flush=True)
while True:
    c, _ = s.accept()
    seen = b""
    while b"NICK" not in seen:
        chunk = c.recv(512)
        if not chunk:
            break
        seen += chunk
    c.sendall(b"ERROR :Closing link: test server says no\r\n")
    c.close()
"""


# A server that stops in the middle of a line once the client has registered, and a port that
# takes the TCP connect but never says a word (a TLS handshake waits there for ever). Both keep
# their connections open until the test ends.
STALLING_SERVER = r"""
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], int(sys.argv[2])))
s.listen(4)
print("listening", flush=True)
kept = []
while True:
    c, _ = s.accept()
    kept.append(c)
    if sys.argv[3] == "half":
        seen = b""
        while b"NICK" not in seen:
            chunk = c.recv(512)
            if not chunk:
                break
            seen += chunk
        c.sendall(b":stall.test NOTICE * :half a li")
"""


def wait_console_line(program, pattern, since=0, timeout=10.0):
    """The first console line at or after index since that matches pattern (a regular
    expression), with its index; fails after timeout seconds."""
    regex = re.compile(pattern)

    def find_line():
        lines = program.console_lines()
        for index in range(since, len(lines)):
            if regex.search(lines[index]):
                return index, lines[index]
        return None
    found = wait_until(find_line, timeout, step=0.02)
    if not found:
        tail = "\n  ".join(program.console_lines()[-15:])
        raise AssertionError("no console line matching %r within %.1f s; console ends:\n  %s"
                             % (pattern, timeout, tail))
    return found


class FailuresTest(unittest.TestCase):
    # -- the input line -------------------------------------------------------------
    def type_line(self, desktop, window, text):
        """Types text into the input line and presses Enter once (a tap)."""
        x, y, width, height = desktop.geometry(window)
        desktop.click(window, width // 2, height - 10)
        desktop.type(text)
        desktop.key("Return")

    def paste(self, desktop, window, text):
        """Puts text on the X clipboard (xclip, kept running until the paste is done) and
        pastes it into the input line with ctrl+v, then presses Enter."""
        clip = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], env=desktop.env,
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            clip.stdin.write(text.encode())
            clip.stdin.close()
            time.sleep(0.3)  # xclip owns the clipboard once it has read its input
            x, y, width, height = desktop.geometry(window)
            desktop.click(window, width // 2, height - 10)
            desktop.key("ctrl+v")
            time.sleep(0.5)  # the paste arrives from xclip through the X server
            desktop.key("Return")
            time.sleep(0.3)
        finally:
            clip.kill()
            clip.wait(5)

    # -- 1: connection failures --------------------------------------------------------
    def test_connect_failures_are_reported_and_connect_works_again(self):
        lab = Lab("fail")
        self.addCleanup(lab.close)
        lab.start()
        lab.start_ngircd()
        server = lab.server_address
        # Port 6668 answers nothing (its connects are dropped); 6671 closes after an ERROR.
        subprocess.run(["ip", "netns", "exec", lab.server_ns, "iptables", "-A", "INPUT", "-p", "tcp",
                        "--dport", "6668", "-j", "DROP"], check=True)
        closer = lab.spawn(lab.server_ns, ["/usr/bin/python3", "-c", CLOSING_SERVER, server, "6671"],
                           stdin=False, name="closer")
        closer.wait_for("^listening$", 10)
        watcher = lab.spawn(lab.add_client(), ["/usr/bin/python3", WATCH, server, "6667", "watcher"],
                            name="watcher")
        watcher.wait_for(r" 001 watcher ", 10)
        watcher.send("JOIN #qivra")
        watcher.wait_for(r" 366 watcher #qivra ", 10)

        desktop = Desktop()
        self.addCleanup(desktop.close)
        home = lab.add_client()
        workdir = tempfile.mkdtemp(prefix="qivra-run-", dir=desktop.workdir)
        with open(os.path.join(workdir, "config.txt"), "w") as f:
            f.write("SERVER nowhere.invalid 6667\nCHANNEL #room\nNICKNAME tester\n")
        os.symlink(os.path.join(SOURCE_DIR, "data"), os.path.join(workdir, "data"))
        program = desktop.start(["ip", "netns", "exec", home.ns, PROGRAM], workdir, {
            "QIVRA_CONSOLE_STDERR": "1", "QIVRA_AUTO_ANSWER": "yes",
            "QIVRA_LOCK_DIR": tempfile.mkdtemp(dir=desktop.workdir)})

        def dialog():
            found = desktop.wait_window(DIALOG_TITLE, timeout=20)
            self.assertIsNotNone(found, "no connection dialog; stderr:\n" + program.stderr()[-2000:])
            self.assertTrue(desktop.wait_active(DIALOG_TITLE), "the dialog never got the focus")
            return found

        def set_field(point, text):
            box = dialog()
            desktop.click(box, *point)
            desktop.key("ctrl+a")
            desktop.type(text)

        def connect(host, port, reason, reached=False):
            """Connect from the dialog; the failure line within ten seconds. Registration
            starts only on a server that was reached."""
            if host is not None:
                set_field(SERVER_FIELD, host)
                set_field(PORT_FIELD, str(port))
            dialog()
            since = len(program.console_lines())
            desktop.key("Return")
            started = time.monotonic()
            line = "Could not connect to %s:%d: %s." % (host or "nowhere.invalid", port, reason)
            wait_console_line(program, r"^Connecting to ", since, timeout=10)
            began = time.monotonic() - started  # the dialog has gone and the window shows
            index, _ = wait_console_line(program, "^%s$" % re.escape(line), since, timeout=12)
            took = time.monotonic() - started
            self.assertLess(took, 10.0, "%r took %.1f s (its connect began after %.1f s)" % (line, took, began))
            self.assertEqual(reached, "Registering as" in " ".join(program.console_lines()[since:]))
            window = desktop.wait_window(MAIN_TITLE, timeout=10)
            self.assertIsNotNone(window, "the main window is not shown")
            print("%-62s %.2f s (connect began after %.2f s)" % (line, took, began))
            return window, index

        def leave():
            """Escape back to the dialog (nothing to disconnect: the client is Offline); after a
            typed line the first Escape only leaves the input line."""
            desktop.wait_active(MAIN_TITLE)
            self.assertTrue(desktop.leave_with_escape(lambda: not desktop.find_windows(MAIN_TITLE)),
                            "Escape did not leave the window")

        connect(None, 6667, "name not found")
        leave()
        window, index = connect(server, 6000, "connection refused")
        # Offline at once: "/connect" in the window tries again straight away.
        self.type_line(desktop, window, "/connect")
        wait_console_line(program, r"^Could not connect to %s:6000: connection refused\.$" % re.escape(server),
                          index + 1, timeout=5)
        leave()
        connect("10.201.7.7", 6667, "no route to host")
        leave()
        connect(server, 6668, "no answer")
        leave()
        window, index = connect(server, 6671, "closed by the server", reached=True)
        self.assertTrue([line for line in program.console_lines()[index - 3:index]
                         if "Closing link: test server says no" in line], "the server's ERROR was not shown")
        leave()

        # The dialog refuses a bad port and a nickname with a blank, naming the field, and stays.
        boxes = len(program.boxes())
        set_field(SERVER_FIELD, server)
        for field, text, words in ((PORT_FIELD, "99999", "port"), (PORT_FIELD, "abc", "port"),
                                   (NICKNAME_FIELD, "two words", "nickname")):
            set_field(field, text)
            desktop.key("Return")
            self.assertTrue(wait_until(lambda: len(program.boxes()) > boxes, 5), "no message box for %r" % text)
            boxes = len(program.boxes())
            self.assertIn(words, program.boxes()[-1])
            self.assertFalse(desktop.find_windows(MAIN_TITLE), "connected with %r" % text)
            if field == PORT_FIELD:
                set_field(PORT_FIELD, "6667")
        set_field(NICKNAME_FIELD, "tester")
        set_field(CHANNEL_FIELD, "qivra")  # without '#': it gets one
        desktop.key("Return")
        watcher.wait_for(r"^:tester!\S* JOIN :?#qivra$", 15)
        wait_console_line(program, r'^Joining channel "#qivra"\.\.\.$', timeout=5)
        self.assertTrue(program.alive())


    # -- 1b: a server that stalls mid-line, a TLS port that never answers ----------------------
    def test_stalled_server_and_silent_tls_port_leave_the_window_answering(self):
        lab = Lab("stall")
        self.addCleanup(lab.close)
        lab.start()
        server = lab.server_address
        for port, mode in ((6672, "half"), (6673, "mute")):
            stall = lab.spawn(lab.server_ns, ["/usr/bin/python3", "-c", STALLING_SERVER, server, str(port), mode],
                              stdin=False, name="stall%d" % port)
            stall.wait_for("^listening$", 10)

        desktop = Desktop()
        self.addCleanup(desktop.close)
        home = lab.add_client()
        workdir = tempfile.mkdtemp(prefix="qivra-run-", dir=desktop.workdir)
        with open(os.path.join(workdir, "config.txt"), "w") as f:
            f.write("SERVER %s 6672\nCHANNEL #room\nNICKNAME tester\n" % server)
        os.symlink(os.path.join(SOURCE_DIR, "data"), os.path.join(workdir, "data"))
        # Idle timers of 2 s and 2 s: the stalled link is declared silent within seconds.
        program = desktop.start(["ip", "netns", "exec", home.ns, PROGRAM], workdir, {
            "QIVRA_CONSOLE_STDERR": "1", "QIVRA_AUTO_ANSWER": "yes", "QIVRA_IDLE_TIMERS": "2,2",
            "QIVRA_LOCK_DIR": tempfile.mkdtemp(dir=desktop.workdir)})

        def connect(port_text, started_line):
            box = desktop.wait_window(DIALOG_TITLE, timeout=20)
            self.assertIsNotNone(box, "no connection dialog; stderr:\n" + program.stderr()[-2000:])
            self.assertTrue(desktop.wait_active(DIALOG_TITLE), "the dialog never got the focus")
            desktop.click(box, *PORT_FIELD)
            desktop.key("ctrl+a")
            desktop.type(port_text)
            since = len(program.console_lines())
            desktop.key("Return")
            started = time.monotonic()
            wait_console_line(program, started_line, since, timeout=10)
            self.assertTrue(desktop.wait_active(MAIN_TITLE), "the main window never got the focus")
            return since, started

        def escape_brings_the_dialog_back(what):
            time.sleep(1.0)  # well inside the wait: registering, or shaking hands
            desktop.key("Escape")
            pressed = time.monotonic()
            self.assertTrue(wait_until(lambda: desktop.find_windows(DIALOG_TITLE), 5, step=0.02),
                            "Escape while %s did not bring the dialog back" % what)
            took = time.monotonic() - pressed
            print("dialog back %.2f s after Escape while %s" % (took, what))
            self.assertLess(took, 1.0, "Escape while %s took %.2f s" % (what, took))

        def failure_line(port, since, started, limit):
            line = "Could not connect to %s:%d: no answer." % (server, port)
            wait_console_line(program, "^%s$" % re.escape(line), since, timeout=limit + 2)
            took = time.monotonic() - started
            print("%-50s %.2f s" % (line, took))
            self.assertLess(took, limit, "%r took %.1f s" % (line, took))

        # Half a line, then silence: Escape still answers, and without it the silent link is
        # reported by the idle timers (2 s + 2 s here).
        connect("6672", r"^Registering as ")
        escape_brings_the_dialog_back("registering")
        since, started = connect("6672", r"^Registering as ")
        failure_line(6672, since, started, 8.0)
        self.assertFalse([line for line in program.console_lines()[since:] if "half a li" in line],
                         "a piece of a line was shown as a line")
        desktop.key("Escape")

        # A TLS port that never answers the handshake: Escape within a second, and without it
        # the failure line within ten seconds of Connect.
        connect("+6673", r"^Connecting to ")
        escape_brings_the_dialog_back("shaking hands")
        since, started = connect("+6673", r"^Connecting to ")
        failure_line(6673, since, started, 10.0)
        self.assertTrue(program.alive())

    # -- 2: a dead server ------------------------------------------------------------------
    def test_a_fallback_nickname_gives_way_to_the_own_once_the_ghost_is_gone(self):
        # The link to carol's first connection goes silent both ways (its packets dropped in
        # her namespace), so the server keeps that connection, a ghost holding "carol", until
        # its ping timeout (10 s, then 10 s for the answer); the client gives the link up
        # after 3 + 2 s of silence (QIVRA_IDLE_TIMERS) and registers again, as "carol_".
        room = Room(nick="carol", ping_timeout=10)
        room.__enter__()
        self.addCleanup(room.close)
        carol = room.connect_viewer({"QIVRA_IDLE_TIMERS": "3,2"})
        home = room.lab.clients[-1].ns
        watcher = room.lab.spawn(room.lab.add_client(), ["/usr/bin/python3", WATCH, room.lab.server_address, "6667",
                                                         "watcher"], name="watcher")
        watcher.wait_for(r" 00[14] watcher ", 10)
        watcher.send("JOIN " + CHANNEL)
        watcher.wait_for(r" 353 watcher . #room :(.* )?[@+]?carol( |$)", 10)  # the ghost-to-be is in the channel
        ports = subprocess.run(["ip", "netns", "exec", home, "ss", "-Htn", "state", "established", "dport", "=",
                                ":6667"], capture_output=True, text=True, check=True).stdout.split()
        port = ports[2].rsplit(":", 1)[1]  # Recv-Q Send-Q Local:Port Peer:Port
        for chain, side in (("INPUT", "--dport"), ("OUTPUT", "--sport")):
            subprocess.run(["ip", "netns", "exec", home, "iptables", "-A", chain, "-p", "tcp", side, port, "-j",
                            "DROP"], check=True)
        since = len(carol.console_lines())
        silenced = time.monotonic()
        wait_console_line(carol, r"^Connection to %s lost\.$" % re.escape(room.lab.server_address), since, 15)
        wait_console_line(carol, r'^The nickname "carol" is in use: trying "carol_"\.$', since, 20)
        wait_console_line(carol, r'^Joining channel "#room"\.\.\.$', since, 10)
        watcher.wait_for(r"^:carol!\S+ QUIT :.*[Tt]imeout", 40)
        print("the ghost gone %.1f s after the silence" % (time.monotonic() - silenced))
        wait_console_line(carol, r"^Took back your nickname carol\.$", since, 10)
        watcher.wait_for(r"^:carol_!\S+ NICK :?carol$", 5)
        self.assertTrue(wait_until(lambda: room.desktop.find_windows("#room - carol - QIVRA"), 5),
                        "the title does not name carol again")

    def test_dead_server_is_noticed_and_the_room_comes_back(self):
        # Idle timers of 4 s and 3 s (the QIVRA_IDLE_TIMERS seam) instead of 60 s and 30 s,
        # so that the stopped server below is declared lost within seconds.
        room = Room()
        room.__enter__()
        self.addCleanup(room.close)
        viewer = room.connect_viewer({"QIVRA_IDLE_TIMERS": "4,3"})
        server = room.lab.server_address
        alice = room.add_peer("alice")
        alice.wait_for(r"^presence active viewer$", 15)

        # The server killed: the lost line within two seconds, then tries, one line each.
        since = len(viewer.console_lines())
        room.lab.server.stop()
        killed = time.monotonic()
        wait_console_line(viewer, r"^Connection to %s lost\.$" % re.escape(server), since, timeout=2)
        print("lost line %.2f s after the server was killed" % (time.monotonic() - killed))
        wait_console_line(viewer, r"^Reconnecting in 2 s", since, timeout=1)
        self.type_line(room.desktop, room.window, "anyone there?")
        wait_console_line(viewer, r"^Not sent \(not connected\): anyone there\?$", since, timeout=5)
        self.assertNotIn("<viewer> anyone there?", viewer.console_lines())
        refused = r"^Could not connect to %s:6667: connection refused\. Next try in %d s\.$"
        wait_console_line(viewer, refused % (re.escape(server), 4), since, timeout=5)
        wait_console_line(viewer, refused % (re.escape(server), 8), since, timeout=7)

        # A new server on the same address: joined again within 30 s, and a peer who comes
        # back moves in the room again.
        room.lab.start_ngircd()
        restarted = time.monotonic()
        wait_console_line(viewer, r'^Joining channel "#room"\.\.\.$', since, timeout=30)
        print("joined again %.2f s after the server came back" % (time.monotonic() - restarted))
        alice.stop()  # her old client lost its server too; she starts it again
        alice = room.add_peer("alice")
        alice.wait_for(r"^presence active viewer$", 15)
        alice.send("/pos 0 3 180 180 0")
        settle(0.5)
        empty = room.view("alice behind the camera")
        alice.send("/pos 0 -2 180 180 0")
        started = time.monotonic()
        while changed(empty, room.view("alice in front"), (0, 120, 640, 348)).count <= 500:
            self.assertLess(time.monotonic() - started, 5, "alice's avatar did not move in front")
            time.sleep(0.05)

        # A stopped server: declared lost by the idle timers; "/disconnect" ends the tries.
        since = len(viewer.console_lines())
        os.kill(room.lab.server.pid, signal.SIGSTOP)
        self.addCleanup(os.kill, room.lab.server.pid, signal.SIGCONT)
        stopped = time.monotonic()
        wait_console_line(viewer, r"^Connection to %s lost\.$" % re.escape(server), since, timeout=100)
        print("stopped server declared lost after %.2f s (timers 4 s + 3 s)" % (time.monotonic() - stopped))
        self.type_line(room.desktop, room.window, "/disconnect")
        wait_console_line(viewer, r"^Stopped reconnecting\.$", since, timeout=5)
        quiet_from = len(viewer.console_lines())
        time.sleep(7)
        self.assertEqual([], [line for line in viewer.console_lines()[quiet_from:]
                              if "connect" in line.lower()], "a try after /disconnect")
        self.assertTrue(viewer.alive())

    # -- 3: the room alone, text that arrives as meant, F1 held ----------------------------
    def test_room_colours_pasted_and_long_text_and_f1_held(self):
        room = Room()
        room.__enter__()
        self.addCleanup(room.close)
        viewer = room.connect_viewer({"QIVRA_WINDOW_STDERR": "1"})
        desktop, window = room.desktop, room.window

        # Alone in the room, the view is what the offscreen renderer draws from the same pose.
        settle(0.5)
        alone = room.view("alone")
        snapshot = os.path.join(desktop.workdir, "offscreen.ppm")
        subprocess.run([BENCH, "--snapshot", snapshot, "0", "0", "0", "0"], check=True,
                       stdout=subprocess.DEVNULL)
        png = snapshot[:-3] + "png"
        subprocess.run(["convert", snapshot, png], check=True)
        offscreen = Picture.from_png(png, 0, 0, alone.width, alone.height)
        share = changed_share(offscreen, alone)
        print("alone: %.5f of the view differs from the offscreen render" % share)
        self.assertLess(share, 0.001, "the view alone is not the room's own colours")

        watcher = room.lab.spawn(room.lab.add_client(), ["/usr/bin/python3", WATCH, room.lab.server_address,
                                                         "6667", "watcher"], name="watcher")
        watcher.wait_for(r" 001 watcher ", 10)
        watcher.send("JOIN %s" % CHANNEL)
        watcher.wait_for(r" 366 watcher %s " % CHANNEL, 10)
        viewer.wait_console("watcher has joined the channel", timeout=15)

        def said(since, target=CHANNEL):
            prefix = re.compile(r"^:viewer!\S+ PRIVMSG %s :(.*)$" % re.escape(target))
            return [m.group(1) for m in (prefix.match(line) for line in watcher.lines[since:]) if m]

        def from_viewer(since):
            return [line for line in watcher.lines[since:] if line.startswith(":viewer!")]

        # Three pasted lines, one a would-be command: three PRIVMSG lines and nothing else.
        mark = watcher.mark()
        self.paste(desktop, window, "first line\nNICK pasted\r\nthird line\n")
        self.assertTrue(wait_until(lambda: len(said(mark)) >= 3, 10), "got %r" % from_viewer(mark))
        time.sleep(1.0)
        self.assertEqual(["first line", "NICK pasted", "third line"], said(mark))
        self.assertEqual(3, len(from_viewer(mark)), "more than the three lines: %r" % from_viewer(mark))

        # A 4,200-byte line (more than the input line's 4,096) arrives whole, in messages broken
        # at blanks, each within the server's 512 bytes with the sender's prefix.
        words = " ".join("word%04d" % i for i in range(470))[:4200].rstrip()
        self.assertGreater(len(words), 4190)
        mark = watcher.mark()
        self.paste(desktop, window, words)
        wait_console_line(viewer, r"^The paste goes on beyond the input line \(\d+ more bytes\)", timeout=5)
        self.assertTrue(wait_until(lambda: " ".join(said(mark)) == words, 40),
                        "the long line arrived as %r" % said(mark))
        self.assertGreaterEqual(len(said(mark)), 9)
        self.assertTrue(all(len(line.encode()) + 2 <= 512 for line in from_viewer(mark)))

        # "/msg" with three words: all three arrive, and the console shows them.
        mark = watcher.mark()
        self.type_line(desktop, window, "/msg watcher psst private hello")
        watcher.wait_for(r"^:viewer!\S+ PRIVMSG watcher :psst private hello$", 10, since=mark)
        wait_console_line(viewer, r"^-> watcher: psst private hello$", timeout=5)
        self.type_line(desktop, window, "/frobnicate now")
        wait_console_line(viewer, r"^Unknown command: /frobnicate \(/help lists the commands\)$", timeout=5)

        # F1 held for half a second switches once, and the console keeps its lines.
        lines_before = len(viewer.console_lines())
        room.click_view()
        room.hold("F1", 0.5)
        settle(2.0)
        made = [line for line in viewer.stderr().splitlines() if line.startswith("[window]")]
        self.assertEqual(["[window] made windowed", "[window] made full screen"], made)
        self.assertEqual(lines_before, len(viewer.console_lines()),
                         "F1 wrote to the console: %r" % viewer.console_lines()[lines_before:])
        full = desktop.wait_window(MAIN_TITLE, timeout=5)
        x, y, width, height = desktop.geometry(full)
        panel = room.grabber.grab(x, y + height - 132, width, 113)
        rows = [find(panel, lambda r, g, b: r + g + b < 200, (3, 1 + row * 16, 400, 17 + row * 16)).count
                for row in range(7)]
        self.assertTrue(all(count > 20 for count in rows), "the console's rows after F1: %r" % rows)
        self.assertTrue(viewer.alive())

if __name__ == "__main__":
    unittest.main()
