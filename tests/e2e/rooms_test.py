"""Each channel is its own room: ann and bob share #one and #two, old (qivra-peer as 57d0a5f
built it, one channel) is in #two. A member walks only in the room it stands in; the rooms of
its other channels keep it where it last stood, elsewhere; one presence link per pair whatever
they share; the older client sees ann move only while she stands in #two, its x and z exact.

usage: /usr/bin/python3 rooms_test.py PEER_BINARY BUILD_DIR [--older PEER_BINARY]
The older peer is built into BUILD_DIR/older-57d0a5f unless --older names one. Exit status 77
(skipped) when the git history does not hold that commit.
"""

import argparse
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from netlab import Lab, report_run  # noqa: E402
from older_build import OlderHistoryMissing, older_peer  # noqa: E402

OLDER_COMMIT = "57d0a5f"
# In a client's namespace: greets the older peer as "raw" with the newer hello, then sends it a
# position that names the room after its 21 bytes.
GREETER = """
import socket, struct, sys
old, me = sys.argv[1], sys.argv[2]
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((me, 6669))
s.settimeout(0.5)


def answered():  # old's hello reply
    try:
        while True:
            data, source = s.recvfrom(64)
            if data[:1] == b"C" and source == (old, 6669):
                return True
    except socket.timeout:
        return False


if any(s.sendto(b"craw\\0rooms", (old, 6669)) and answered() for attempt in range(20)):
    s.sendto(b"d" + struct.pack("<5f", 3.25, -1.75, 45, 45, 10) + b"#two", (old, 6669))
    print("sent", flush=True)
else:
    print("old never answered the hello", flush=True)
"""
MEMBER = re.compile(r"^member (\S+) (?:here|elsewhere (\S+)) x=(\S+) z=(\S+) serial=(\d+) reach=(\w+) look=(\d+) typing=([01])$")


def check(condition, text):
    if not condition:
        raise AssertionError(text)


def start_peer(lab, binary, nick, channel):
    client = lab.add_client()
    return lab.spawn(client, [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick,
                              "--channel", channel, "--bind", client.address, "--pace", "0"], name=nick)


def spot(peer):
    """Where the peer stands, as its own lines print it: "x=X z=Z"."""
    mark = peer.mark()
    peer.send("/where")
    return re.search(r"x=\S+ z=\S+", peer.wait_for(r"^own position ", 5, since=mark)).group(0)


def members(peer):
    """The room the peer stands in and {nick: (where, "x=X z=Z", serial)}, where is "here" or
    the room the member stands in."""
    mark = peer.mark()
    peer.send("/members")
    room, count = peer.wait_for(r"^members \S+ \d+$", 5, since=mark).split()[1:]
    found, deadline = {}, time.monotonic() + 5
    while len(found) < int(count):  # the link thread's lines may come between them
        check(time.monotonic() < deadline, "%s printed %d of %s members" % (peer.name, len(found), count))
        time.sleep(0.01)
        for m in filter(None, map(MEMBER.match, peer.lines[mark:])):
            found[m.group(1)] = (m.group(2) or "here", "x=%s z=%s" % m.group(3, 4), int(m.group(5)))
    return room, found


def wait_view(peer, room, nick=None, where=None, at=None, serial=0, timeout=5):
    """Asks until the peer stands in room and shows nick (if any) there as where, at "x=X z=Z",
    its serial at least serial; returns the serial."""
    deadline = time.monotonic() + timeout
    while True:
        shown = members(peer)
        member = shown[1].get(nick)
        if shown[0] == room and (not nick or (member and member[:2] == (where, at) and member[2] >= serial)):
            return member and member[2]
        check(time.monotonic() < deadline, "%s: expected %s %s at %s (serial %d or more) in %s, shown %r"
              % (peer.name, nick, where, at, serial, room, shown))
        time.sleep(0.1)


def walk(peer, steps):
    mark = peer.mark()
    peer.send("/walk " + steps)
    peer.wait_for(r"^walk done$", 5, since=mark)
    return spot(peer)


