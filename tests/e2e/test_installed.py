"""The installed program as a new user meets it: started from an empty folder with a fresh home,
it shows the installed defaults, joins a private ngircd, and remembers the dialog's values.

QIVRA_PROGRAM names the installed program (tools/test-package.sh installs the .deb first and
passes /usr/bin/qivra). Run as root with /usr/bin/python3.
"""
import os
import re
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, wait_until  # noqa: E402
from netlab import Lab  # noqa: E402
import test_shell as shell  # noqa: E402  (the dialog's geometry)

PROGRAM = os.environ.get("QIVRA_PROGRAM", "/usr/bin/qivra")
SHARED = os.path.join(os.path.dirname(os.path.dirname(os.path.realpath(PROGRAM))), "share", "qivra")
PORT = 6667
NICK = "newcomer"


def installed_value(keyword):
    with open(os.path.join(SHARED, "config.txt")) as f:
        match = re.search(r"^%s (\S+)(?: (\d+))?" % keyword, f.read(), re.M)
    if not match:
        raise AssertionError("the installed config.txt has no %s line" % keyword)
    return match.groups()


class InstalledTest(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.access(PROGRAM, os.X_OK), "not installed: " + PROGRAM)
        self.lab = Lab("inst")
        self.addCleanup(self.lab.close)
        self.lab.start()
        self.lab.start_ngircd()
        self.desktop = Desktop()
        self.addCleanup(self.desktop.close)  # runs first: the program ends before its namespace
        self.client = self.lab.add_client()
        self.workdir = tempfile.mkdtemp(prefix="qivra-empty-", dir=self.desktop.workdir)
        self.home = tempfile.mkdtemp(prefix="qivra-home-", dir=self.desktop.workdir)
        self.lockdir = tempfile.mkdtemp(prefix="qivra-lock-", dir=self.desktop.workdir)

    def start(self):
        # HOME alone says where the user's folder is, as on a desktop without XDG_CONFIG_HOME.
        return self.desktop.start(["ip", "netns", "exec", self.client.ns, PROGRAM], self.workdir, {
            "HOME": self.home, "XDG_CONFIG_HOME": None, "QIVRA_CONSOLE_STDERR": "1",
            "QIVRA_AUTO_ANSWER": "yes", "QIVRA_LOCK_DIR": self.lockdir})

    def dialog(self, program):
        dialog = self.desktop.wait_window(shell.DIALOG_TITLE, timeout=20)
        self.assertIsNotNone(dialog, "no connection dialog; stderr:\n" + program.stderr())
        self.assertTrue(self.desktop.wait_active(shell.DIALOG_TITLE), "the dialog never got the focus")
        return dialog

    def fields(self, dialog):
        """The four fields' texts, each copied to the clipboard and read back."""
        values = []
        for point in (shell.SERVER_FIELD, shell.PORT_FIELD, shell.CHANNEL_FIELD, shell.NICKNAME_FIELD):
            self.desktop.click(dialog, *point)
            self.desktop.key("ctrl+a", "ctrl+c")
            values.append(wait_until(self.desktop.clipboard, timeout=5))
            self.desktop.key("Right")  # drops the selection, so the next copy is fresh
        return tuple(values)

    def replace(self, dialog, point, text):
        self.desktop.click(dialog, *point)
        self.desktop.key("ctrl+a")
        self.desktop.type(text)

    def exit(self, program, dialog):
        self.desktop.click(dialog, *shell.EXIT_BUTTON)
        self.assertEqual(0, program.wait_exit(timeout=15), program.stderr())

    def test_first_start_shows_installed_defaults_and_the_next_the_values_used(self):
        server, port = installed_value("SERVER")
        channel, _ = installed_value("CHANNEL")
        nickname, _ = installed_value("NICKNAME")

        program = self.start()
        dialog = self.dialog(program)
        self.assertEqual((server, port, channel, nickname), self.fields(dialog))
        self.assertEqual([], program.boxes(), "nothing may be missing")
        for complaint in ("ERROR: config.txt file not found!", "ERROR: world.txt file not found!",
                          "WARNING: Texture Load Failure!"):
            self.assertNotIn(complaint, program.console_lines())

        self.replace(dialog, shell.SERVER_FIELD, self.lab.server_address)
        self.replace(dialog, shell.NICKNAME_FIELD, NICK)
        self.desktop.key("Return")
        self.assertTrue(program.wait_console('Joining channel "%s"...' % channel, timeout=15),
                        "did not join; console:\n" + "\n".join(program.console_lines()[-20:]))
        lines = program.console_lines()
        self.assertIn("Connected.", lines)
        self.assertTrue(any(re.match(r"^-server- Welcome\b.*\b%s\b" % NICK, line) for line in lines),
                        "no welcome from the server:\n" + "\n".join(lines[-20:]))
        self.assertIsNotNone(self.desktop.wait_window(shell.MAIN_TITLE, timeout=10))
        gone = self.desktop.leave_with_escape(lambda: not self.desktop.find_windows(shell.MAIN_TITLE))
        self.assertTrue(gone, "Escape did not leave the room")
        self.exit(program, self.dialog(program))

        folder = os.path.join(self.home, ".config", "qivra")
        with open(os.path.join(folder, "last-connection.txt")) as f:
            saved = [line for line in f.read().splitlines() if not line.startswith("/")]
        self.assertEqual(["SERVER %s %s" % (self.lab.server_address, port), "CHANNEL %s" % channel,
                          "NICKNAME %s" % NICK, "IMAGE default"], saved)
        self.assertEqual([], os.listdir(self.workdir), "nothing may be written to the working directory")

        program = self.start()
        dialog = self.dialog(program)
        self.assertEqual((self.lab.server_address, port, channel, NICK), self.fields(dialog))
        self.exit(program, dialog)


if __name__ == "__main__":
    unittest.main()
