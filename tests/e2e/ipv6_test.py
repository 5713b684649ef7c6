"""qivra-peers over IPv6 (ipv6_test.py PEER_BINARY v6only|mobile|aonly|old [--verbose]), behind routers
whose IPv6 firewall lets only answers in and that may masquerade IPv4 with random ports. v6only:
ngircd on IPv6 alone, no client has IPv4; alice connects by "[literal]", bob by a name from his
/etc/netns/NS/hosts, carol by the bare literal. mobile: symmetric IPv4 NATs, the server's name
has both families. aonly: the same, but the server's name has an IPv4 address alone, so both
reach it over IPv4 (where no hello gets through) and must link over the IPv6 addresses they
tell each other. old: bob with --ipv6 off links over IPv4 with alice, who reached the server
over IPv6. Each pair: a handshake within 10 s of the join, walks both ways. 2001:db8:N::/48."""

import argparse
import ipaddress
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from netlab import Client, LabTimeout, _run, add_bridge, report_run  # noqa: E402
from router_lab_test import HANDSHAKE_LIMIT, check, dump, line_time, walk_seen  # noqa: E402
from routerlab import RouterLab  # noqa: E402

SERVER_NAME = "irc%d.test" % os.getpid()


class DualLab(RouterLab):
    def __init__(self):
        super().__init__("six")
        self.prefix6 = "2001:db8:%s:" % self.subnet.split(".")[2]
        self.server_address6 = self.v6(0, 1)
        self.hosts = []

    def v6(self, net, host):
        return ipaddress.ip_address("%s%x::%x" % (self.prefix6, net, host)).compressed

    def _add_ns(self, name):
        super()._add_ns(name)  # no address detection: a tentative link-local one cost a second
        self._sysctl(name, "net.ipv6.conf.all.accept_dad=0", "net.ipv6.conf.default.accept_dad=0",
                     "net.ipv6.conf.all.forwarding=1", "net.ipv4.ip_forward=1")

    def start(self):
        super().start()
        _run("ip", "-n", self.server_ns, "addr", "add", self.server_address6 + "/64", "dev", "br0", "nodad")

    def plug(self, ns, bridge_ns, bridge, port, addresses, gateways):  # addresses: "a/bits"
        self._add_ns(ns)
        _run("ip", "-n", bridge_ns, "link", "add", port, "type", "veth", "peer", "name", "eth0", "netns", ns)
        _run("ip", "-n", bridge_ns, "link", "set", port, "master", bridge, "up")
        _run("ip", "-n", ns, "link", "set", "eth0", "up")
        for a in addresses:
            _run("ip", "-n", ns, "addr", "add", a, "dev", "eth0", "nodad")
        for gateway in gateways:
            _run("ip", "-n", ns, "route", "add", "default", "via", gateway)
        return Client(ns, addresses[0].split("/")[0])

    def router_with_client(self, ipv4):
        i = len(self.routers) + 1
        ns = "%sr%d" % (self.prefix, i)
        wan6 = self.v6(0, 0x100 + i)
        self.plug(ns, self.server_ns, "br0", "vr%d" % i, [wan6 + "/64"] + ["%s.%d/24" % (self.subnet, 99 + i)] * ipv4,
                  [self.server_address6])
        _run("ip", "-n", self.server_ns, "route", "add", self.v6(i, 0) + "/64", "via", wan6)
        add_bridge(ns, "lan")
        _run("ip", "-n", ns, "link", "set", "lan", "up")
        for a in [self.v6(i, 1) + "/64"] + ["192.168.1.1/24"] * ipv4:
            _run("ip", "-n", ns, "addr", "add", a, "dev", "lan", "nodad")
        for tool in ["ip6tables"] + ["iptables"] * ipv4:
            rule = ["ip", "netns", "exec", ns, tool, "-A", "FORWARD", "-i", "eth0"]
            _run(*rule, "-m", "conntrack", "--ctstate", "RELATED,ESTABLISHED", "-j", "ACCEPT")
            _run(*rule, "-j", "DROP")
        if ipv4:
            _run("ip", "netns", "exec", ns, "iptables", "-t", "nat", "-A", "POSTROUTING", "-o", "eth0",
                 "-j", "MASQUERADE", "--random-fully")
        self.routers.append(ns)
        return self.plug(ns + "l", ns, "lan", "l2", [self.v6(i, 2) + "/64"] + ["192.168.1.2/24"] * ipv4,
                         [self.v6(i, 1)] + ["192.168.1.1"] * ipv4)

    def public_client(self, ipv4=True, ipv6=True):
        n = len(self.clients) + 2
        client = self.plug("%sc%d" % (self.prefix, n), self.server_ns, "br0", "v%d" % n,
                           ["%s.%d/24" % (self.subnet, n)] * ipv4 + [self.v6(0, n) + "/64"] * ipv6,
                           [self.server_address6] * ipv6)
        self.clients.append(client)
        return client

    def name_server(self, client, addresses):  # in its own hosts file, removed with the lab
        folder = "/etc/netns/%s" % client.ns
        os.makedirs(folder, exist_ok=True)
        self.hosts.append(folder)
        with open(os.path.join(folder, "hosts"), "w") as f:
            f.write("".join("%s %s\n" % (a, SERVER_NAME) for a in addresses))

    def close(self):
        super().close()
        for folder in self.hosts:
            shutil.rmtree(folder, ignore_errors=True)

    def start_ngircd_on(self, addresses):
        conf = self._write("ngircd.conf", "[Global]\nName = ngircd.test\nInfo = test\nListen = %s\nPorts = 6667\n"
                           "MotdFile = %s\nPidFile = %s\n[Options]\nPAM = no\nIdent = no\nDNS = no\n"
                           % (",".join(addresses), self._write("motd", "QIVRA test server\n"),
                              os.path.join(self.dir, "ngircd.pid")))
        self.server = self.spawn(self.server_ns, ["/usr/sbin/ngircd", "-f", conf, "-n"], stdin=False, name="ngircd")
        self.server.wait_for(r"Server .* ready", 10)

    def run_in(self, ns, *argv):
        return subprocess.run(["ip", "netns", "exec", ns] + list(argv), stdout=subprocess.PIPE).stdout.decode()

    def server_link(self, client):  # the server address of the client's IRC link, as ss shows it
        words = self.run_in(client.ns, "ss", "-tnH", "state", "established", "( dport = :6667 )").split()
        return words[-1].rsplit(":", 1)[0].strip("[]") if words else None


