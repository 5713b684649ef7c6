"""A full room on a real IRC server, measured from a qivra-peer that joins it: how fast every
member becomes active, how many of their positions the peer applies, how late, and whether its
socket drops any. The members are one qivra-crowd process; everything runs in private network
namespaces (tests/e2e/netlab.py) and is stopped at the end.

usage: sudo /usr/bin/python3 tools/crowd/crowd_lab.py [--members 199] [--packets 10]
           [--seconds 60] [--server ngircd|inspircd] [--cloak] [--join-after] [--require-all]
--cloak: the server hides every host (ngircd CloakHost, InspIRCd's cloaking module), so the
addresses go over IRC in ":Q"/":A" messages, each paced like any other line.
--join-after: the observer joins first and the crowd after it (a netsplit healing, an event
starting): times count from the moment the last member joined.
--require-all: exit with status 1 unless every member became active within --active-limit.
Uses build/qivra-peer and build/qivra-crowd of the source tree (or QIVRA_PEER, QIVRA_CROWD).
"""
import argparse
import os
import re
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from netlab import Lab  # noqa: E402

PEER = os.environ.get("QIVRA_PEER", os.path.join(SOURCE, "build", "qivra-peer"))
CROWD = os.environ.get("QIVRA_CROWD", os.path.join(SOURCE, "build", "qivra-crowd"))
CHANNEL = "#crowd"

POSITION = re.compile(r"^presence position (\S+) .* heading=([0-9.]+) ")
ACTIVE = re.compile(r"^presence active (\S+)$")


class Observer:
    """The qivra-peer that joins the full channel, its lines read with the time each arrived."""

    def __init__(self, lab, client, cloak):
        argv = ["ip", "netns", "exec", client.ns, PEER, "--server", lab.server_address, "--port", "6667",
                "--nick", "observer", "--channel", CHANNEL, "--bind", client.address, "--packets", "10"]
        self.process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, bufsize=0, start_new_session=True)
        self.lock = threading.Lock()
        self.connected_at = None
        self.active = {}        # member: when it became active
        self.applied = {}       # member: positions applied
        self.ages = []          # milliseconds from sending to applying, every position
        self.lost_link = False
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for raw in iter(self.process.stdout.readline, b""):
            now = time.monotonic()
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            with self.lock:
                match = POSITION.match(line)
                if match:
                    member = match.group(1)
                    self.applied[member] = self.applied.get(member, 0) + 1
                    sent = float(match.group(2))
                    self.ages.append((now * 1000.0 - sent) % 100000.0)
                    continue
                match = ACTIVE.match(line)
                if match:
                    self.active.setdefault(match.group(1), now)
                elif line == "Connected.":
                    self.connected_at = now
                elif " has quit irc" in line or line.startswith("Disconnected"):
                    self.lost_link = self.lost_link or line.startswith("Disconnected")

    def socket_drops(self):
        """The drops counter of the observer's UDP socket on port 6669 (its namespace's view); the
        socket takes both families, so it is listed among the IPv6 ones where the system has IPv6."""
        for table in ("udp", "udp6"):
            with open("/proc/%d/net/%s" % (self.process.pid, table)) as f:
                for line in f.readlines()[1:]:
                    fields = line.split()
                    if fields[1].endswith(":1A0D"):
                        return int(fields[-1])
        return None

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)