def run(args, older):
    with Lab("room") as lab:
        lab.start_ngircd()
        ann, bob = start_peer(lab, args.peer, "ann", "#one"), start_peer(lab, args.peer, "bob", "#one")
        ann.wait_for(r"^presence active bob$", 10)
        bob.wait_for(r"^presence active ann$", 10)
        ann.send("/pos 1.5 2.5 30 30 0")
        in_one = spot(ann)
        wait_view(bob, "#one", "ann", "here", in_one)
        for peer in (ann, bob):
            peer.send("/join #two")
            wait_view(peer, "#two")
        old, old_ns = start_peer(lab, older, "old", "#two"), lab.clients[-1]
        for peer, other in ((ann, "old"), (bob, "old"), (old, "ann"), (old, "bob")):
            peer.wait_for(r"^presence active %s$" % other, 10)

        # ann walks in #two: bob standing there sees it, and so does old, x and z as she has them.
        mark = old.mark()
        in_two = walk(ann, "forward 0.4 left 0.3")
        old.wait_for(r"^presence key ann 1 held$", 5, since=mark)
        old.wait_for(r"^presence position ann %s " % in_two, 5, since=mark)
        wait_view(bob, "#two", "ann", "here", in_two)

        # bob stands in #one: ann is elsewhere there, where she stood, while she walks on in #two.
        bob.send("/room #one")
        serial = wait_view(bob, "#one", "ann", "#two", in_one)
        mark, mark_old = bob.mark(), old.mark()
        in_two = walk(ann, "back 0.4")
        bob.wait_for(r"^presence position ann %s " % in_two, 5, since=mark)
        moves = sum(1 for line in bob.lines[mark:] if line.startswith("presence position ann "))
        serial = wait_view(bob, "#one", "ann", "#two", in_one, serial + moves)
        old.wait_for(r"^presence position ann %s " % in_two, 5, since=mark_old)

        # ann comes back to #one where she stood, and walks there: bob sees it, old nothing.
        mark = old.mark()
        ann.send("/room #one")
        wait_view(bob, "#one", "ann", "here", in_one, serial + 1)
        check(spot(ann) == in_one, "ann did not stand where she left #one")
        in_one = walk(ann, "forward 0.4 right 0.2")
        wait_view(bob, "#one", "ann", "here", in_one)

        # Back in #two she stands where she left it: old's next position of hers is that one.
        ann.send("/room #two")
        back = old.wait_for(r"^presence position ann %s " % in_two, 5, since=mark)
        between = old.lines[mark:old.lines.index(back, mark)]
        moved = [line for line in between if re.match(r"presence (position|key) ann ", line)]
        check(not moved, "old saw ann move while she stood in #one: %s" % moved)
        blocks = [line for line in between if line.startswith("presence keys ann ")]
        check(blocks and all(line == "presence keys ann" + " 0" * 10 for line in blocks),
              "old saw ann's keys held while she stood in #one: %s" % blocks)
        wait_view(bob, "#one", "ann", "#two", in_one)

        # A position naming its room reads right in the older build: x, z and the angles.
        raw_ns = lab.add_client()
        raw = lab.spawn(raw_ns, ["/usr/bin/python3", os.path.join(HERE, "raw_irc_watch.py"), lab.server_address,
                                 "6667", "raw"], name="raw")
        raw.wait_for(r" 00[14] raw ", 5)
        raw.send("JOIN #two")
        old.wait_for(r"^raw has joined the channel$", 5)
        lab.spawn(raw_ns, ["/usr/bin/python3", "-c", GREETER, old_ns.address, raw_ns.address],
                  name="greeter").wait_for(r"^sent$", 15)
        old.wait_for(r"^presence position raw x=3\.250 z=-1\.750 yaw=45\.000 heading=45\.000 pitch=10\.000$", 5)

        # bob leaves #two and stays in #one: the link stays, his moves still reach ann.
        mark = ann.mark()
        bob.send("/part #two")
        ann.wait_for(r"^bob has left the channel$", 5, since=mark)
        bob.send("/pos -2 3 0 0 0")
        ann.wait_for(r"^presence position bob x=-2\.000 z=3\.000 ", 5, since=mark)
        for peer, other in ((ann, "bob"), (bob, "ann"), (ann, "old"), (old, "ann")):
            links = peer.lines.count("presence active %s" % other)
            check(links == 1, "%s linked with %s %d times, expected once" % (peer.name, other, links))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("build_dir")
    parser.add_argument("--older", help="a qivra-peer built from %s already" % OLDER_COMMIT)
    args = parser.parse_args()
    try:
        older = args.older or older_peer(OLDER_COMMIT, args.build_dir)
    except OlderHistoryMissing as missing:
        print("SKIPPED: no older build to test with: %s" % missing)
        return 77
    return report_run(run, args, older)


if __name__ == "__main__":
    sys.exit(main())
