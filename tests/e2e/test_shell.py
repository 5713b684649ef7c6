"""Whole-program tests of the shell: the connection dialog, the window, its keys, one copy only.

Each test runs the program on its own Xvfb desktop, in a temporary working
directory with its own config.txt. No IRC server is needed: the client is sent
to a closed loopback port, where the connect is refused; the tests that look at
the registration run the program in a network namespace of its own where a
silent listener takes the connection, so registration simply never completes.
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, MAIN_TITLE, crop_pixels, title_matches, wait_until  # noqa: E402
from netlab import Lab  # noqa: E402

SOURCE_DIR = os.environ.get("QIVRA_SOURCE_DIR",
                            os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
PROGRAM = os.environ.get("QIVRA_PROGRAM", os.path.join(SOURCE_DIR, "build", "qivra"))

DIALOG_TITLE = "Welcome to QIVRA"
GREETING = ["Welcome To qivra!", "Beta Version 1"]  # the hints follow a join (test_chat.py)

CONFIG = """/ test settings
SERVER 127.0.0.1 1
CHANNEL #room
NICKNAME tester
PACKETS 10
"""


def dlu_x(units):  # dialog units to pixels, as the dialog lays itself out
    return (units * 6 + 2) // 4


def dlu_y(units):
    return (units * 13 + 4) // 8


# Takes every connection on 127.0.0.1:1 and keeps it without a word.
SILENT_LISTENER = r"""
import socket
s = socket.socket()
s.bind(("127.0.0.1", 1))
s.listen(8)
print("listening", flush=True)
kept = []
while True:
    kept.append(s.accept()[0])
