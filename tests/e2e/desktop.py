"""A throw-away X desktop for whole-program tests: Xvfb, openbox, the program, xdotool.

Every process started here is ended by its PID when the desktop closes.
Run with /usr/bin/python3 (the system interpreter).
"""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

# The main window's title names the channel and the nickname ("#room - alice - QIVRA", offline
# "alice - QIVRA"), with a count of unseen lines for the user before it ("(2) ..."). Window
# titles given to the helpers below are exact strings or compiled patterns like this one.
MAIN_TITLE = re.compile(r"^(\([0-9]+\) )?(.+ - )?[^ ]+ - QIVRA$")
# A console mirror line: "[console] text", or "[console:#room] text" naming the buffer.
CONSOLE_LINE = re.compile(r"^\[console(?::(\S*?))?\] (.*)$")


def title_matches(title, name):
    """True when a window's name is the title (a string) or matches it (a compiled pattern)."""
    if name is None:
        return False
    if hasattr(title, "search"):
        return title.search(name) is not None
    return name == title


def _kill(process, grace=2.0):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=5)


def wait_until(predicate, timeout=10.0, step=0.05):
    """Polls predicate until it returns a true value; returns that value or None."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(step)


class Program:
    """One running copy of the program, its stderr collected in a file."""

    def __init__(self, desktop, argv, cwd, env):
        self.desktop = desktop
        fd, self.stderr_path = tempfile.mkstemp(prefix="qivra-stderr-", dir=desktop.workdir)
        self.stderr_file = os.fdopen(fd, "w")
        self.process = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=self.stderr_file)

    @property
    def pid(self):
        return self.process.pid

    def stderr(self):
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def console_lines(self, buffer=None):
        """The console mirror's lines; with buffer, those of that conversation's console alone."""
        found = (CONSOLE_LINE.match(line) for line in self.stderr().splitlines())
        return [m.group(2) for m in found if m and (buffer is None or m.group(1) == buffer)]

    def boxes(self):
        return [line for line in self.stderr().splitlines() if line.startswith("[box] ")]

    def wait_console(self, text, count=1, timeout=10.0):
        """Waits until the console mirror has shown text at least count times."""
        return wait_until(lambda: self.console_lines().count(text) >= count, timeout)

    def alive(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=10.0):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        _kill(self.process)
        self.stderr_file.close()


class Desktop:
    """Xvfb on a free display number with openbox; xdotool helpers."""

    def __init__(self, width=1024, height=768):
        self.workdir = tempfile.mkdtemp(prefix="qivra-e2e-")
        self.programs = []
        self.window_manager = None
        # Now and then openbox cannot open a display Xvfb has just named (seen with several
        # desktops starting at once on a loaded machine): a second server is asked for then.
        for attempt in (1, 2):
            failure = self._start_screen(width, height)
            if not failure:
                return
            if attempt == 2 or "exited" not in failure:
                self.close()
                raise RuntimeError(failure)
            self._stop_screen()

    def _stop_screen(self):
        _kill(self.window_manager)
        _kill(getattr(self, "server", None))
        self.window_manager = self.server = None

    def _start_screen(self, width, height):
        """Starts Xvfb and openbox; None once openbox has the screen, else what went wrong."""
        read_end, write_end = os.pipe()
        # -displayfd: the server picks a free display number and writes it to us.
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as reader:
            while not number.endswith(b"\n"):
                chunk = reader.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            return "Xvfb did not start"
        self.display = ":" + number.decode().strip()
        # The program remembers the dialog's values in the user's configuration folder: keep
        # that inside the desktop's folder, never in the real user's.
        self.config_home = os.path.join(self.workdir, "config-home")
        # Chat logs, too, stay in the desktop's folder.
        self.data_home = os.path.join(self.workdir, "data-home")
        self.env = dict(os.environ, DISPLAY=self.display, XDG_CONFIG_HOME=self.config_home,
                        XDG_DATA_HOME=self.data_home)
        self.env.pop("XAUTHORITY", None)
        self.wm_log_path = os.path.join(self.workdir, "openbox.log")
        with open(self.wm_log_path, "w") as wm_log:
            self.window_manager = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                                   stdout=wm_log, stderr=subprocess.STDOUT)
        # openbox is ready once it has claimed the screen; without it no window gets the focus.
        if not wait_until(lambda: self._root_has_wm(), timeout=20):
            state = "running" if self.window_manager.poll() is None else \
                "exited %s" % self.window_manager.returncode
            with open(self.wm_log_path, errors="replace") as f:
                log = f.read()[-2000:]
            return "openbox did not take the screen within 20 s (%s): %s" % (state, log)
        return None

    def _root_has_wm(self):
        probe = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                               capture_output=True, text=True)
        return "window id" in probe.stdout

    # -- programs ---------------------------------------------------------------
    def start(self, argv, cwd, extra_env=None):
        """Starts argv in cwd; extra_env adds variables, and removes those given as None."""
        env = dict(self.env)
        for name, value in (extra_env or {}).items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        program = Program(self, argv, cwd, env)
        self.programs.append(program)
        return program

    # -- xdotool ------------------------------------------------------------------
    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                                capture_output=True, text=True, timeout=20)
        if check and result.returncode != 0:
            return ""
        return result.stdout.strip()

    def find_windows(self, title, visible=True, pid=None):
        args = ["search"]
        if visible:
            args.append("--onlyvisible")
        if pid is not None:
            args += ["--pid", pid]
        args += ["--name", title.pattern if hasattr(title, "pattern") else "^%s$" % re.escape(title)]
        out = self.xdotool(*args, check=False)
        return [int(w) for w in out.split()] if out else []

    def wait_window(self, title, timeout=10.0, visible=True):
        found = wait_until(lambda: self.find_windows(title, visible), timeout)
        return found[0] if found else None

    def active_window_name(self):
        return self.xdotool("getactivewindow", "getwindowname", check=False)

    def wait_active(self, title, timeout=10.0):
        return wait_until(lambda: title_matches(title, self.active_window_name()), timeout)

    def geometry(self, window):
        """(x, y, width, height) of a window's client area on the screen."""
        # xwininfo, not "xdotool getwindowgeometry": under openbox the latter puts the
        # window a title bar's height too low.
        out = subprocess.run(["xwininfo", "-id", str(window)], env=self.env, capture_output=True,
                             text=True, timeout=20).stdout
        values = {}
        for line in out.splitlines():
            name, _, value = line.strip().partition(":")
            values[name] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def key(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    def key_down(self, key):
        self.xdotool("keydown", key)

    def key_up(self, key):
        self.xdotool("keyup", key)

    def hold_key(self, key, until, timeout=10.0):
        """Holds key down until until() returns a true value (or timeout seconds pass), then
        lets it go; returns that value. The program polls the keyboard once per frame, so a
        press shorter than a frame, as under load, could go unseen; a held key cannot."""
        self.key_down(key)
        try:
            return wait_until(until, timeout, step=0.02)
        finally:
            self.key_up(key)

    def leave_with_escape(self, gone, timeout=10.0):
        """Escape until gone() holds: while the input line has the keyboard the first Escape
        only gives it back to the view (walking); in a channel the next one only warns, and a
        second within 3 s leaves (elsewhere one is enough). Each press is held until gone()
        holds or a moment has passed, as a pass under load could miss a short press."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.hold_key("Escape", gone, 0.4):
                return True
            time.sleep(0.1)
        return gone()

    def press_for(self, key, seconds=0.2):
        """Holds a key for a fixed time: long enough for a pass of the main loop to see it,
        or as long as a walk should last."""
        self.key_down(key)
        try:
            time.sleep(seconds)
        finally:
            self.key_up(key)

    def type(self, text):
        # A program built with a sanitizer takes each key far slower: the runs with one ask for
        # a longer gap between keys (E2E_TYPE_DELAY_MS).
        self.xdotool("type", "--delay", os.environ.get("E2E_TYPE_DELAY_MS", "20"), text)

    def click(self, window, x, y, button=1):
        """Clicks at (x, y) in the window's client coordinates."""
        self.xdotool("mousemove", "--window", window, x, y, "click", button)

    def minimize(self, window):
        self.xdotool("windowminimize", window)

    def clipboard(self):
        """The clipboard's text as its owner gives it (xclip asks the X server for it)."""
        result = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env,
                                capture_output=True, text=True, timeout=20)
        return result.stdout if result.returncode == 0 else None

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        return path

    # -- teardown -------------------------------------------------------------------
    def close(self):
        for program in self.programs:
            program.stop()
        _kill(self.window_manager)
        _kill(getattr(self, "server", None))
        shutil.rmtree(self.workdir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


def crop_pixels(png_path, x, y, width, height):
    """Pixels of a screen region as a list of (r, g, b), through ImageMagick."""
    out = subprocess.run(["convert", png_path, "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                          "+repage", "-depth", "8", "rgb:-"], capture_output=True, check=True,
                         timeout=30).stdout
    return [tuple(out[i:i + 3]) for i in range(0, len(out) - 2, 3)]
