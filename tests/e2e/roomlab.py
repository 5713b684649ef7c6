"""The QIVRA window on a private desktop, connected to a real IRC server in a network lab,
with headless peers beside it. Used by the room tests and the README screenshot.

    with Room() as room:                   # namespaces, ngircd, Xvfb + openbox
        room.connect_viewer()              # dialog, Connect, registered and in #room
        alice = room.add_peer("alice")     # qivra-peer in a namespace of its own
        alice.wait_for(r"^presence active viewer$", 10)
        view = room.view("before")         # the 3D view (640x348) as a shots.Picture
        room.click_view(); room.hold("Up", 1.0)
    # room.pictures: every view taken, by name; save_pictures(folder) keeps them as PNG files

The window's program runs inside a client namespace (ip netns exec) with DISPLAY pointing at
the desktop's Xvfb: its filesystem socket is reachable from every namespace. Each program gets
its own working folder with a config.txt for the lab's server and the shipped data/ linked in.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from desktop import Desktop, MAIN_TITLE, wait_until  # noqa: E402
from netlab import Lab  # noqa: E402
from shots import Grabber  # noqa: E402

SOURCE_DIR = os.environ.get("QIVRA_SOURCE_DIR", os.path.abspath(os.path.join(HERE, "..", "..")))
BUILD_DIR = os.path.join(SOURCE_DIR, "build")
PROGRAM = os.environ.get("QIVRA_PROGRAM", os.path.join(BUILD_DIR, "qivra"))
PEER = os.environ.get("QIVRA_PEER", os.path.join(os.path.dirname(PROGRAM), "qivra-peer"))

DIALOG_TITLE = "Welcome to QIVRA"
CHANNEL = "#room"
VIEW_WIDTH, VIEW_HEIGHT = 640, 348   # the 3D view: the client area above the console panel


class Room:
    def __init__(self, nick="viewer", ping_timeout=None):
        self.nick = nick
        self.ping_timeout = ping_timeout  # ngircd's PingTimeout (s); None: its default
        self.lab = Lab("room")
        self.desktop = None
        self.grabber = None
        self.viewer = None
        self.window = None
        self.client_origin = None
        self.pictures = []  # (name, Picture) of every view taken

    def __enter__(self):
        try:
            self.lab.start()
            self.lab.start_ngircd(ping_timeout=self.ping_timeout)
            self.desktop = Desktop()
            self.grabber = Grabber(self.desktop.display)
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        if self.grabber:
            self.grabber.close()
        if self.desktop:
            self.desktop.close()
        self.lab.close()

    # -- the window ------------------------------------------------------------------
    def connect_viewer(self, extra_env=None, arrival="0,0,0", size=(640, 480), image=None):
        """Starts the program, presses Connect in the dialog and waits until it has joined.
        extra_env adds test seams to the program's environment. The window arrives at the
        origin facing north (QIVRA_ARRIVAL), where the views' predictions stand, unless arrival
        is None: then the arrival rule places it. size: the client area it opens at (kept for it).
        image: the look it wears (IMAGE in config.txt, core/looks.h's names); None: the default."""
        self.size = tuple(size)
        place = os.path.join(self.desktop.config_home, "qivra", "window-place.txt")
        if self.size != (640, 480) and not os.path.exists(place):
            os.makedirs(os.path.dirname(place), exist_ok=True)
            with open(place, "w") as f:
                f.write("%d %d 10 10\n" % self.size)
        client = self.lab.add_client()
        workdir = tempfile.mkdtemp(prefix="qivra-run-", dir=self.desktop.workdir)
        lockdir = tempfile.mkdtemp(prefix="qivra-lock-", dir=self.desktop.workdir)
        with open(os.path.join(workdir, "config.txt"), "w") as f:
            f.write("SERVER %s 6667\nCHANNEL %s\nNICKNAME %s\nFULLNAME QIVRA\nPACKETS 10\n"
                    % (self.lab.server_address, CHANNEL, self.nick))
            if image:
                f.write("IMAGE %s\n" % image)
        os.symlink(os.path.join(SOURCE_DIR, "data"), os.path.join(workdir, "data"))
        env = {"QIVRA_CONSOLE_STDERR": "1", "QIVRA_AUTO_ANSWER": "yes", "QIVRA_LOCK_DIR": lockdir,
               "QIVRA_ARRIVAL": arrival}
        env.update(extra_env or {})
        self.viewer = self.desktop.start(["ip", "netns", "exec", client.ns, PROGRAM], workdir, env)
        if not self.desktop.wait_window(DIALOG_TITLE, timeout=20):
            raise AssertionError("no connection dialog; stderr:\n" + self.viewer.stderr())
        if not self.desktop.wait_active(DIALOG_TITLE):
            raise AssertionError("the connection dialog never got the focus (active: %r)"
                                 % self.desktop.active_window_name())
        self.desktop.key("Return")
        self.window = self.desktop.wait_window(MAIN_TITLE, timeout=20)
        if not self.window or not self.desktop.wait_active(MAIN_TITLE):
            raise AssertionError("main window not shown; stderr:\n" + self.viewer.stderr())
        x, y, width, height = self.desktop.geometry(self.window)
        if (width, height) != tuple(size):
            raise AssertionError("window client area is %dx%d, expected %dx%d" % ((width, height) + tuple(size)))
        self.client_origin = (x, y)
        joining = 'Joining channel "%s"...' % CHANNEL
        if not self.viewer.wait_console(joining, timeout=15):
            raise AssertionError("the window did not join; stderr:\n" + self.viewer.stderr()[-3000:])
        return self.viewer

    def click_view(self):
        """A left click into the middle of the 3D view: it has the keyboard (walking)."""
        self.desktop.click(self.window, VIEW_WIDTH // 2, VIEW_HEIGHT // 2)

    def hold(self, key, seconds):
        """Holds an X key (keysym name) down for about that long."""
        self.desktop.press_for(key, seconds)

    def view(self, name):
        """The 3D view as it is on the screen now."""
        taken = time.monotonic()
        picture = self.grabber.grab(self.client_origin[0], self.client_origin[1], VIEW_WIDTH, VIEW_HEIGHT, taken)
        self.pictures.append((name, picture))
        return picture

    def window_picture(self):
        """The whole client area (as connect_viewer opened it): view, list, console and input line."""
        width, height = getattr(self, "size", (640, 480))
        return self.grabber.grab(self.client_origin[0], self.client_origin[1], width, height, time.monotonic())

    def save_pictures(self, folder):
        """Writes every view taken so far as numbered PNG files (a failing test's evidence)."""
        shutil.rmtree(folder, ignore_errors=True)  # no views of an earlier run
        os.makedirs(folder)
        for number, (name, picture) in enumerate(self.pictures, 1):
            picture.save(os.path.join(folder, "%02d-%s.png" % (number, name)))
        return folder

    # -- peers -----------------------------------------------------------------------
    def add_peer(self, nick, options=(), env=None, datagrams=True):
        """A qivra-peer in a namespace of its own (so it gets UDP port 6669 to itself), with more
        options and environment; datagrams=False: the namespace drops them (moves go by the server)."""
        client = self.lab.add_client()
        for chain in () if datagrams else ("INPUT", "OUTPUT"):
            subprocess.run(["ip", "netns", "exec", client.ns, "iptables", "-A", chain, "-p", "udp", "-j", "DROP"],
                           check=True)
        argv = [PEER, "--server", self.lab.server_address, "--port", "6667", "--nick", nick,
                "--channel", CHANNEL, "--bind", client.address, "--packets", "10"] + list(options)
        return self.lab.spawn(client, argv, env=env, name=nick)


def settle(seconds=0.3):
    """Gives the window a few frames to show what just happened."""
    time.sleep(seconds)


__all__ = ["Room", "settle", "wait_until", "VIEW_WIDTH", "VIEW_HEIGHT", "PROGRAM", "PEER"]
