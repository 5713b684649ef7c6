"""qivra-peers behind symmetric-NAT routers (a random port for every destination), so no hello
ever gets through: every member shows every other through the IRC server.

Two members (the default): within 40 s of the join each shows the other, a 2 s walk is seen and
ends within 0.5 units of where the walker stopped, chat flows meanwhile.
--members N (3 to 20): every pair shown both ways within --limit seconds of the last join; then
the first member walks 4 s and each of the (up to eight) nearest others learns of its keys
within 1 s (the median over them) and applies at least one of its positions a second meanwhile.

usage: /usr/bin/python3 relay_lab_test.py PEER_BINARY [--server ngircd|inspircd|hybrid|irc2]
       [--members N] [--limit S] [--no-link-ms MS] [--runs R] [--walk-measured-only] [--verbose]
ircd-hybrid and ircd-irc2 are unpacked (apt-get download, dpkg -x) into a temporary folder, or
taken from --unpacked DIR (which holds ircd-hybrid/ and ircd-irc2/), never installed.
"""

import argparse
import os
import re
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from netlab import report_run  # noqa: E402
from routerlab import RouterLab  # noqa: E402

SETTLE = 8.0  # s standing still after both are shown
WALK = 4.0    # s the first of several members walks
POSITION = re.compile(r"x=(-?[\d.]+) z=(-?[\d.]+)")


def start_peer(lab, args, client, nick):
    argv = [args.peer, "--server", lab.server_address, "--port", "6667", "--nick", nick, "--channel", "#relay",
            "--bind", client.address, "--packets", "10", "--router", "off"]
    env = {"QIVRA_NO_LINK_MS": str(args.no_link_ms)} if args.no_link_ms else None
    return lab.spawn_timed(client, argv, env=env, name=nick)


def start_server(lab, args):
    if args.server in ("ngircd", "inspircd"):
        return (lab.start_inspircd if args.server == "inspircd" else lab.start_ngircd)()
    import record_server_lines as servers  # the unpacked servers, as that tool runs them
    package = "ircd-hybrid" if args.server == "hybrid" else "ircd-irc2"
    tree = os.path.join(args.unpacked, package) if args.unpacked else servers.unpack(package, lab.dir)
    return (servers.start_hybrid if args.server == "hybrid" else servers.start_irc2)(lab, tree)


def xz(line):
    m = POSITION.search(line)
    return float(m.group(1)), float(m.group(2))


def first_time(proc, pattern, since=0):
    regex = re.compile(pattern)
    for when, line in proc.timed_lines(since):
        if regex.search(line):
            return when
    return None


def pair(lab, args, peers, joined):
    alice, bob = peers
    shown_limit = args.limit or 40.0
    bob.wait_for(r"^presence relayed alice$", shown_limit)
    alice.wait_for(r"^presence relayed bob$", shown_limit - (time.monotonic() - joined))
    shown = time.monotonic() - joined
    for p, other in ((alice, "bob"), (bob, "alice")):
        p.wait_for(r"\[console\] %s is shown through the server \(no direct link\)$" % other, 5, stream="stderr")
        assert not p.has_line(r"^presence active "), "%s: a direct link through symmetric NATs?" % p.name
    print("both shown through the server %.1f s after the join" % shown)

    # A 2 s walk, with chat both ways while it goes on, once the start's lines (names,
    # lookups, the announcements and details) have left the line allowance to refill.
    time.sleep(max(0.0, SETTLE - (time.monotonic() - joined - shown)))
    mark_bob, mark_alice = bob.mark(), alice.mark()
    alice.send("/walk forward 2")
    alice.wait_for(r"^walk started$", 2, since=mark_alice)
    bob.send("hello while alice walks")
    alice.send("walking and talking")
    alice.wait_for(r"^<bob> hello while alice walks$", 3, since=mark_alice)
    bob.wait_for(r"^<alice> walking and talking$", 3, since=mark_bob)
    bob.wait_for(r"^presence keys alice 0 1 ", 5, since=mark_bob)
    alice.wait_for(r"^walk done$", 5, since=mark_alice)
    where = alice.mark()
    alice.send("/where")
    stop = xz(alice.wait_for(r"^own position ", 2, since=where))
    assert abs(stop[1]) > 1.0, "alice hardly moved: %r" % (stop,)
    bob.wait_for(r"^presence keys alice 0 0 0 0 0 0 0 0 0 0$", 8, since=mark_bob)
    seen = xz([line for line in bob.lines if line.startswith("presence position alice ")][-1])
    gap = ((seen[0] - stop[0]) ** 2 + (seen[1] - stop[1]) ** 2) ** 0.5
    print("alice stopped at %.3f,%.3f; bob shows her %.3f from there" % (stop[0], stop[1], gap))
    assert gap <= 0.5, "bob shows alice %.3f units from where she stopped" % gap


