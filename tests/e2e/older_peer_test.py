"""A qivra-peer of the version before (tests/e2e/older_build.py) beside a new one: they still link.

direct   ngircd, which shows hosts: the handshake within 10 s whichever joins first, chat and
         walks seen both ways; the new one's typing marks and the look in its hellos leave the older one
         walking on as before, and its announcement gives the older one one console line at most.
cloaked  InspIRCd hiding every host: the older one's ":Q" shows it runs QIVRA, the new one answers,
         they link and see each other walk.
relayed  each behind a router that gives every destination a port of its own: no hello ever gets
         through, and each shows the other through the server (the older one asks VERSION, the
         new one's answer names relay/1, the older one's first move shows that it relays).

usage: /usr/bin/python3 older_peer_test.py NEW_PEER BUILD_DIR direct|cloaked|relayed [--verbose]
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from netlab import report_run  # noqa: E402
from older_build import NOT_IN_HISTORY, OlderHistoryMissing, older_peer  # noqa: E402
from router_lab_test import HANDSHAKE_LIMIT, check, dump, line_time, walk_seen  # noqa: E402
from routerlab import RouterLab  # noqa: E402

OLDER_COMMIT = "57d0a5f"  # the version before proof of origin and private details


def start(lab, binary, client, nick, env=None):
    argv = [binary, "--server", lab.server_address, "--port", "6667", "--nick", nick, "--channel", "#old",
            "--bind", client.address, "--packets", "10", "--router", "off"]
    peer = lab.spawn_timed(client, argv, env=env, name=nick)
    peer.wait_for(r"^Connected\.$", 10)
    return peer


def linked(lab, args, older, order, procs, env=None, clients=None):
    """The two started in that order ("new" or "old" first): (new, old, the second's join time)."""
    clients = clients or [lab.add_client(), lab.add_client()]
    binaries = {"new": (args.peer, "nora"), "old": (older, "olga")}
    started = {}
    for client, which in zip(clients, [order, "old" if order == "new" else "new"]):
        binary, nick = binaries[which]
        started[which] = start(lab, binary, client, nick, env)
        procs.append(started[which])
    joined = line_time(started["old" if order == "new" else "new"], r"^Connected\.$", 1)
    return started["new"], started["old"], joined


def direct(lab, args, older, procs):
    lab.start_ngircd()
    for order in ("new", "old"):
        new, old = linked(lab, args, older, order, procs)[:2]
        done = max(line_time(new, r"^presence active olga$", HANDSHAKE_LIMIT + 5),
                   line_time(old, r"^presence active nora$", HANDSHAKE_LIMIT + 5))
        walk_seen(new, old, "direct, %s first" % order)
        walk_seen(old, new, "direct, %s first" % order)
        for speaker, hearer in ((new, old), (old, new)):  # the chat, both ways, as either shows it
            speaker.send("hello from %s" % speaker.name)
            hearer.wait_for(r"^<%s> hello from %s$" % (speaker.name, speaker.name), 5)
        new.send("/typing on")  # a datagram kind the older one does not know
        time.sleep(0.5)
        walk_seen(new, old, "after a typing mark")
        check(not old.has_line(r"^presence sealed"), "the older one cannot seal")
        ctcp = [line for line in old.lines if "CTCP QIVRA" in line]
        check(len(ctcp) <= 1, "the older one showed %d lines about the announcement: %s" % (len(ctcp), ctcp))
        print("direct, %s first: linked, chat and walks seen both ways; the older one's lines about QIVRA's own CTCP: %s"
              % (order, ctcp or "none"))
        for p in (new, old):
            p.send("/quit")
            p.wait_for(r"^Disconnected\.$", 5)


def cloaked(lab, args, older, procs):
    lab.start_inspircd_cloaked()
    new, old, joined = linked(lab, args, older, "new", procs)
    done = max(line_time(new, r"^presence active olga$", 15), line_time(old, r"^presence active nora$", 15))
    walk_seen(new, old, "cloaked")
    walk_seen(old, new, "cloaked")
    print("cloaked: linked %.1f s after the join, walks seen both ways" % (done - joined))


def relayed(lab, args, older, procs):
    lab.start_ngircd()
    clients = [lab.add_lan_client(lab.add_router(symmetric=True)) for _ in range(2)]
    new, old, joined = linked(lab, args, older, "new", procs, env={"QIVRA_NO_LINK_MS": "5000"}, clients=clients)
    new.wait_for(r"^presence relayed olga$", 40)
    old.wait_for(r"^presence relayed nora$", 40 - (time.monotonic() - joined))
    shown = time.monotonic() - joined
    time.sleep(5)  # the start's lines leave the allowance
    mark = old.mark()
    new.send("/walk forward 2")
    old.wait_for(r"^presence keys nora 0 1 ", 8, since=mark)
    mark = new.mark()
    old.send("/walk back 2")
    new.wait_for(r"^presence keys olga 0 0 1 ", 8, since=mark)
    print("relayed: each shown through the server %.1f s after the join, walks seen both ways" % shown)


def run(args):
    try:
        older = older_peer(OLDER_COMMIT, args.build)
    except OlderHistoryMissing as missing:
        print("no older qivra-peer: %s: skipped" % missing)
        sys.exit(NOT_IN_HISTORY)
    started, procs = time.monotonic(), []
    try:
        with RouterLab("old") as lab:
            {"direct": direct, "cloaked": cloaked, "relayed": relayed}[args.scenario](lab, args, older, procs)
    except AssertionError:
        if args.verbose:
            dump(procs, started)
        raise


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("build")
    parser.add_argument("scenario", choices=["direct", "cloaked", "relayed"])
    parser.add_argument("--verbose", action="store_true")
    sys.exit(report_run(run, parser.parse_args()))
