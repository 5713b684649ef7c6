"""Floods and forgeries against a qivra-peer while a channel member walks, three namespaces on
ngircd's bridge: the observer, the walking member and a third that floods, in no channel.

stranger  10,000 datagrams a second from the third namespace's own addresses: the observer
          still applies (nearly) every position the member sends.
forger    once the two seal their datagrams: 10,000 a second with the member's exact address
          and port (a raw socket writes the IP header), plain positions and sealed ones with the
          member's pair id and a wrong tag, the observer still applying at least 95% of the
          member's positions and none of the forged ones; then a plain position forged from the
          member's address and a sealed one of the member's replayed (caught on the observer's
          wire) are both dropped.

usage: /usr/bin/python3 flood_test.py PEER_BINARY [stranger|forger]
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
SEALED = 33  # a sealed datagram's header and tag

# Sends RATE datagrams a second to HOST:6669 for SECONDS, in bursts every 5 ms. Without a FROM
# address: position datagrams of a stranger with ever other values, from ever other source
# ports. With FROM (address:port): raw IP packets that claim to come from it, every other one
# a plain position and every other one SEALED (hex) with a byte of its tag changed.
FLOODER = r"""
import random, socket, struct, sys, time
host, rate, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
source = sys.argv[4] if len(sys.argv) > 4 else ""
sealed = bytes.fromhex(sys.argv[5]) if len(sys.argv) > 5 else b""
def position():
    return b"d" + struct.pack("<5f", random.uniform(20, 30), random.uniform(20, 30), 0, 0, 0) + b"#flood"
if source:
    raw = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)
    address, port = source.split(":")
    src, dst = socket.inet_aton(address), socket.inet_aton(host)
    def send(data):
        udp = struct.pack("!HHHH", int(port), 6669, 8 + len(data), 0) + data
        raw.sendto(struct.pack("!BBHHHBBH4s4s", 0x45, 0, 0, 0, 0, 64, 17, 0, src, dst) + udp, (host, 0))
    def forged(n):
        if n % 2 == 0 or not sealed:
            return position()
        tag = bytearray(sealed)
        tag[-1 - n % 16] ^= 1 + n % 255
        return bytes(tag)
else:
    sockets = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(8)]
    def send(data):
        sockets[send.n % len(sockets)].sendto(data, (host, 6669))
        send.n += 1
    send.n = 0
    def forged(n):
        return position()
start = time.monotonic()
sent = 0
while time.monotonic() - start < seconds:
    due = int((time.monotonic() - start) * rate)
    while sent < due:
        send(forged(sent))
        sent += 1
    time.sleep(0.005)
print("flooded %d in %.1f s" % (sent, time.monotonic() - start), flush=True)
"""

# Sends the datagram DATA (hex) COUNT times to HOST:6669 as raw IP packets claiming to come from
# FROM (address:port).
SPOOFER = r"""
import socket, struct, sys
host, source, data, count = sys.argv[1], sys.argv[2], bytes.fromhex(sys.argv[3]), int(sys.argv[4])
address, port = source.split(":")
raw = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)
udp = struct.pack("!HHHH", int(port), 6669, 8 + len(data), 0) + data
header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 0, 0, 0, 64, 17, 0, socket.inet_aton(address), socket.inet_aton(host))
for _ in range(count):
    raw.sendto(header + udp, (host, 0))
print("sent %d" % count, flush=True)
"""

# Prints the UDP payload (hex) of each datagram on eth0 from FROM to port 6669 that begins with
# KIND and is LENGTH bytes long.
SNIFFER = r"""
import socket, sys
source, kind, length = socket.inet_aton(sys.argv[1]), sys.argv[2].encode(), int(sys.argv[3])
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.ntohs(0x0800))
s.bind(("eth0", 0))
print("listening", flush=True)
while True:
    frame = s.recv(65535)
    ip = frame[14:]
    if ip[9] != 17 or ip[12:16] != source:
        continue
    udp = ip[(ip[0] & 15) * 4:]
    payload = udp[8:]
    if udp[2:4] == (6669).to_bytes(2, "big") and payload[:1] == kind and len(payload) == length:
        print(payload.hex(), flush=True)
"""


def check(condition, text):
    if not condition:
        raise AssertionError(text)


def peer(lab, binary, client, nick):
    argv = [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick,
            "--channel", "#flood", "--bind", client.address, "--packets", "10"]
    return lab.spawn(client, argv, name=nick)


def count_rules(ns, observer_address):
    """Rules that count the member's position datagrams to the observer: 21 bytes of UDP data,
    the room's name ("#flood") and, once sealed, SEALED more."""
    for length in (55, 55 + SEALED):
        subprocess.run(["ip", "netns", "exec", ns, "iptables", "-A", "OUTPUT", "-p", "udp", "-d", observer_address,
                        "--dport", "6669", "-m", "length", "--length", str(length)], check=True)


def positions_sent(ns, observer_address):
    out = subprocess.run(["ip", "netns", "exec", ns, "iptables", "-L", "OUTPUT", "-v", "-x", "-n"],
                         capture_output=True, text=True, check=True).stdout
    counts = [int(line.split()[0]) for line in out.splitlines()
              if observer_address in line and re.search(r"length (55|%d)\b" % (55 + SEALED), line)]
    check(len(counts) == 2, "no counting rules in the member's namespace:\n" + out)
    return sum(counts)


