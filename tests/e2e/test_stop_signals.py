"""SIGTERM, SIGINT and SIGHUP end the program as Exit does: QUIT seen by a bare IRC client in
the channel, and exit status 0, within two seconds (at the dialog: exit status 0). So does the
X server's end under the window (logout)."""
import os
import signal
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from roomlab import CHANNEL, DIALOG_TITLE, PROGRAM, Room  # noqa: E402


class StopSignalTest(unittest.TestCase):
    def test_a_stop_signal_says_quit_and_exits_0(self):
        with Room() as room:
            dialog = room.desktop.start([PROGRAM], room.desktop.workdir, {"QIVRA_LOCK_DIR": room.desktop.workdir,
                                                                           "QIVRA_AUTO_ANSWER": "yes"})
            self.assertTrue(room.desktop.wait_window(DIALOG_TITLE, timeout=20), dialog.stderr())
            os.kill(dialog.pid, signal.SIGHUP)
            self.assertEqual(0, dialog.wait_exit(timeout=2), "SIGHUP at the dialog: " + dialog.stderr()[-2000:])
            watcher = room.lab.spawn(room.lab.add_client(), ["/usr/bin/python3", os.path.join(HERE, "raw_irc_watch.py"),
                                                             room.lab.server_address, "6667", "watcher"])
            watcher.wait_for(r" 00[14] watcher ", 10)
            watcher.send("JOIN " + CHANNEL)
            for name in ("SIGTERM", "SIGINT"):  # each in a program of its own
                mark = watcher.mark()
                viewer = room.connect_viewer()
                watcher.wait_for(r"^:viewer!\S+ JOIN :?%s" % CHANNEL, 10, since=mark)
                sent = time.monotonic()
                os.kill(viewer.pid, getattr(signal, name))
                watcher.wait_for(r"^:viewer!\S+ QUIT ", 2, since=mark)
                self.assertEqual(0, viewer.wait_exit(timeout=max(0.1, sent + 2 - time.monotonic())),
                                 "%s: no exit 0 within 2 s; stderr:\n%s" % (name, viewer.stderr()[-2000:]))

    def test_the_x_server_going_away_says_quit_and_exits_0(self):
        with Room() as room:
            room.grabber.close()  # the test's own X connection must not outlive the server
            watcher = room.lab.spawn(room.lab.add_client(), ["/usr/bin/python3", os.path.join(HERE, "raw_irc_watch.py"),
                                                             room.lab.server_address, "6667", "watcher"])
            watcher.wait_for(r" 00[14] watcher ", 10)
            watcher.send("JOIN " + CHANNEL)
            mark = watcher.mark()
            viewer = room.connect_viewer()
            watcher.wait_for(r"^:viewer!\S+ JOIN :?%s" % CHANNEL, 10, since=mark)
            sent = time.monotonic()
            room.desktop.server.terminate()  # as a session's end stops it
            # The client's own QUIT ("Quit"), not the server's note of a closed connection.
            watcher.wait_for(r'^:viewer!\S+ QUIT :"?Quit"?$', 2, since=mark)
            self.assertEqual(0, viewer.wait_exit(timeout=max(0.1, sent + 2 - time.monotonic())),
                             "no exit 0 within 2 s; stderr:\n" + viewer.stderr()[-2000:])
            self.assertIn("Disconnected.", viewer.console_lines())
            self.assertNotIn("terminate called", viewer.stderr())


if __name__ == "__main__":
    unittest.main()
