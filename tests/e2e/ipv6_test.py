"""qivra-peers over IPv6 in network namespaces (tests/e2e/ipv6lab.py).

usage: /usr/bin/python3 ipv6_test.py PEER_BINARY SCENARIO [--verbose]

Scenarios:
  v6only  ngircd listens on an IPv6 address alone; the clients have no IPv4 address. alice
          connects by "[literal]" and bob by a name from his namespace's hosts file, each
          behind a router whose IPv6 firewall lets in only replies; carol, on the server's
          bridge, by the bare literal. Handshakes within 10 s, walks seen both ways.
  mobile  both routers masquerade IPv4 with random ports (a symmetric NAT) and firewall IPv6;
          the server's name has both addresses: the peers connect over IPv6 and meet there
          (datagrams let in by the firewalls as replies) within 10 s, walks both ways.
  old     a client kept to IPv4 (qivra-peer --ipv6 off, as one from before IPv6) and alice, who
          reached the server over IPv6, link over IPv4: alice's answer to its address question
          names an IPv4 address beside her IPv6 one.
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from ipv6lab import DualLab  # noqa: E402
from netlab import LabTimeout, report_run  # noqa: E402
from router_lab_test import HANDSHAKE_LIMIT, dump, line_time, walk_seen  # noqa: E402

SERVER_NAME = "irc%d.test" % os.getpid()  # unique per run: the hosts file is per namespace anyway


def check(condition, text):
    if not condition:
        raise AssertionError(text)


def start_peer(lab, binary, client, nick, server, extra=()):
    argv = [binary, "--server", server, "--port", "6667", "--nick", nick, "--channel", "#six",
            "--packets", "10"] + list(extra)
    return lab.spawn_timed(client, argv, name=nick)


def linked(first, second, joined, label):
    """Both have the other active within HANDSHAKE_LIMIT of joined; walks seen both ways."""
    done = max(line_time(first, r"^presence active %s$" % second.name, 20),
               line_time(second, r"^presence active %s$" % first.name, 20))
    check(done - joined <= HANDSHAKE_LIMIT, "%s: handshake %.1f s after the join" % (label, done - joined))
    walk_seen(first, second, label)
    walk_seen(second, first, label)
    return done - joined


def v6only(lab, args, procs):
    lab.start_ngircd_on([lab.server_address6])
    ra, rb = lab.add_dual_router(ipv4=False), lab.add_dual_router(ipv4=False)
    a, b = lab.add_home_client(ra, ipv4=False), lab.add_home_client(rb, ipv4=False)
    c = lab.add_public_client(ipv4=False)
    lab.name_host(b, SERVER_NAME, [lab.server_address6])
    alice = start_peer(lab, args.peer, a, "alice", "[%s]" % lab.server_address6)
    procs.append(alice)
    alice.wait_for(r"^Connected\.$", 5)
    bob = start_peer(lab, args.peer, b, "bob", SERVER_NAME)
    carol = start_peer(lab, args.peer, c, "carol", lab.server_address6)
    procs.extend([bob, carol])
    joined = line_time(bob, r"^Connected\.$", 5)
    line_time(carol, r"^Connected\.$", 5)
    for client in (a, b, c):
        check(lab.server_link(client) == lab.server_address6, "%s's IRC link is not over IPv6" % client.ns)
    took = linked(alice, bob, joined, "two firewalls")
    linked(alice, carol, joined, "firewall and public")
    check(lab.firewall_count(ra) > 0 and lab.firewall_count(rb) > 0, "no presence datagram passed a firewall")
    return "handshake %.1f s after bob's join" % took


def mobile(lab, args, procs):
    lab.start_ngircd_on([lab.server_address, lab.server_address6])
    ra, rb = lab.add_dual_router(), lab.add_dual_router()
    a, b = lab.add_home_client(ra), lab.add_home_client(rb)
    for client in (a, b):
        lab.name_host(client, SERVER_NAME, [lab.server_address, lab.server_address6])
    alice = start_peer(lab, args.peer, a, "alice", SERVER_NAME)
    procs.append(alice)
    alice.wait_for(r"^Connected\.$", 5)
    bob = start_peer(lab, args.peer, b, "bob", SERVER_NAME)
    procs.append(bob)
    joined = line_time(bob, r"^Connected\.$", 5)
    for client in (a, b):
        check(lab.server_link(client) == lab.server_address6, "%s did not reach the server over IPv6" % client.ns)
    took = linked(alice, bob, joined, "symmetric NATs, IPv6 firewalls")
    check(lab.firewall_count(ra) > 0 and lab.firewall_count(rb) > 0,
          "the presence datagrams did not come in over IPv6 through both firewalls")
    return "handshake %.1f s after bob's join" % took


def old(lab, args, procs):
    lab.start_ngircd_on([lab.server_address, lab.server_address6])
    a = lab.add_public_client()
    c = lab.add_public_client(ipv6=False)
    lab.name_host(a, SERVER_NAME, [lab.server_address6, lab.server_address])
    alice = start_peer(lab, args.peer, a, "alice", SERVER_NAME)
    procs.append(alice)
    alice.wait_for(r"^Connected\.$", 5)
    carol = start_peer(lab, args.peer, c, "carol", lab.server_address, extra=["--ipv6", "off"])
    procs.append(carol)
    joined = line_time(carol, r"^Connected\.$", 5)
    check(lab.server_link(a) == lab.server_address6, "alice did not reach the server over IPv6")
    check(lab.server_link(c) == lab.server_address, "carol did not reach the server over IPv4")
    took = linked(alice, carol, joined, "old client")
    return "handshake %.1f s after carol's join" % took


SCENARIOS = {"v6only": v6only, "mobile": mobile, "old": old}


def run(args):
    started = time.monotonic()
    procs = []
    try:
        with DualLab("six") as lab:
            print(SCENARIOS[args.scenario](lab, args, procs))
    except (AssertionError, LabTimeout):
        if args.verbose:
            dump(procs, started)
        raise


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    return report_run(run, args)


if __name__ == "__main__":
    sys.exit(main())