"""

# Points inside the dialog's controls, in its client coordinates (the fields beside the labels
# may begin a little right of 48 units, where the longest label needs it).
SERVER_FIELD = (dlu_x(48) + 30, dlu_y(41) + 6)
CHANNEL_FIELD = (dlu_x(48) + 30, dlu_y(60) + 6)
PORT_FIELD = (dlu_x(144) + 10, dlu_y(41) + 6)
NICKNAME_FIELD = (dlu_x(48) + 30, dlu_y(78) + 6)
EXIT_BUTTON = (dlu_x(132) + dlu_x(54) // 2, dlu_y(103) + dlu_y(18) // 2)
# The row of looks under the buttons: "?" (default), then red, blue, green, yellow, purple ...
LOOKS = ["default", "red", "blue", "green", "yellow", "purple", "orange", "white", "black"]


def look_button(index):
    return (dlu_x(6) + 40 + index * 26 + 12, dlu_y(124) + 4 + 20)
HELP_BUTTON = (dlu_x(72) + dlu_x(54) // 2, dlu_y(103) + dlu_y(18) // 2)
# The drop-down arrows at the fields' right ends (16 pixels wide).
SERVER_ARROW = (dlu_x(138) - 8, dlu_y(41) + 6)
NICKNAME_ARROW = (dlu_x(180) - 8, dlu_y(78) + 6)


class ShellTest(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.access(PROGRAM, os.X_OK), "program not built: " + PROGRAM)
        self.desktop = Desktop()
        self.addCleanup(self.desktop.close)
        self.workdir = tempfile.mkdtemp(prefix="qivra-run-", dir=self.desktop.workdir)
        self.lockdir = tempfile.mkdtemp(prefix="qivra-lock-", dir=self.desktop.workdir)
        with open(os.path.join(self.workdir, "config.txt"), "w") as f:
            f.write(CONFIG)
        data = os.path.join(SOURCE_DIR, "data")
        if os.path.isdir(data):
            os.symlink(data, os.path.join(self.workdir, "data"))

    # -- helpers ----------------------------------------------------------------------
    def start_copy(self, listening=False):
        """The program; with listening, in a namespace where 127.0.0.1:1 takes the connection
        and never answers."""
        argv = [PROGRAM]
        if listening:
            lab = Lab("shel")
            self.addCleanup(lab.close)
            lab.start()
            listener = lab.spawn(lab.server_ns, ["/usr/bin/python3", "-c", SILENT_LISTENER], stdin=False,
                                 name="listener")
            listener.wait_for("^listening$", 10)
            argv = ["ip", "netns", "exec", lab.server_ns, PROGRAM]
        return self.desktop.start(argv, self.workdir, {
            "QIVRA_CONSOLE_STDERR": "1", "QIVRA_AUTO_ANSWER": "yes", "QIVRA_LOCK_DIR": self.lockdir,
            "QIVRA_WINDOW_STDERR": "1"})

    def wait_dialog(self, program):
        dialog = self.desktop.wait_window(DIALOG_TITLE, timeout=20)
        self.assertIsNotNone(dialog, "no connection dialog; stderr:\n" + program.stderr())
        self.assertTrue(self.desktop.wait_active(DIALOG_TITLE), "dialog never got the focus")
        return dialog

    def replace_field(self, dialog, point, text):
        self.desktop.click(dialog, *point)
        self.desktop.key("ctrl+a")
        self.desktop.type(text)

    def connect(self, program):
        """Presses Enter in the dialog; returns the main window once it is active."""
        self.desktop.key("Return")
        window = self.desktop.wait_window(MAIN_TITLE, timeout=20)
        self.assertIsNotNone(window, "main window not shown; stderr:\n" + program.stderr())
        self.assertTrue(self.desktop.wait_active(MAIN_TITLE), "main window never became active")
        return window

    def leave_room(self):
        """Escape in the main window until the window has gone (the first one may only leave
        the input line)."""
        self.desktop.leave_with_escape(lambda: not self.desktop.find_windows(MAIN_TITLE))

    def back_at_dialog(self):
        return self.desktop.wait_window(DIALOG_TITLE, timeout=10) is not None and \
            not self.desktop.find_windows(MAIN_TITLE)

    # -- tests ------------------------------------------------------------------------
    def test_dialog_shows_config_values(self):
        program = self.start_copy(listening=True)
        self.wait_dialog(program)
        self.connect(program)  # the values exactly as config.txt gave them
        self.assertTrue(program.wait_console("Connecting to 127.0.0.1:1..."), program.stderr())
        self.assertTrue(wait_until(lambda: any(line.startswith('Registering as "tester"')
                                               for line in program.console_lines()), 5), program.stderr())
        # The channel field: copy it into the nickname field and connect again.
        self.leave_room()
        self.assertTrue(self.back_at_dialog())
        dialog = self.wait_dialog(program)
        self.desktop.click(dialog, *CHANNEL_FIELD)
        self.desktop.key("ctrl+a", "ctrl+c")
        self.desktop.click(dialog, *NICKNAME_FIELD)
        self.desktop.key("ctrl+a", "ctrl+v")
        self.connect(program)
        self.assertTrue(wait_until(lambda: any(line.startswith('Registering as "#room"')
                                               for line in program.console_lines())), program.stderr())

    def test_typed_values_and_enter_show_window_with_greeting(self):
        program = self.start_copy(listening=True)
        dialog = self.wait_dialog(program)
        self.replace_field(dialog, SERVER_FIELD, "127.0.0.1")
        self.replace_field(dialog, NICKNAME_FIELD, "n" * 70)
        self.replace_field(dialog, PORT_FIELD, "1abc")  # not a number: refused, the dialog stays
        self.desktop.key("Return")
        self.assertTrue(wait_until(lambda: program.boxes(), 5), "no box for the port 1abc")
        self.assertIn("The port must be a number from 1 to 65535.", program.boxes()[0])
        self.assertFalse(self.desktop.find_windows(MAIN_TITLE), "connected with the port 1abc")
        self.replace_field(dialog, PORT_FIELD, "1")  # Enter from this field
        window = self.connect(program)
        self.assertTrue(program.wait_console("Connecting to 127.0.0.1:1..."), program.stderr())
        # The link thread connects; the registration's line follows in a later pass.
        self.assertTrue(wait_until(lambda: any(line.startswith("Registering as") for line in program.console_lines()),
                                   5), program.stderr())
        lines = program.console_lines()
        registering = [line for line in lines if line.startswith("Registering as")]
        self.assertTrue(registering and registering[0].startswith('Registering as "%s"' % ("n" * 63)),
                        "nickname not cut to 63 characters: %r" % registering)
        start = lines.index(GREETING[0])
        self.assertEqual(GREETING + ["Connecting to 127.0.0.1:1..."], lines[start:start + 3])
        # The panel (client rows 348 to 461) shows text: dark glyph pixels on its rows.
        time.sleep(0.5)
        x, y, width, height = self.desktop.geometry(window)
        self.assertEqual((640, 480), (width, height))
        shot = self.desktop.screenshot(os.path.join(self.desktop.workdir, "greeting.png"))
        rows_with_text = 0
        for row in range(7):
            band = crop_pixels(shot, x + 3, y + 349 + row * 16, 400, 16)
            if sum(1 for r, g, b in band if r + g + b < 200) > 20:
                rows_with_text += 1
        self.assertGreaterEqual(rows_with_text, 4, "expected the greeting, connect and registration rows")
        self.assertTrue(program.alive())

    def test_the_dialog_offers_the_looks_and_connect_keeps_the_one_chosen(self):
        with open(os.path.join(self.workdir, "config.txt"), "a") as f:
            f.write("IMAGE Green\n")
        program = self.start_copy()
        dialog = self.wait_dialog(program)
        time.sleep(0.5)
        x, y, _, _ = self.desktop.geometry(dialog)
        shot = self.desktop.screenshot(os.path.join(self.desktop.workdir, "looks.png"))
        # Each look's small figure shows its shirt: red (200, 36, 36) in the second button,
        # purple (128, 56, 172) in the sixth, none of them in the first ("?").
        for index, shirt in ((1, (200, 36, 36)), (5, (128, 56, 172)), (0, (200, 36, 36))):
            bx, by = look_button(index)
            pixels = crop_pixels(shot, x + bx - 12, y + by - 20, 24, 40)
            found = sum(1 for p in pixels if all(abs(a - b) < 20 for a, b in zip(p, shirt)))
            if index:
                self.assertGreater(found, 20, "no %s figure in button %d" % (LOOKS[index], index))
            else:
                self.assertEqual(0, found, "the default button shows a figure")
        self.desktop.click(dialog, *look_button(5))
        self.connect(program)
        saved = os.path.join(self.desktop.config_home, "qivra", "last-connection.txt")
        self.assertTrue(wait_until(lambda: os.path.exists(saved), 5), "nothing saved")
        with open(saved) as f:
            lines = f.read().splitlines()
        self.assertIn("IMAGE purple", lines, "the look chosen is kept with the last connection")

    def test_escape_returns_to_dialog_where_escape_does_nothing(self):
        program = self.start_copy(listening=True)
        self.wait_dialog(program)
        self.connect(program)
        self.leave_room()
        self.assertTrue(self.back_at_dialog(), "Escape did not return to the dialog")
        self.assertTrue(program.wait_console("Disconnected."), program.stderr())
        self.wait_dialog(program)
        self.desktop.key("Escape")
        time.sleep(1.0)
        self.assertTrue(self.desktop.find_windows(DIALOG_TITLE), "Escape closed the dialog")
        self.assertTrue(program.alive())

    def test_exit_ends_the_program_without_leak_box(self):
        program = self.start_copy()
        self.wait_dialog(program)
        self.connect(program)  # a whole cycle: the scene is set up and used
        self.leave_room()
        self.assertTrue(self.back_at_dialog())
        dialog = self.wait_dialog(program)
        self.desktop.click(dialog, *EXIT_BUTTON)
        self.assertEqual(0, program.wait_exit(timeout=15), program.stderr())
        self.assertEqual([], program.boxes(), "no message box expected at exit")

    def test_f1_remakes_the_window_and_keeps_the_console(self):
        program = self.start_copy()
        self.wait_dialog(program)
        self.connect(program)
        self.assertEqual(1, program.console_lines().count(GREETING[0]))
        # The connect's outcome comes from the link thread a pass or two later: wait for it.
        self.assertTrue(wait_until(lambda: any(line.startswith(("Could not connect", "Registering as"))
                                               for line in program.console_lines()), 10), program.stderr())
        lines = len(program.console_lines())
        self.desktop.key("F1")  # a tap: one switch
        self.assertTrue(wait_until(lambda: "[window] made full screen" in program.stderr(), 10), program.stderr())
        self.assertIsNotNone(self.desktop.wait_window(MAIN_TITLE, timeout=10))
        time.sleep(1.0)
        made = [line for line in program.stderr().splitlines() if line.startswith("[window]")]
        self.assertEqual(["[window] made windowed", "[window] made full screen"], made)
        self.assertEqual(lines, len(program.console_lines()), "the console started afresh")
        self.assertTrue(program.alive())
        self.assertNotIn("Disconnecting...", program.console_lines(), "F1 must keep the connection")
        self.assertEqual([], program.boxes())

    def test_second_copy_exits_and_brings_the_first_forward(self):
        first = self.start_copy()
        self.wait_dialog(first)
        window = self.connect(first)
        self.desktop.minimize(window)
        self.assertTrue(wait_until(lambda: not title_matches(MAIN_TITLE, self.desktop.active_window_name()), 5))
        second = self.start_copy()
        self.assertEqual(0, second.wait_exit(timeout=10), "the second copy did not end")
        self.assertNotIn("[console]", second.stderr(), "the second copy must not start up")
        self.assertTrue(self.desktop.wait_active(MAIN_TITLE, timeout=5),
                        "the first copy's window did not come forward")
        self.assertTrue(first.alive())

    def test_missing_files_are_named_in_a_box_before_the_dialog(self):
        empty = tempfile.mkdtemp(prefix="qivra-empty-", dir=self.desktop.workdir)
        program = self.desktop.start([PROGRAM], empty, {
            "QIVRA_CONSOLE_STDERR": "1", "QIVRA_AUTO_ANSWER": "yes", "QIVRA_LOCK_DIR": self.lockdir})
        self.wait_dialog(program)
        boxes = [text for text in program.stderr().split("[box] ")[1:] if 'caption="Missing files"' in text]
        self.assertEqual(1, len(boxes), program.stderr())
        for name in ("config.txt", "world.txt", "font.bmp", "player.ms3d"):
            self.assertIn(name, boxes[0])
        # The console still says it too, and the dialog has the built-in nickname.
        for line in ("ERROR: config.txt file not found!", "ERROR: world.txt file not found!"):
            self.assertIn(line, program.console_lines())
        dialog = self.wait_dialog(program)
        self.desktop.click(dialog, *NICKNAME_FIELD)
        self.desktop.key("ctrl+a", "ctrl+c")
        self.assertEqual("Unnamed|qivra", wait_until(self.desktop.clipboard, timeout=5))
        self.desktop.click(dialog, *EXIT_BUTTON)
        self.assertEqual(0, program.wait_exit(timeout=15), program.stderr())

    def test_closing_the_dialog_after_escape_ends_with_status_0(self):
        # By the window manager (alt+F4), and destroyed by another client (xdotool windowclose),
        # whose unmap FLTK once answered with a request on the dead window: BadWindow, status 1.
        for run in range(20):
            program = self.start_copy()
            self.wait_dialog(program)
            self.connect(program)
            self.leave_room()
            dialog = self.wait_dialog(program)
            if run % 2:
                self.desktop.key("alt+F4")
            else:
                self.desktop.xdotool("windowclose", dialog)
            self.assertEqual(0, program.wait_exit(timeout=15), "run %d: %s" % (run, program.stderr()[-2000:]))
            self.assertNotRegex(program.stderr(), "(?i)x error", "run %d" % run)
            program.stop()
    def expect_field(self, dialog, point, expected, why=""):
        """The field's text, copied to the clipboard, becomes expected (the clipboard may hold
        an earlier copy for a moment)."""
        self.desktop.click(dialog, *point)
        self.desktop.key("ctrl+a", "ctrl+c")
        self.assertTrue(wait_until(lambda: self.desktop.clipboard() == expected, timeout=5),
                        "the field holds %r, not %r %s" % (self.desktop.clipboard(), expected, why))

    def pick(self, dialog, arrow, downs):
        """Drops down a field's list with its arrow and takes its entry number downs (from 1)."""
        self.desktop.click(dialog, *arrow)
        time.sleep(0.5)
        for _ in range(downs):
            self.desktop.key("Down")
        self.desktop.key("Return")
        time.sleep(0.3)

    def test_recent_values_are_offered_at_the_next_start_and_help_shows_a_box(self):
        program = self.start_copy()
        dialog = self.wait_dialog(program)
        self.desktop.click(dialog, *SERVER_ARROW)  # nothing remembered yet: no list
        time.sleep(0.5)
        self.expect_field(dialog, SERVER_FIELD, "127.0.0.1")
        for server, nickname in (("127.0.0.1", "first"), ("127.0.0.2", "second")):
            dialog = self.wait_dialog(program)
            self.replace_field(dialog, SERVER_FIELD, server)
            self.replace_field(dialog, NICKNAME_FIELD, nickname)
            self.connect(program)
            self.leave_room()
            self.assertTrue(self.back_at_dialog())
        dialog = self.wait_dialog(program)
        self.desktop.click(dialog, *EXIT_BUTTON)
        self.assertEqual(0, program.wait_exit(timeout=15), program.stderr())

        # The next start shows config.txt's values, and each list the connects', newest first.
        program = self.start_copy()
        dialog = self.wait_dialog(program)
        self.expect_field(dialog, NICKNAME_FIELD, "tester")
        shot = os.path.join(self.desktop.workdir, "dropdown.png")
        self.desktop.click(dialog, *NICKNAME_ARROW)
        time.sleep(0.5)
        self.desktop.screenshot(shot)
        keep = os.environ.get("QIVRA_EVIDENCE_DIR")
        if keep:
            os.makedirs(keep, exist_ok=True)
            subprocess.run(["cp", shot, keep], check=True)
        self.desktop.key("Escape")  # closes the list, not the dialog
        time.sleep(0.3)
        self.assertTrue(self.desktop.find_windows(DIALOG_TITLE))
        self.pick(dialog, NICKNAME_ARROW, 1)
        self.expect_field(dialog, NICKNAME_FIELD, "second")
        self.pick(dialog, NICKNAME_ARROW, 2)
        self.expect_field(dialog, NICKNAME_FIELD, "first")
        self.pick(dialog, SERVER_ARROW, 1)
        self.expect_field(dialog, SERVER_FIELD, "127.0.0.2")
        self.pick(dialog, SERVER_ARROW, 2)
        self.expect_field(dialog, SERVER_FIELD, "127.0.0.1", "(the first connect's server)")

        # Help shows how to get started; the dialog stays.
        self.desktop.click(dialog, *HELP_BUTTON)
        self.assertTrue(wait_until(lambda: program.boxes(), 5), "no help box")
        self.assertIn('caption="QIVRA Help"', program.stderr())
        help_text = program.stderr().split('caption="QIVRA Help"', 1)[1]  # several lines
        for words in ("How to get started", "Nickname:", "Connect joins the channel", "cursor keys", "Escape"):
            self.assertIn(words, help_text)
        self.assertTrue(self.desktop.find_windows(DIALOG_TITLE))
        self.desktop.click(dialog, *EXIT_BUTTON)
        self.assertEqual(0, program.wait_exit(timeout=15), program.stderr())

    def test_close_box_returns_to_dialog(self):
        program = self.start_copy(listening=True)
        self.wait_dialog(program)
        self.connect(program)
        self.desktop.key("alt+F4")  # the window manager's close, as from the close box
        self.assertTrue(self.back_at_dialog(), "closing the window did not return to the dialog")
        self.assertTrue(program.wait_console("Disconnected."), program.stderr())
        dialog = self.wait_dialog(program)
        self.desktop.click(dialog, *EXIT_BUTTON)
        self.assertEqual(0, program.wait_exit(timeout=15), program.stderr())


class NoDisplayTest(unittest.TestCase):
    def test_without_a_display_it_says_so_and_exits_1(self):
        env = dict(os.environ, QIVRA_LOCK_DIR=tempfile.gettempdir())
        env.pop("DISPLAY", None)
        for argv, display, status in (([], None, 1), ([], ":987", 1), (["--help"], None, 0), (["--version"], None, 0)):
            run = subprocess.run([PROGRAM] + argv, env=dict(env, **({"DISPLAY": display} if display else {})),
                                 capture_output=True, text=True, timeout=20)
            self.assertEqual(status, run.returncode, "%r DISPLAY=%s: %r" % (argv, display, run.stderr))
            self.assertEqual(status == 1, "qivra: cannot open the display (DISPLAY is not set or the X server "
                             "refused): QIVRA needs a desktop.\n" == run.stderr, run.stderr)

if __name__ == "__main__":
    unittest.main()
