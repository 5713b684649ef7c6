"""Two qivra-peers that can never reach each other directly: moves through the IRC server.

usage: /usr/bin/python3 relay_lab_test.py PEER_BINARY [--server ngircd|inspircd] [--verbose]

Each peer sits behind its own home router that masquerades with a random port for every new
destination (tests/e2e/routerlab.py, symmetric=True), ngircd on the public bridge. No hello
gets through; after the "No direct link" time (shortened by QIVRA_NO_LINK_MS) each finds the
other announcing the relay in its VERSION reply and shows it through the server: within 40 s
of the join both report "presence relayed", a 2 s walk ends on the watcher within 0.5 units of
where the walker stopped (the walk itself seen: keys held), and chat typed meanwhile arrives
within 3 s.
"""

import argparse
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from netlab import report_run  # noqa: E402
from routerlab import RouterLab  # noqa: E402

NO_LINK_MS = 5000
SHOWN_LIMIT = 40.0
SETTLE = 8.0  # s standing still after both are shown
POSITION = re.compile(r"x=(-?[\d.]+) z=(-?[\d.]+)")


def check(condition, text):
    if not condition:
        raise AssertionError(text)


def start_peer(lab, binary, client, nick):
    argv = [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick, "--channel", "#relay",
            "--bind", client.address, "--packets", "10", "--router", "off"]
    return lab.spawn_timed(client, argv, env={"QIVRA_NO_LINK_MS": str(NO_LINK_MS)}, name=nick)


def last_position(proc, nick, since):
    """x and z of the last "presence position NICK" line after since, or None."""
    found = None
    for line in proc.lines[since:]:
        if line.startswith("presence position %s " % nick):
            m = POSITION.search(line)
            found = (float(m.group(1)), float(m.group(2)))
    return found


def scenario(args):
    with RouterLab("rly") as lab:
        if args.server == "inspircd":
            lab.start_inspircd()
        else:
            lab.start_ngircd()
        r_alice, r_bob = lab.add_router(symmetric=True), lab.add_router(symmetric=True)
        alice = start_peer(lab, args.peer, lab.add_lan_client(r_alice), "alice")
        alice.wait_for(r"^Connected\.$", 5)
        bob = start_peer(lab, args.peer, lab.add_lan_client(r_bob), "bob")
        bob.wait_for(r"^Connected\.$", 5)
        joined = time.monotonic()
        try:
            bob.wait_for(r"^presence relayed alice$", SHOWN_LIMIT)
            alice.wait_for(r"^presence relayed bob$", SHOWN_LIMIT - (time.monotonic() - joined))
            shown = time.monotonic() - joined
            for p, other in ((alice, "bob"), (bob, "alice")):
                p.wait_for(r"\[console\] %s is shown through the server \(no direct link\)$" % other, 5,
                           stream="stderr")
                check(not p.has_line(r"^presence active "), "%s: a direct link through symmetric NATs?" % p.name)
            print("both shown through the server %.1f s after the join" % shown)

            # A 2 s walk, with chat both ways while it goes on, once the start's lines (names,
            # lookups, the VERSION questions and answers) have left the line allowance to refill.
            time.sleep(max(0.0, SETTLE - (time.monotonic() - joined - shown)))
            mark_bob, mark_alice = bob.mark(), alice.mark()
            alice.send("/walk forward 2")
            alice.wait_for(r"^walk started$", 2, since=mark_alice)
            said = time.monotonic()
            bob.send("hello while alice walks")
            alice.send("walking and talking")
            alice.wait_for(r"^<bob> hello while alice walks$", 3, since=mark_alice)
            bob.wait_for(r"^<alice> walking and talking$", 3, since=mark_bob)
            print("chat during the walk arrived within %.1f s" % (time.monotonic() - said))
            bob.wait_for(r"^presence keys alice 0 1 ", 5, since=mark_bob)
            alice.wait_for(r"^walk done$", 5, since=mark_alice)
            where = alice.mark()
            alice.send("/where")
            m = POSITION.search(alice.wait_for(r"^own position ", 2, since=where))
            stop = (float(m.group(1)), float(m.group(2)))
            check(abs(stop[1]) > 1.0, "alice hardly moved: %r" % (stop,))
            bob.wait_for(r"^presence keys alice 0 0 0 0 0 0 0 0 0 0$", 8, since=mark_bob)
            seen = last_position(bob, "alice", mark_bob)
            check(seen is not None, "bob saw no position of alice")
            gap = ((seen[0] - stop[0]) ** 2 + (seen[1] - stop[1]) ** 2) ** 0.5
            print("alice stopped at %.3f,%.3f; bob shows her at %.3f,%.3f (%.3f apart)"
                  % (stop[0], stop[1], seen[0], seen[1], gap))
            check(gap <= 0.5, "bob shows alice %.3f units from where she stopped" % gap)
        except AssertionError:
            if args.verbose:
                for p in (alice, bob):
                    print("--- %s" % p.name)
                    for when, line in p.timed_lines():
                        print("  %7.2f %s" % (when - joined, line))
                    for line in p.errors[-30:]:
                        print("  (stderr) %s" % line)
            raise


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("--server", choices=["ngircd", "inspircd"], default="ngircd")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    return report_run(scenario, args)


if __name__ == "__main__":
    sys.exit(main())
