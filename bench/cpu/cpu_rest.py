"""How much processor time the program takes with nothing happening: in the room with the
keyboard, unfocused behind another window, and iconified, beside an idle qivra-peer in the same
channel; and, for comparison, unfocused while that member turns on the spot in view (the room
is drawn then). Reads /proc/PID/stat of each process (and of the X server) over the same span.

usage: sudo /usr/bin/python3 bench/cpu/cpu_rest.py [SECONDS]      (default 10 per state)
Builds nothing: it runs build/qivra and build/qivra-peer of the source tree (or QIVRA_PROGRAM,
QIVRA_PEER) on a private Xvfb desktop, connected to ngircd in private network namespaces.
"""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
from roomlab import Room, MAIN_TITLE  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """utime + stime of a process (all its threads), in seconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def measure(pids, seconds):
    """Share of one core each process used over the same span, in percent."""
    before = {name: cpu_seconds(pid) for name, pid in pids.items()}
    started = time.monotonic()
    time.sleep(seconds)
    span = time.monotonic() - started
    return {name: 100.0 * (cpu_seconds(pid) - before[name]) / span for name, pid in pids.items()}


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
    with Room() as room:
        viewer = room.connect_viewer()
        peer = room.add_peer("idler")
        peer.wait_for(r"^presence active viewer$", 20)
        peer.send("/pos 0 -2 180 180 0")  # in view, two units ahead
        room.click_view()
        time.sleep(2)  # let the join and the handshake settle
        pids = {"qivra": viewer.pid, "Xvfb": room.desktop.server.pid, "qivra-peer": peer.pid}
        rows = []
        rows.append(("in the room, focused", measure(pids, seconds)))

        other = subprocess.Popen(["xlogo", "-geometry", "200x200+700+500"], env=room.desktop.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            logo = room.desktop.wait_window("xlogo", timeout=10)
            room.desktop.xdotool("windowactivate", "--sync", logo)
            if not room.desktop.wait_active("xlogo"):
                raise SystemExit("another window did not take the focus")
            time.sleep(1)
            rows.append(("unfocused (another window active)", measure(pids, seconds)))
            mark = peer.mark()
            peer.send("/walk left %.1f" % (seconds + 2))
            peer.wait_for(r"^walk started$", 5, since=mark)
            time.sleep(0.5)
            rows.append(("unfocused, a member turning in view", measure(pids, seconds)))
            peer.wait_for(r"^walk done$", seconds + 10, since=mark)
            time.sleep(1)
            room.desktop.minimize(room.window)
            time.sleep(1)
            state = room.desktop.find_windows(MAIN_TITLE)
            if state:
                raise SystemExit("the window did not iconify")
            rows.append(("iconified", measure(pids, seconds)))
        finally:
            other.terminate()
            other.wait(5)

    print("processor time as a share of one core, %.0f s per state (load average %s)"
          % (seconds, open("/proc/loadavg").read().split()[0]))
    print("%-36s %8s %8s %12s" % ("state", "qivra", "Xvfb", "qivra-peer"))
    for name, use in rows:
        print("%-36s %7.1f%% %7.1f%% %11.1f%%" % (name, use["qivra"], use["Xvfb"], use["qivra-peer"]))


if __name__ == "__main__":
    main()
