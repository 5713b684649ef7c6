"""Who learns a peer's address and who can hold up its handshake, on ngircd in namespaces; and
on InspIRCd hiding every host, what an ordinary IRC user in the channel hears of QIVRA.
usage: /usr/bin/python3 presence_privacy_test.py PEER_BINARY outsider|questions|off|cloaked

cloaked: a raw IRC user waits in the channel while four members join, talk and walk (two on
the server's network, two behind routers that give every destination a port of its own, so
those two are shown through the server); the user must get no address of anyone's and at most
one message of each member's besides its chat (the announcement), and no datagram.
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
from peers_on_servers_test import check  # noqa: E402
from routerlab import RouterLab, count_input  # noqa: E402

QUESTION = "\x01VERSION\x01:Q"


def start_peer(lab, binary, client, nick, *extra):
    argv = [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick,
            "--channel", "#qivra", "--bind", client.address] + list(extra)
    peer = lab.spawn(client, argv, name=nick)
    peer.wait_for(r"^Connected\.$", 5)
    return peer


def start_raw(lab, nick, join):
    client = lab.add_client()
    raw = lab.spawn(client, ["/usr/bin/python3", os.path.join(HERE, "raw_irc_watch.py"),
                             lab.server_address, "6667", nick], name=nick)
    raw.wait_for(r" 00[14] %s " % nick, 5)
    if join:
        raw.send("JOIN #qivra")
        raw.wait_for(r" 366 %s " % nick, 5)
    return raw, client


def answers_to(raw, nick, since):
    return [line for line in raw.lines[since:] if line.startswith(":%s!" % nick) and "\x01VERSION\x01:A" in line]


def outsider(lab, args):
    alice = start_peer(lab, args.peer, lab.add_client(), "alice")
    member, member_ns = start_raw(lab, "member", join=True)
    stranger, stranger_ns = start_raw(lab, "stranger", join=False)
    mark, member_mark = stranger.mark(), member.mark()
    stranger.send("PRIVMSG alice :" + QUESTION + stranger_ns.address)
    member.send("PRIVMSG alice :" + QUESTION + member_ns.address)
    member.wait_for(r"^:alice!\S+ PRIVMSG member :\x01VERSION\x01:A", 10, since=member_mark)
    time.sleep(3)  # the stranger's answer would have come by now, it was asked first
    check(not answers_to(stranger, "alice", mark), "alice answered a user outside the channel")


def questions(lab, args):
    alice = start_peer(lab, args.peer, lab.add_client(), "alice")
    asker, asker_ns = start_raw(lab, "asker", join=True)
    alice.wait_for(r"^asker has joined the channel$", 5)
    mark = asker.mark()
    for _ in range(100):
        asker.send("PRIVMSG alice :" + QUESTION + asker_ns.address)
    asker.wait_for(r"\x01VERSION\x01:A", 10, since=mark)
    bob_ns = lab.add_client()
    joined = time.monotonic()
    bob = start_peer(lab, args.peer, bob_ns, "bob")
    alice.wait_for(r"^presence active bob$", 5)
    bob.wait_for(r"^presence active alice$", 5)
    took = time.monotonic() - joined
    answers = len(answers_to(asker, "alice", mark))
    print("after 100 questions: a newcomer's handshake in %.2f s; answers to the asker: %d" % (took, answers))
    check(took < 5, "the handshake took %.1f s" % took)
    check(answers == 1, "the asker got %d answers, expected one a minute" % answers)


def udp_sockets(ns, pid):
    out = subprocess.run(["ip", "netns", "exec", ns, "ss", "-uanp"], capture_output=True, text=True).stdout
    return [line for line in out.splitlines() if "pid=%d," % pid in line]


def off(lab, args):
    alice_ns, bob_ns = lab.add_client(), lab.add_client()
    alice = start_peer(lab, args.peer, alice_ns, "alice", "--presence", "off")
    bob = start_peer(lab, args.peer, bob_ns, "bob")
    alice.wait_for(r"^bob has joined the channel$", 5)
    check(not udp_sockets(alice_ns.ns, alice.pid), "alice has a UDP socket")
    check(udp_sockets(bob_ns.ns, bob.pid), "bob (presence on) shows no UDP socket: the check sees nothing")
    alice.send("hello from alice")
    bob.wait_for(r"^<alice> hello from alice$", 5)
    bob.send("hello from bob")
    alice.wait_for(r"^<bob> hello from bob$", 5)
    member, member_ns = start_raw(lab, "member", join=True)
    mark = member.mark()
    member.send("PRIVMSG alice :" + QUESTION + member_ns.address)
    member.send("PRIVMSG bob :" + QUESTION + member_ns.address)
    member.wait_for(r"^:bob!\S+ PRIVMSG member :\x01VERSION\x01:A", 10, since=mark)
    time.sleep(4)  # bob's hellos to alice and their rounds, and a late answer
    check(not answers_to(member, "alice", mark), "alice answered an address question with PRESENCE off")
    check(not alice.has_line(r"^presence active"), "alice took part in a handshake")
    check(not bob.has_line(r"^presence active alice$"), "bob reached alice over UDP")


def cloaked(args):
    with RouterLab("clpr") as lab:
        lab.start_inspircd_cloaked()
        plain_ns = lab.add_client()
        plain = lab.spawn(plain_ns, ["/usr/bin/python3", os.path.join(HERE, "raw_irc_watch.py"), lab.server_address,
                                     "6667", "plain"], name="plain")
        plain.wait_for(r" 00[14] plain ", 5)
        plain.send("JOIN #qivra")
        plain.wait_for(r" 366 plain ", 5)
        joined = time.monotonic()
        clients = [lab.add_client(), lab.add_client()]
        clients += [lab.add_lan_client(lab.add_router(symmetric=True)) for _ in range(2)]
        addresses = [c.address for c in clients] + [r.wan_address for r in lab.routers]
        members = []
        for i, client in enumerate(clients):
            argv = [args.peer, "--server", lab.server_address, "--port", "6667", "--nick", "m%d" % (i + 1),
                    "--channel", "#qivra", "--bind", client.address, "--router", "off"]
            members.append(lab.spawn_timed(client, argv, env={"QIVRA_NO_LINK_MS": "5000"}, name="m%d" % (i + 1)))
            members[-1].wait_for(r"^Connected\.$", 10)
        count_input(plain_ns, lab.subnet + ".0/16")
        # Every pair linked, directly or through the server: m3 and m4 only through it.
        for m in members:
            for other in members:
                if other is not m:
                    m.wait_for(r"^presence (active|relayed) %s$" % other.name, 30)
        members[2].wait_for(r"^presence relayed m4$", 5)
        for m in members:
            m.send("hello from %s" % m.name)
        members[0].send("/walk forward 2")
        members[2].send("/walk left 2")
        members[3].wait_for(r"^presence position m3 .* yaw=[1-9]", 8)  # through the server
        # The ordinary user stays while the members go on talking and walking (and asking
        # whatever their backoff asks again).
        until = time.monotonic() + args.stay
        while time.monotonic() < until:
            time.sleep(min(20, max(0, until - time.monotonic())))
            for m, walk in ((members[0], "/walk back 1"), (members[2], "/walk right 1")):
                m.send(walk)
                m.send("hello from %s" % m.name)
        heard = [line for line in plain.lines if re.match(r"^:m\d!\S+ (PRIVMSG|NOTICE) ", line)]
        for m in members:
            own = [line for line in heard if line.startswith(":%s!" % m.name)]
            other = [line for line in own if not line.endswith(" PRIVMSG #qivra :hello from %s" % m.name)]
            check(len(other) <= 1, "%s sent the ordinary user %d lines besides its chat: %s" % (m.name, len(other), other))
            check(all("\x01QIVRA\x01" in line for line in other), "%s sent: %s" % (m.name, other))
        leaked = [line for line in plain.lines if any(a in line for a in addresses)]
        check(not leaked, "the ordinary user learned an address: %s" % leaked)
        datagrams = count_input(plain_ns, lab.subnet + ".0/16")
        check(datagrams == 0, "%d datagrams reached the ordinary user" % datagrams)
        check(not any("No direct link to plain" in e or "plain" in e and "No direct link" in e
                      for m in members for e in m.errors), "a No direct link line about the ordinary user")
        told = [line for line in heard if "\x01QIVRA\x01" in line]
        print("the ordinary user heard %d lines of the four members' in %.0f s: their chat and %d announcements"
              % (len(heard), time.monotonic() - joined, len(told)))


def run(args):
    if args.scenario == "cloaked":
        return cloaked(args)
    with Lab("priv") as lab:
        lab.start_ngircd()
        {"outsider": outsider, "questions": questions, "off": off}[args.scenario](lab, args)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("scenario", choices=["outsider", "questions", "off", "cloaked"])
    parser.add_argument("--stay", type=float, default=10,
                        help="cloaked: seconds the ordinary user stays after the first walks")
    args = parser.parse_args()
    return report_run(run, args)


if __name__ == "__main__":
    sys.exit(main())