def start_peer(lab, args, procs, client, nick, server, extra=()):
    argv = [args.peer, "--server", server, "--port", "6667", "--nick", nick, "--channel", "#six"] + list(extra)
    procs.append(lab.spawn_timed(client, argv, name=nick))
    return procs[-1]


def linked(first, second, joined, label):
    done = max(line_time(first, r"^presence active %s$" % second.name, 20),
               line_time(second, r"^presence active %s$" % first.name, 20))
    check(done - joined <= HANDSHAKE_LIMIT, "%s: handshake %.1f s after the join" % (label, done - joined))
    walk_seen(first, second, label)
    walk_seen(second, first, label)
    return "%s: handshake %.1f s after the join" % (label, done - joined)


def scenario(lab, args, procs):
    v6only, old, aonly = args.scenario == "v6only", args.scenario == "old", args.scenario == "aonly"
    lab.start_ngircd_on([lab.server_address6] + [lab.server_address] * (not v6only))
    if old:
        a, b = lab.public_client(), lab.public_client(ipv6=False)
        servers, extra = [SERVER_NAME, lab.server_address], ["--ipv6", "off"]
    else:
        a, b = [lab.router_with_client(ipv4=not v6only) for _ in range(2)]
        servers, extra = ["[%s]" % lab.server_address6 if v6only else SERVER_NAME, SERVER_NAME], []
    for client in (a, b):
        lab.name_server(client, [lab.server_address] if aonly else [lab.server_address6, lab.server_address])
    alice = start_peer(lab, args, procs, a, "alice", servers[0])
    alice.wait_for(r"^Connected\.$", 5)
    bob = start_peer(lab, args, procs, b, "bob", servers[1], extra)
    joined = line_time(bob, r"^Connected\.$", 5)
    check(lab.server_link(a) == (lab.server_address if aonly else lab.server_address6), "alice's link: wrong family")
    check(lab.server_link(b) == (lab.server_address if old or aonly else lab.server_address6), "bob's link: wrong family")
    print(linked(alice, bob, joined, args.scenario))
    if v6only:  # the bare literal
        c = lab.public_client(ipv4=False)
        start_peer(lab, args, procs, c, "carol", lab.server_address6).wait_for(r"^Connected\.$", 5)
        check(lab.server_link(c) == lab.server_address6, "carol did not reach the server over IPv6")


def run(args):
    started, procs = time.monotonic(), []
    try:
        with DualLab() as lab:
            scenario(lab, args, procs)
    except (AssertionError, LabTimeout):
        if args.verbose:
            dump(procs, started)
        raise


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("peer")
    parser.add_argument("scenario", choices=["v6only", "mobile", "aonly", "old"])
    parser.add_argument("--verbose", action="store_true")
    sys.exit(report_run(run, parser.parse_args()))
