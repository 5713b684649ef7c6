"""Minutes of walking shown only through the IRC server, on a server's default flood limits.

usage: sudo /usr/bin/python3 bench/relay/relay_soak.py [--server ngircd|inspircd|both]
                                                        [--seconds 300] [--peer build/qivra-peer]

Two qivra-peers behind their own symmetric-NAT routers (no direct link can ever form) walk
7 s of every 10 (forward, turn, back, turn, sideways), and each says a chat line every 10 s. Prints per server: when
each was shown through the server, the relayed moves each took, the chat lines' delays
(median and largest), whether the server dropped either for flooding, and how far the last
relayed position lies from where the walker stopped. Not part of ctest: it runs for minutes.
"""

import argparse
import os
import re
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
from routerlab import RouterLab  # noqa: E402

POSITION = re.compile(r"x=(-?[\d.]+) z=(-?[\d.]+)")
DROPPED = re.compile(r"flood|Excess|Closing Link|Connection to .* lost|ERROR|has quit", re.IGNORECASE)
WALK = "/walk forward 2 left 0.5 back 2 right 0.5 straferight 1 strafeleft 1"


def start_peer(lab, binary, client, nick):
    argv = [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick, "--channel", "#soak",
            "--bind", client.address, "--packets", "10", "--router", "off"]
    return lab.spawn_timed(client, argv, name=nick)


def said_delays(speaker, listener, said):
    """Seconds from each line said to its arrival at the listener (None: never arrived)."""
    arrived = {}
    for when, line in listener.timed_lines():
        m = re.match(r"^<%s> (soak \d+)$" % speaker.name, line)
        if m:
            arrived[m.group(1)] = when
    return [arrived[text] - when if text in arrived else None for text, when in said]


def soak(server, binary, seconds):
    with RouterLab("soak") as lab:
        if server == "inspircd":
            lab.start_inspircd()  # the default connect class: its flood control stays on
        else:
            lab.start_ngircd()
        peers = []
        for nick in ("alice", "bob"):
            router = lab.add_router(symmetric=True)
            peers.append(start_peer(lab, binary, lab.add_lan_client(router), nick))
            peers[-1].wait_for(r"^Connected\.$", 10)
        alice, bob = peers
        joined = time.monotonic()
        bob.wait_for(r"^presence relayed alice$", 60)
        alice.wait_for(r"^presence relayed bob$", 60)
        shown = time.monotonic() - joined
        said = {p.name: [] for p in peers}
        start = time.monotonic()
        count, walking = 0, {p.name: 0 for p in peers}
        while time.monotonic() - start < seconds:
            for p in peers:
                if walking[p.name] == 0 or p.has_line(r"^walk done$", walking[p.name]):
                    walking[p.name] = p.mark()
                    p.send(WALK)
            count += 1
            for p in peers:
                text = "soak %d" % count
                said[p.name].append((text, time.monotonic()))
                p.send(text)
            time.sleep(10)
        for p in peers:  # the last walk ends, then both stand
            p.wait_for(r"^walk done$", 15, since=walking[p.name])
        time.sleep(8)
        result = {"shown": shown}
        for p, other in ((alice, bob), (bob, alice)):
            mark = p.mark()
            p.send("/where")
            m = POSITION.search(p.wait_for(r"^own position ", 3, since=mark))
            stop = (float(m.group(1)), float(m.group(2)))
            seen = None
            for line in other.lines:
                if line.startswith("presence position %s " % p.name):
                    n = POSITION.search(line)
                    seen = (float(n.group(1)), float(n.group(2)))
            gap = None if seen is None else ((seen[0] - stop[0]) ** 2 + (seen[1] - stop[1]) ** 2) ** 0.5
            delays = said_delays(p, other, said[p.name])
            got = [d for d in delays if d is not None]
            dropped = [line for line in other.lines + other.errors if DROPPED.search(line)
                       and "[console] -server-" not in line]
            result[p.name] = {
                "moves": sum(1 for line in other.lines if line.startswith("presence position %s " % p.name)),
                "chat": "%d of %d arrived, median %.2f s, largest %.2f s"
                        % (len(got), len(delays), statistics.median(got) if got else -1, max(got) if got else -1),
                "gap": gap,
                "dropped": dropped[:3],
                "running": other.running(),
            }
        return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", choices=["ngircd", "inspircd", "both"], default="both")
    parser.add_argument("--seconds", type=float, default=300)
    parser.add_argument("--peer", default=os.path.join(HERE, "..", "..", "build", "qivra-peer"))
    args = parser.parse_args()
    failed = False
    for server in (["ngircd", "inspircd"] if args.server == "both" else [args.server]):
        r = soak(server, os.path.abspath(args.peer), args.seconds)
        print("%s: both shown through the server %.1f s after the join" % (server, r["shown"]))
        for nick in ("alice", "bob"):
            s = r[nick]
            print("  %s's moves taken by the other: %d; chat: %s; last position %s from where %s stopped; "
                  "dropped for flooding: %s" % (nick, s["moves"], s["chat"],
                                                 "missing" if s["gap"] is None else "%.3f" % s["gap"], nick,
                                                 s["dropped"] or "no"))
            failed = failed or s["dropped"] or s["gap"] is None or s["gap"] > 0.5 or not s["running"]
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
