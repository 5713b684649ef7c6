"""A stranger floods a qivra-peer with 10,000 datagrams a second while a channel member walks:
the peer still applies (nearly) every position the member sends. Three namespaces on ngircd's
bridge: the observer, the walking member and the flooder, which is in no channel.

usage: /usr/bin/python3 flood_test.py PEER_BINARY
"""

import argparse
import os
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from netlab import Lab, report_run  # noqa: E402

WALK_SECONDS = 8
FLOOD_RATE = 10000

# Sends FLOOD_RATE datagrams a second to HOST:6669 for SECONDS, in bursts every 10 ms: position
# datagrams of a stranger with ever other values, from ever other source ports.
FLOODER = r"""
import random, socket, struct, sys, time
host, rate, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
sockets = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(8)]
start = time.monotonic()
sent = 0
while time.monotonic() - start < seconds:
    due = int((time.monotonic() - start) * rate)
    while sent < due:
        data = b"d" + struct.pack("<5f", random.uniform(-5, 5), random.uniform(-5, 5), 0, 0, 0)
        sockets[sent % len(sockets)].sendto(data, (host, 6669))
        sent += 1
    time.sleep(0.005)
print("flooded %d in %.1f s" % (sent, time.monotonic() - start), flush=True)
"""


def check(condition, text):
    if not condition:
        raise AssertionError(text)


def peer(lab, binary, client, nick):
    argv = [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick,
            "--channel", "#flood", "--bind", client.address, "--packets", "10"]
    return lab.spawn(client, argv, name=nick)


def positions_sent(ns, observer_address):
    """The member's position datagrams to the observer so far: 21 bytes of UDP data and the
    room's name ("#flood"), 55 bytes in all."""
    out = subprocess.run(["ip", "netns", "exec", ns, "iptables", "-L", "OUTPUT", "-v", "-x", "-n"],
                         capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        if observer_address in line and "length 55" in line:
            return int(line.split()[0])
    raise AssertionError("no counting rule in the member's namespace:\n" + out)


def run(args):
    with Lab("flod") as lab:
        lab.start_ngircd()
        watch_ns, walk_ns, flood_ns = lab.add_client(), lab.add_client(), lab.add_client()
        observer = peer(lab, args.peer, watch_ns, "watcher")
        observer.wait_for(r"^Connected\.$", 10)
        walker = peer(lab, args.peer, walk_ns, "walker")
        walker.wait_for(r"^Connected\.$", 10)
        observer.wait_for(r"^presence active walker$", 15)
        walker.wait_for(r"^presence active watcher$", 15)
        subprocess.run(["ip", "netns", "exec", walk_ns.ns, "iptables", "-A", "OUTPUT", "-p", "udp", "-d",
                        watch_ns.address, "--dport", "6669", "-m", "length", "--length", "55"], check=True)

        flooder = lab.spawn(flood_ns, ["/usr/bin/python3", "-c", FLOODER, watch_ns.address, str(FLOOD_RATE),
                                       str(WALK_SECONDS + 2)], name="flooder")
        time.sleep(1)  # the flood is under way before the walk begins
        mark = observer.mark()
        sent_before = positions_sent(walk_ns.ns, watch_ns.address)
        walker.send("/walk left %d" % WALK_SECONDS)  # turning on the spot: a position every 100 ms
        walker.wait_for(r"^walk done$", WALK_SECONDS + 10)
        sent = positions_sent(walk_ns.ns, watch_ns.address) - sent_before
        line = flooder.wait_for(r"^flooded \d+", 15)
        flooded, seconds = int(line.split()[1]), float(line.split()[3])
        check(flooded >= 0.9 * FLOOD_RATE * seconds, "the flood fell short: %s" % line)
        # The last position may still be on its way.
        limit = time.monotonic() + 3
        pattern = re.compile(r"^presence position walker ")
        while True:
            applied = sum(1 for text in observer.lines[mark:] if pattern.match(text))
            if applied >= sent or time.monotonic() > limit:
                break
            time.sleep(0.1)
        print("member sent %d positions, the observer applied %d (%.0f%%) under %d datagrams a second"
              % (sent, applied, 100.0 * applied / max(sent, 1), FLOOD_RATE))
        check(sent >= 10 * WALK_SECONDS * 0.8, "the member sent only %d positions" % sent)
        check(applied >= 0.95 * sent, "the observer applied %d of %d positions" % (applied, sent))
        check(applied <= sent, "more positions applied (%d) than the member sent (%d)" % (applied, sent))
        check(observer.running(), "the observer ended under the flood")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    args = parser.parse_args()
    return report_run(run, args)


if __name__ == "__main__":
    sys.exit(main())