def median(values):
    values = sorted(values)
    return values[len(values) // 2] if values else float("nan")


def start_crowd(lab, args):
    """The crowd, once every member is in the channel, and when its first member began to connect."""
    crowd_ns = lab.add_client()
    base = lab.subnet + ".%d"
    for k in range(args.members):
        subprocess.run(["ip", "-n", crowd_ns.ns, "addr", "add", base % (10 + k) + "/24", "dev", "eth0"],
                       check=True)
    began = time.monotonic()
    crowd = lab.spawn(crowd_ns, [CROWD, "--server", lab.server_address, "--port", "6667", "--channel",
                                 CHANNEL, "--first-address", base % 10, "--members", str(args.members),
                                 "--packets", str(args.packets), "--seconds", str(args.seconds),
                                 "--bind-limit", str(args.active_limit)],
                      name="crowd")
    crowd.wait_for(r"^joined %d$" % args.members, 60)
    print("%d members in %s on %s%s" % (args.members, CHANNEL, args.server,
                                           " with hidden hosts" if args.cloak else ""), flush=True)
    return crowd, began


def run(args):
    with Lab("crwd") as lab:
        if args.server == "ngircd":
            lab.start_ngircd(cloak_host="cloaked.invalid" if args.cloak else None)
        else:
            lab.start_inspircd(cloak_hosts=args.cloak)
        observer_ns = lab.add_client()
        if args.join_after:
            observer = Observer(lab, observer_ns, args.cloak)
            try:
                limit = time.monotonic() + 10
                while observer.connected_at is None and time.monotonic() < limit:
                    time.sleep(0.05)
                time.sleep(1)  # its JOIN and the names that follow
                crowd, began = start_crowd(lab, args)
            except BaseException:
                observer.stop()
                raise
            with observer.lock:
                observer.connected_at = time.monotonic()  # times count from the last member's JOIN
            since = "the last member joined (%.1f s after the crowd began to join)" % (
                time.monotonic() - began)
        else:
            crowd, _ = start_crowd(lab, args)
            observer = Observer(lab, observer_ns, args.cloak)
            since = "the observer registered and joined"
        return measure(args, lab, crowd, observer, since)


def measure(args, lab, crowd, observer, since):
    all_active = False
    try:
        limit = time.monotonic() + args.active_limit
        while time.monotonic() < limit and observer.process.poll() is None:
            with observer.lock:
                if len(observer.active) >= args.members:
                    break
            time.sleep(0.05)
        with observer.lock:
            joined = observer.connected_at
            times = sorted(observer.active.values())
        if joined is None:
            raise SystemExit("the observer never registered")
        all_active = len(times) >= args.members
        print("active: %d of %d members, the last %.1f s after %s"
              % (len(times), args.members, (times[-1] - joined) if times else float("nan"), since), flush=True)
        for share in (0.25, 0.5, 0.75):
            if len(times) > share * args.members:
                print("  %d%% active after %.1f s" % (share * 100, times[int(share * args.members)] - joined))

        crowd.wait_for(r"^done \d+$", args.seconds + 60)
        time.sleep(1)  # the last positions on their way
        with observer.lock:
            applied = dict(observer.applied)
            ages = list(observer.ages)
            span = time.monotonic() - times[0] if times else 0
        drops = observer.socket_drops()
        sent = {m.group(1): int(m.group(2)) for m in
                (re.match(r"^sent (\S+) (\d+)$", line) for line in crowd.lines) if m}
        print("over %.0f s of walking at %s positions a second:" % (span, args.packets))
        print("  positions the members sent:  %d" % sum(sent.values()))
        print("  positions the observer applied: %d (%d not applied)"
              % (sum(applied.values()), sum(sent.values()) - sum(applied.values())))
        print("  datagrams the observer's socket dropped: %s" % drops)
        if ages:
            ordered = sorted(ages)
            print("  age of an applied position: median %.1f ms, 95%% %.1f ms, most %.1f ms"
                  % (median(ages), ordered[int(0.95 * (len(ordered) - 1))], ordered[-1]))
        print("  observer still connected: %s" % ("yes" if observer.process.poll() is None and
                                                   not observer.lost_link else "no"))
    finally:
        observer.stop()
    return all_active


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--members", type=int, default=199)
    parser.add_argument("--packets", type=float, default=10)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--server", choices=["ngircd", "inspircd"], default="ngircd")
    parser.add_argument("--cloak", action="store_true")
    parser.add_argument("--active-limit", type=float, default=60,
                        help="seconds to wait for every member to become active")
    parser.add_argument("--join-after", action="store_true", help="the crowd joins after the observer")
    parser.add_argument("--require-all", action="store_true",
                        help="status 1 unless every member became active within --active-limit")
    args = parser.parse_args()
    print("load average before: %s" % open("/proc/loadavg").read().split()[0], flush=True)
    all_active = run(args)
    print("load average after: %s" % open("/proc/loadavg").read().split()[0])
    if args.require_all and not all_active:
        sys.exit("not every member became active within %.0f s" % args.active_limit)


if __name__ == "__main__":
    main()
