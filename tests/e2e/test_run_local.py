"""The README's first way to run: tools/run-local.sh from the repository root starts a private
ngircd for the shipped config.txt, the client joins it, and the server stops with the client.

The script runs inside a network namespace of its own, so its 127.0.0.1 server is private to
the test. It runs build/qivra of the checkout, so the test needs that to be the program built.
Run as root with /usr/bin/python3.
"""
import os
import re
import signal
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, wait_until  # noqa: E402
from netlab import Lab  # noqa: E402
import test_shell as shell  # noqa: E402  (titles and the dialog's geometry)

SOURCE_DIR = shell.SOURCE_DIR


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False


class RunLocalTest(unittest.TestCase):
    def setUp(self):
        program = os.path.join(SOURCE_DIR, "build", "qivra")
        if os.path.realpath(program) != os.path.realpath(shell.PROGRAM):
            self.skipTest("run-local.sh runs %s, not the program under test" % program)
        self.lab = Lab("rloc")
        self.addCleanup(self.lab.close)
        self.lab.start()
        self.desktop = Desktop()
        self.addCleanup(self.desktop.close)
        self.home = tempfile.mkdtemp(prefix="qivra-home-", dir=self.desktop.workdir)
        self.lockdir = tempfile.mkdtemp(prefix="qivra-lock-", dir=self.desktop.workdir)

    def test_starts_a_private_server_joins_it_and_stops_it(self):
        env = {"DISPLAY": self.desktop.display, "HOME": self.home,
               "XDG_CONFIG_HOME": os.path.join(self.home, ".config"), "QIVRA_CONSOLE_STDERR": "1",
               "QIVRA_AUTO_ANSWER": "yes", "QIVRA_LOCK_DIR": self.lockdir}
        script = self.lab.spawn(self.lab.add_client(),
                                ["/bin/sh", "-c", 'cd "$0" && exec bash tools/run-local.sh', SOURCE_DIR],
                                env=env, stdin=False, name="run-local")
        # Whatever happens below, nothing the script started outlives the test.
        self.addCleanup(lambda: alive(script.pid) and os.killpg(script.pid, signal.SIGTERM))
        started = script.wait_for(r"^run-local: started ngircd on 127\.0\.0\.1:6667 \(pid \d+\)$", 60)
        server_pid = int(re.search(r"pid (\d+)", started).group(1))
        self.addCleanup(lambda: alive(server_pid) and os.kill(server_pid, signal.SIGTERM))

        dialog = self.desktop.wait_window(shell.DIALOG_TITLE, timeout=20)
        self.assertIsNotNone(dialog, "no dialog; stderr:\n" + "\n".join(script.errors[-20:]))
        self.assertTrue(self.desktop.wait_active(shell.DIALOG_TITLE), "the dialog never got the focus")
        self.desktop.key("Return")
        script.wait_for(r'^\[console\] Joining channel "#qivra"\.\.\.$', 15, stream="stderr")
        self.assertIn("[console] Connected.", script.errors)

        gone = self.desktop.leave_with_escape(lambda: not self.desktop.find_windows(shell.MAIN_TITLE))
        self.assertTrue(gone, "Escape did not leave the room")
        dialog = self.desktop.wait_window(shell.DIALOG_TITLE, timeout=10)
        self.assertIsNotNone(dialog, "the dialog did not come back")
        self.desktop.click(dialog, *shell.EXIT_BUTTON)
        self.assertEqual(0, script.popen.wait(timeout=20), "run-local.sh failed")
        self.assertTrue(wait_until(lambda: not alive(server_pid), timeout=10),
                        "the private ngircd outlived run-local.sh")


if __name__ == "__main__":
    unittest.main()