def crowd(lab, args, peers, joined):
    limit = args.limit or 60.0
    names = [p.name for p in peers]
    deadline = joined + limit
    pairs = len(peers) * (len(peers) - 1) // 2

    def shown_both_ways():
        seen = {(p.name, o) for p in peers for o in names if o != p.name and p.has_line(r"^presence relayed %s$" % o)}
        return sum(1 for i, a in enumerate(names) for b in names[i + 1:] if (a, b) in seen and (b, a) in seen)

    while shown_both_ways() < pairs and time.monotonic() < deadline:
        time.sleep(0.5)
    done = shown_both_ways()
    for p in peers:
        assert not p.has_line(r"^presence active "), "%s: a direct link through symmetric NATs?" % p.name
    assert done == pairs, "%d of %d pairs shown both ways %.0f s after the last join" % (done, pairs, limit)
    shown = max(first_time(p, r"^presence relayed %s$" % o) for p in peers for o in names if o != p.name) - joined
    print("%d of %d pairs shown through the server both ways %.1f s after the last join" % (pairs, pairs, shown))

    time.sleep(SETTLE)  # the start's lines have gone; the allowance refills
    walker, others = peers[0], peers[1:]
    marks = [p.mark() for p in others]
    own = walker.mark()
    walker.send("/walk forward %g" % WALK)
    walker.wait_for(r"^walk started$", 2, since=own)
    started = first_time(walker, r"^walk started$", own)
    walker.wait_for(r"^walk done$", WALK + 5, since=own)
    ended = first_time(walker, r"^walk done$", own)
    time.sleep(2)
    delays, rates = [], []
    for p, mark in zip(others, marks):
        seen = first_time(p, r"^presence keys %s 0 1 " % walker.name, mark)
        if seen is None:
            continue  # beyond the nearest eight: it sees where the walker stands, not the walk
        delays.append(seen - started)
        moved = [when for when, line in p.timed_lines(mark)
                 if line.startswith("presence position %s " % walker.name) and started <= when <= ended + 0.5]
        # Over the walk's own length: the time between the walker's two lines, as this script
        # reads them, is that give or take a few milliseconds, and a position a second is four
        # in four seconds whichever way those milliseconds go.
        rates.append(len(moved) / WALK)
    expected = min(8, len(others))
    assert len(delays) >= expected, "the walk reached %d of the %d nearest" % (len(delays), expected)
    median = statistics.median(delays)
    print("the walk reached %d others after %s s (median %.2f); positions a second while walking: %s"
          % (len(delays), ", ".join("%.2f" % d for d in sorted(delays)), median,
             ", ".join("%.1f" % r for r in sorted(rates))))
    if args.walk_measured_only:
        return
    assert median <= 1.0, "the walk reached the others after %.2f s (median)" % median
    assert min(rates) >= 1.0, "fewer than one position a second while walking: %s" % rates


def scenario(args):
    with RouterLab("rly") as lab:
        start_server(lab, args)
        peers = []
        for i in range(args.members):
            router = lab.add_router(symmetric=True)
            nick = "alice" if args.members == 2 and i == 0 else "bob" if args.members == 2 else "m%02d" % (i + 1)
            peers.append(start_peer(lab, args, lab.add_lan_client(router), nick))
            peers[-1].wait_for(r"^Connected\.$", 30 if args.server in ("ngircd", "inspircd") else 90)
        joined = time.monotonic()
        try:
            (pair if args.members == 2 else crowd)(lab, args, peers, joined)
        except AssertionError:
            for p in peers if args.verbose else ():
                print("--- %s\n" % p.name + "\n".join("  %7.2f %s" % (t - joined, line) for t, line in p.timed_lines()
                                                     if "position" not in line))
                print("\n".join("  (stderr) " + line for line in p.errors[-30:]))
            raise


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("--server", choices=["ngircd", "inspircd", "hybrid", "irc2"], default="ngircd")
    parser.add_argument("--members", type=int, default=2)
    parser.add_argument("--limit", type=float, default=0)
    parser.add_argument("--no-link-ms", type=int, default=5000, help="0: the client's own 30 s")
    parser.add_argument("--unpacked")
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--walk-measured-only", action="store_true",
                        help="print the walk's figures without holding them to the goal")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    status = 0
    for _ in range(args.runs):
        status |= report_run(scenario, args)
    return status


if __name__ == "__main__":
    sys.exit(main())
