"""The window's frame rate and processor time with the channel's other 199 members walking in
view, beside the same room with none of them, in one run: first the room alone, then with the
crowd, then alone again once the crowd has quit. In the room alone one member turns on the spot
behind the user, out of view, so that frames keep coming as they do with the crowd (it leaves
while the crowd is there: a room holds 199 other members).

The user stands near the south wall looking north over the room (QIVRA_ARRIVAL); the crowd walks
on four circles round the middle, of radius 1 to --radius (2.5 keeps all of them in view; the
crowd's default, 4, leaves some out of it and brings some near enough to be drawn whole). Frames
are counted by the program itself (QIVRA_FRAME_STDERR), processor time read from /proc/PID/stat
of the program (all its threads) and of the X server over the same span.

usage: sudo /usr/bin/python3 bench/cpu/crowd_window.py [--members 199] [--seconds 10] [--radius 2.5]
           [--turner-stays]
Builds nothing: it runs build/qivra, build/qivra-peer and build/qivra-crowd of the source tree
(or QIVRA_PROGRAM, QIVRA_PEER, QIVRA_CROWD) on a private Xvfb desktop, connected to ngircd in
private network namespaces; everything is stopped at the end.
"""
import argparse
import os
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
from roomlab import Room, CHANNEL, PROGRAM, SOURCE_DIR  # noqa: E402

CROWD = os.environ.get("QIVRA_CROWD", os.path.join(SOURCE_DIR, "build", "qivra-crowd"))
TICKS = os.sysconf("SC_CLK_TCK")
FRAMES = re.compile(r"^\[frames\] (\d+)$", re.M)


def cpu_seconds(pid):
    """utime + stime of a process (all its threads), in seconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def frames_shown(viewer):
    """The program's own count of the frames it has shown, as it last printed it."""
    counts = FRAMES.findall(viewer.stderr())
    return int(counts[-1]) if counts else 0


def machine_busy():
    """Processor time every core has spent busy since boot, in seconds."""
    with open("/proc/stat") as f:
        fields = [int(v) for v in f.readline().split()[1:]]
    return (sum(fields) - fields[3] - fields[4]) / TICKS  # all but idle and iowait


def measure(viewer, pids, seconds):
    """Frames a second the program showed (its own count, printed once a second), and the share
    of one core each process in pids and the whole machine used, over the same span."""
    frames_before = frames_shown(viewer)
    before = {name: cpu_seconds(pid) for name, pid in pids.items()}
    busy_before = machine_busy()
    started = time.monotonic()
    time.sleep(seconds)
    span = time.monotonic() - started
    frames = frames_shown(viewer) - frames_before
    use = {name: 100.0 * (cpu_seconds(pid) - before[name]) / span for name, pid in pids.items()}
    use["machine"] = 100.0 * (machine_busy() - busy_before) / span
    return frames / span, use


def start_crowd(room, members, seconds, radius):
    """The crowd in a namespace of its own, each member at its own address; returns it once
    every member is bound to the window."""
    lab = room.lab
    crowd_ns = lab.add_client()
    base = lab.subnet + ".%d"
    for k in range(members):
        subprocess.run(["ip", "-n", crowd_ns.ns, "addr", "add", base % (10 + k) + "/24", "dev", "eth0"], check=True)
    crowd = lab.spawn(crowd_ns, [CROWD, "--server", lab.server_address, "--port", "6667", "--channel", CHANNEL,
                                 "--first-address", base % 10, "--members", str(members), "--packets", "10",
                                 "--seconds", str(seconds), "--radius", str(radius), "--bind-limit", "120"],
                      name="crowd")
    crowd.wait_for(r"^joined %d$" % members, 120)
    crowd.wait_for(r"^all bound$", 300)
    return crowd


def add_turner(room, nick):
    """A member turning on the spot behind the user, never in view: the frames it asks for are
    the room alone."""
    turner = room.add_peer(nick)
    turner.wait_for(r"^presence active viewer$", 30)
    turner.send("/pos 0 5.9 0 0 0")
    turner.send("/walk left 600")
    turner.wait_for(r"^walk started$", 10)
    time.sleep(2)
    return turner


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--members", type=int, default=199)
    parser.add_argument("--seconds", type=float, default=10.0, help="measured in each state")
    parser.add_argument("--radius", type=float, default=2.5, help="the crowd's largest circle")
    parser.add_argument("--turner-stays", action="store_true",
                        help="the turner stays with the crowd (one member fewer): frames are then wanted on every"
                             " refresh, not only when a member's new position has come")
    args = parser.parse_args()
    crowd_size = args.members - 1 if args.turner_stays else args.members
    rows = []
    with Room() as room:
        viewer = room.connect_viewer(extra_env={"QIVRA_FRAME_STDERR": "1"}, arrival="0,5.5,0")
        pids = {"qivra": viewer.pid, "Xvfb": room.desktop.server.pid, "ngircd": room.lab.server.pid}
        # The room holds 199 other members: the turner leaves before the crowd comes.
        turner = add_turner(room, "turner")
        rows.append(("the room alone", measure(viewer, pids, args.seconds)))
        if not args.turner_stays:
            turner.send("/quit")
            time.sleep(2)
        crowd = start_crowd(room, crowd_size, args.seconds + 10, args.radius)
        time.sleep(3)  # every member reaches the window and walks
        rows.append(("%d members walking in view" % crowd_size + (", 1 turning" if args.turner_stays else ""),
                     measure(viewer, dict(pids, **{"qivra-crowd": crowd.pid}), args.seconds)))
        crowd.wait_for(r"^done \d+$", args.seconds + 60)
        time.sleep(3)  # they have quit and left the room
        if not args.turner_stays:
            add_turner(room, "turner2")
        rows.append(("the room alone again", measure(viewer, pids, args.seconds)))
        if not viewer.alive():
            raise SystemExit("the program ended; stderr:\n" + viewer.stderr()[-3000:])

    print("%s, the window at 640x480 (a 640x348 view), the crowd's largest circle %.1f, %.0f s per state"
          " (load average %s)" % (PROGRAM, args.radius, args.seconds, open("/proc/loadavg").read().split()[0]))
    names = ["qivra", "Xvfb", "ngircd", "qivra-crowd", "machine"]
    print("share of one core (the machine has %d; its figure is everything it ran, the other" % os.cpu_count())
    print("users of this shared machine too), and the program's frames a second:")
    print("%-40s %8s" % ("state", "frames") + "".join("%13s" % n for n in names))
    for name, (fps, use) in rows:
        print("%-40s %8.1f" % (name, fps) + "".join("%12.1f%%" % use[n] if n in use else "%13s" % "-" for n in names))


if __name__ == "__main__":
    main()
