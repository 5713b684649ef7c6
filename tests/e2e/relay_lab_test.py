"""Two qivra-peers behind symmetric-NAT routers (a random port for every destination), so no
hello ever gets through: within 40 s of the join each shows the other through the IRC server,
a 2 s walk is seen and ends within 0.5 units of where the walker stopped, chat flows meanwhile.

usage: /usr/bin/python3 relay_lab_test.py PEER_BINARY [--server ngircd|inspircd] [--verbose]
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


def start_peer(lab, binary, client, nick):
    argv = [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick, "--channel", "#relay",
            "--bind", client.address, "--packets", "10", "--router", "off"]
    return lab.spawn_timed(client, argv, env={"QIVRA_NO_LINK_MS": str(NO_LINK_MS)}, name=nick)


def xz(line):
    m = POSITION.search(line)
    return float(m.group(1)), float(m.group(2))


def scenario(args):
    with RouterLab("rly") as lab:
        (lab.start_inspircd if args.server == "inspircd" else lab.start_ngircd)()
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
        except AssertionError:
            for p in (alice, bob) if args.verbose else ():
                print("--- %s\n" % p.name + "\n".join("  %7.2f %s" % (t - joined, line) for t, line in p.timed_lines()))
                print("\n".join("  (stderr) " + line for line in p.errors[-30:]))
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
