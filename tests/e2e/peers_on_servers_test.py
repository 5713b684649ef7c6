"""Two qivra-peer processes on a real IRC server in private namespaces: they register, join,
chat, complete the UDP handshake and see each other walk; optionally they are kept for a while
under frequent server PINGs.

usage: /usr/bin/python3 peers_on_servers_test.py PEER_BINARY ngircd|inspircd
           [--ping-every S --hold S] [--cloak]
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from netlab import Lab, report_run  # noqa: E402


def start_peer(lab, binary, client, nick):
    argv = [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick,
            "--channel", "#qivra", "--bind", client.address, "--packets", "10"]
    return lab.spawn(client, argv, name=nick)


def check(condition, text):
    if not condition:
        raise AssertionError(text)


def run(args):
    with Lab(args.server[:4]) as lab:
        if args.server == "ngircd":
            lab.start_ngircd(ping_timeout=args.ping_every, cloak_host="cloaked.invalid" if args.cloak else None)
        else:
            lab.start_inspircd(ping_frequency=args.ping_every)
        alice_ns, bob_ns = lab.add_client(), lab.add_client()

        started = time.monotonic()
        alice = start_peer(lab, args.peer, alice_ns, "alice")
        alice.wait_for(r"^Connected\.$", 5)
        check(time.monotonic() - started < 5, "alice registered late")
        started = time.monotonic()
        bob = start_peer(lab, args.peer, bob_ns, "bob")
        bob.wait_for(r"^Connected\.$", 5)
        check(time.monotonic() - started < 5, "bob registered late")

        # bob's JOIN reaches alice; bob learns alice from the names reply (nothing shown).
        alice.wait_for(r"^bob has joined the channel$", 5)
        alice.wait_for(r"^presence active bob$", 5)
        bob.wait_for(r"^presence active alice$", 5)

        alice.send("hello from alice")
        bob.wait_for(r"^<alice> hello from alice$", 5)
        bob.send("/me waves back")
        alice.wait_for(r"^\* bob waves back$", 5)
        bob.send("/msg alice just for you")
        alice.wait_for(r"^<bob> \[Private\] just for you$", 5)

        mark = bob.mark()
        # At the client's own rates: 5 units a second, turning 210 and looking 150 degrees.
        alice.send("/walk forward 0.4 left 0.5 lookdown 0.4")
        alice.wait_for(r"^walk done$", 5)
        bob.wait_for(r"^presence key alice 1 held$", 3, since=mark)
        bob.wait_for(r"^presence position alice x=0\.000 z=-2\.000 ", 3, since=mark)
        bob.wait_for(r"^presence key alice 1 released$", 3, since=mark)
        bob.wait_for(r"^presence key alice 3 released$", 3, since=mark)
        bob.wait_for(r"^presence position alice x=0\.000 z=-2\.000 yaw=105\.000 heading=105\.000 ", 3, since=mark)
        bob.wait_for(r"^presence key alice 8 released$", 3, since=mark)
        bob.wait_for(r"^presence position alice x=0\.000 z=-2\.000 yaw=105\.000 heading=105\.000 pitch=60\.000$",
                     3, since=mark)
        positions = sum(1 for line in bob.lines[mark:] if line.startswith("presence position alice"))
        check(9 <= positions <= 20, "expected about 15 positions at 10 a second, got %d" % positions)

        if args.hold:
            watcher = lab.spawn(lab.add_client(), ["/usr/bin/python3", os.path.join(HERE, "raw_irc_watch.py"),
                                                   lab.server_address, "6667", "watcher"], name="watcher")
            watcher.wait_for(r" 00[14] watcher ", 5)
            time.sleep(args.hold)
            pings = sum(1 for line in watcher.lines if line.split(" ")[:2].count("PING"))
            expected = args.hold // (2 * args.ping_every)
            check(pings >= expected, "the server sent %d PINGs in %d s, expected %d or more: "
                  "the hold proves nothing" % (pings, args.hold, expected))
            for peer, name in ((alice, "alice"), (bob, "bob")):
                check(peer.running(), "%s ended during the hold" % name)
            check(not any("has quit irc" in line for line in alice.lines + bob.lines),
                  "a peer lost its connection during the hold")
            mark = bob.mark()
            alice.send("still here after %d s" % args.hold)
            bob.wait_for(r"^<alice> still here after", 5, since=mark)
            mark = alice.mark()
            bob.send("me too")
            alice.wait_for(r"^<bob> me too$", 5, since=mark)

        bob.send("/quit see you")
        alice.wait_for(r"^bob has quit irc$", 5)
        bob.wait_for(r"^Disconnected\.$", 5)
        check(bob.stop() == 0, "bob did not exit cleanly")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("server", choices=["ngircd", "inspircd"])
    parser.add_argument("--ping-every", type=int, default=None)
    parser.add_argument("--hold", type=int, default=0)
    parser.add_argument("--cloak", action="store_true", help="ngircd hides hosts: addresses go over IRC")
    args = parser.parse_args()
    return report_run(run, args)


if __name__ == "__main__":
    sys.exit(main())