def walk_under_flood(lab, args, observer, walker, watch_ns, walk_ns, flood_ns, source="", sealed=""):
    """The member turns on the spot while the flood runs: every position of its the observer
    applied from the flood's start on."""
    before = observer.mark()
    argv = ["/usr/bin/python3", "-c", FLOODER, watch_ns.address, str(FLOOD_RATE), str(WALK_SECONDS + 2)]
    flooder = lab.spawn(flood_ns, argv + ([source, sealed] if source else []), name="flooder")
    time.sleep(1)  # the flood is under way before the walk begins
    mark = observer.mark()
    sent_before = positions_sent(walk_ns.ns, watch_ns.address)
    walker.send("/walk left %d" % WALK_SECONDS)  # turning on the spot: a position every 100 ms
    walker.wait_for(r"^walk done$", WALK_SECONDS + 10)
    sent = positions_sent(walk_ns.ns, watch_ns.address) - sent_before
    line = flooder.wait_for(r"^flooded \d+", 15)
    flooded, seconds = int(line.split()[1]), float(line.split()[3])
    check(flooded >= 0.9 * FLOOD_RATE * seconds, "the flood fell short: %s" % line)
    limit = time.monotonic() + 3  # the last position may still be on its way
    pattern = re.compile(r"^presence position walker ")
    while True:
        applied = [text for text in observer.lines[mark:] if pattern.match(text)]
        if len(applied) >= sent or time.monotonic() > limit:
            break
        time.sleep(0.1)
    print("member sent %d positions, the observer applied %d (%.0f%%) under %d datagrams a second%s"
          % (sent, len(applied), 100.0 * len(applied) / max(sent, 1), FLOOD_RATE,
             " with the member's address" if source else ""))
    check(sent >= 10 * WALK_SECONDS * 0.8, "the member sent only %d positions" % sent)
    check(len(applied) >= 0.95 * sent, "the observer applied %d of %d positions" % (len(applied), sent))
    check(len(applied) <= sent, "more positions applied (%d) than the member sent (%d)" % (len(applied), sent))
    check(observer.running(), "the observer ended under the flood")
    return [text for text in observer.lines[before:] if pattern.match(text)]


def forgeries(lab, observer, walker, watch_ns, walk_ns, flood_ns):
    """A sealed position of the member's caught on the wire; a replay of it and a plain position
    with the member's address and port are both dropped."""
    sniffer = lab.spawn(watch_ns, ["/usr/bin/python3", "-c", SNIFFER, walk_ns.address, "e", str(21 + 6 + SEALED)],
                        name="sniffer")
    sniffer.wait_for(r"^listening$", 5)
    mark = sniffer.mark()
    walker.send("/pos 1.5 2.5 0 0 0")
    caught = sniffer.wait_for(r"^[0-9a-f]+$", 5, since=mark)
    observer.wait_for(r"^presence position walker x=1\.500 z=2\.500 ", 5)
    walker.send("/pos 3 3 0 0 0")
    observer.wait_for(r"^presence position walker x=3\.000 z=3\.000 ", 5)
    mark = observer.mark()
    plain = "64" + "0000e040" * 2 + "00" * 12 + "23666c6f6f64"  # "d", x = z = 7.0, "#flood"
    for payload in (caught, plain):
        lab.spawn(flood_ns, ["/usr/bin/python3", "-c", SPOOFER, watch_ns.address, "%s:6669" % walk_ns.address,
                             payload, "3"], name="forger").wait_for(r"^sent 3$", 5)
    time.sleep(1)
    walker.send("/pos 4 4 0 0 0")
    observer.wait_for(r"^presence position walker x=4\.000 z=4\.000 ", 5, since=mark)
    taken = [line for line in observer.lines[mark:] if line.startswith("presence position walker ")]
    check(taken == [l for l in taken if "x=4.000" in l], "a forged or replayed position was applied: %s" % taken)
    print("a replayed sealed position and a plain one from the member's own address: dropped")


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
        count_rules(walk_ns.ns, watch_ns.address)
        if args.scenario == "stranger":
            walk_under_flood(lab, args, observer, walker, watch_ns, walk_ns, flood_ns)
            return
        observer.wait_for(r"^presence sealed walker$", 15)
        walker.wait_for(r"^presence sealed watcher$", 15)
        # A sealed datagram of the member's, for the forgeries to carry its pair id.
        sniffer = lab.spawn(watch_ns, ["/usr/bin/python3", "-c", SNIFFER, walk_ns.address, "e", str(11 + SEALED)],
                            name="keys")
        sniffer.wait_for(r"^listening$", 5)
        sealed = sniffer.wait_for(r"^[0-9a-f]+$", 20)  # a key block: one goes every few seconds
        sniffer.stop()
        applied = walk_under_flood(lab, args, observer, walker, watch_ns, walk_ns, flood_ns,
                                   "%s:6669" % walk_ns.address, sealed)
        check(all(" x=0.000 z=0.000 " in line for line in applied), "a forged position was applied")
        forgeries(lab, observer, walker, watch_ns, walk_ns, flood_ns)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("scenario", nargs="?", choices=["stranger", "forger"], default="stranger")
    args = parser.parse_args()
    return report_run(run, args)


if __name__ == "__main__":
    sys.exit(main())
