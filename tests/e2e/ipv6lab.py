"""IPv6 beside IPv4 for the whole-program tests: home routers that masquerade IPv4 with random
ports (a symmetric NAT, as carrier and mobile networks have) and pass IPv6 through a stateful
firewall (replies in, nothing new), clients with IPv6 alone or both families, ngircd listening
on chosen addresses, and host names given to a client namespace through /etc/netns/NS/hosts.

Built on routerlab.RouterLab. IPv6 addresses come from the documentation prefix 2001:db8::/32,
one /48 per test process (from the PID, as the IPv4 subnets): the public bridge is
P:0::/64 (server ::1, routers' wan ::100 up, public clients ::2 up); router i's LAN is
P:i::/64 (router ::1, clients ::2 up). The server namespace routes between the routers. Every
IPv6 address is added with nodad, so it is usable at once. Nothing leaves the namespaces.
"""

import ipaddress
import os
import shutil
import subprocess
import time

from netlab import Client, LabTimeout, _run
from routerlab import RouterLab, Router


def canonical(address):
    """The form ss and the IRC server print ("2001:db8:7::1", not "2001:db8:7:0::1")."""
    return ipaddress.ip_address(address).compressed


class DualClient(Client):
    """A client namespace with an IPv6 address and perhaps an IPv4 one (address is None then)."""

    def __init__(self, ns, address, address6):
        super().__init__(ns, address)
        self.address6 = address6


class DualLab(RouterLab):
    def __init__(self, tag="six"):
        super().__init__(tag)
        number = int(self.subnet.split(".")[2])
        self.prefix6 = "2001:db8:%d" % number
        self.server_address6 = canonical(self.prefix6 + ":0::1")
        self._hosts_dirs = []

    def _add_ns(self, name):
        super()._add_ns(name)
        # No duplicate address detection on the interfaces made from here on: a link-local
        # address still "tentative" held the first neighbour exchange back by a second.
        self._sysctl(name, "net.ipv6.conf.all.accept_dad=0", "net.ipv6.conf.default.accept_dad=0")

    def start(self):
        super().start()
        self._addr6(self.server_ns, self.server_address6 + "/64", "br0")
        self._sysctl(self.server_ns, "net.ipv6.conf.all.forwarding=1")

    def _addr6(self, ns, address, dev):
        _run("ip", "-n", ns, "-6", "addr", "add", address, "dev", dev, "nodad")

    # -- topology ---------------------------------------------------------------------------
    def add_dual_router(self, ipv4=True):
        """A home router: IPv4 masqueraded with random ports (when ipv4), IPv6 routed through a
        stateful firewall; every IPv6 datagram let in is also counted (rule 1 of FORWARD)."""
        index = len(self.routers) + 1
        ns = "%sr%d" % (self.prefix, index)
        self._add_ns(ns)
        port = "vr%d" % index
        _run("ip", "-n", self.server_ns, "link", "add", port, "type", "veth", "peer", "name", "wan", "netns", ns)
        _run("ip", "-n", self.server_ns, "link", "set", port, "master", "br0", "up")
        wan = "%s.%d" % (self.subnet, 99 + index) if ipv4 else None
        if ipv4:
            _run("ip", "-n", ns, "addr", "add", wan + "/24", "dev", "wan")
        wan6 = canonical("%s:0::%x" % (self.prefix6, 0x100 + index))
        self._addr6(ns, wan6 + "/64", "wan")
        _run("ip", "-n", ns, "link", "set", "wan", "up")
        _run("ip", "-n", ns, "link", "add", "lan", "type", "bridge")
        router = Router(ns, wan)
        router.lan6 = "%s:%x::" % (self.prefix6, index)
        router.wan6 = wan6
        if ipv4:
            _run("ip", "-n", ns, "addr", "add", router.lan_address + "/24", "dev", "lan")
        self._addr6(ns, router.lan6 + "1/64", "lan")
        _run("ip", "-n", ns, "link", "set", "lan", "up")
        _run("ip", "-n", ns, "-6", "route", "add", "default", "via", self.server_address6)
        _run("ip", "-n", self.server_ns, "-6", "route", "add", router.lan6 + "/64", "via", wan6)
        self._sysctl(ns, "net.ipv6.conf.all.forwarding=1")
        ip6 = ["ip", "netns", "exec", ns, "ip6tables"]
        _run(*ip6, "-A", "FORWARD", "-i", "wan", "-p", "udp", "--dport", "6669", "-m", "conntrack",
             "--ctstate", "ESTABLISHED")  # a counter only
        _run(*ip6, "-A", "FORWARD", "-i", "wan", "-m", "conntrack", "--ctstate", "RELATED,ESTABLISHED",
             "-j", "ACCEPT")
        _run(*ip6, "-A", "FORWARD", "-i", "wan", "-j", "DROP")
        if ipv4:
            self._sysctl(ns, "net.ipv4.ip_forward=1")
            ip4 = ["ip", "netns", "exec", ns, "iptables"]
            _run(*ip4, "-t", "nat", "-A", "POSTROUTING", "-o", "wan", "-j", "MASQUERADE", "--random-fully")
            _run(*ip4, "-A", "FORWARD", "-i", "wan", "-m", "conntrack", "--ctstate", "RELATED,ESTABLISHED",
                 "-j", "ACCEPT")
            _run(*ip4, "-A", "FORWARD", "-i", "wan", "-j", "DROP")
        self.routers.append(router)
        return router

    def add_home_client(self, router, ipv4=True):
        """A client on the router's LAN: IPv6 always, IPv4 (behind the NAT) when ipv4."""
        number = len(router.clients) + 2
        ns = "%sl%d" % (router.ns, number)
        address = "%s.%d" % (router.lan_prefix, number) if ipv4 else None
        client = DualClient(ns, address, canonical("%s%x" % (router.lan6, number)))
        self._add_ns(ns)
        self._veth(ns, router.ns, "lan", "l%d" % number)
        self._addr6(ns, client.address6 + "/64", "eth0")
        _run("ip", "-n", ns, "-6", "route", "add", "default", "via", router.lan6 + "1")
        if ipv4:
            _run("ip", "-n", ns, "addr", "add", address + "/24", "dev", "eth0")
            _run("ip", "-n", ns, "route", "add", "default", "via", router.lan_address)
        router.clients.append(client)
        return client

    def add_public_client(self, ipv4=True, ipv6=True):
        """A client on the server's bridge with no router before it."""
        number = len(self.clients) + 2
        ns = "%sc%d" % (self.prefix, number)
        client = DualClient(ns, "%s.%d" % (self.subnet, number) if ipv4 else None,
                            canonical("%s:0::%x" % (self.prefix6, number)) if ipv6 else None)
        self._add_ns(ns)
        self._veth(ns, self.server_ns, "br0", "v%d" % number)
        if ipv4:
            _run("ip", "-n", ns, "addr", "add", client.address + "/24", "dev", "eth0")
        if ipv6:
            self._addr6(ns, client.address6 + "/64", "eth0")
            _run("ip", "-n", ns, "-6", "route", "add", "default", "via", self.server_address6)
        self.clients.append(client)
        return client

    def _veth(self, ns, bridge_ns, bridge, port):
        _run("ip", "-n", bridge_ns, "link", "add", port, "type", "veth", "peer", "name", "eth0", "netns", ns)
        _run("ip", "-n", bridge_ns, "link", "set", port, "master", bridge, "up")
        _run("ip", "-n", ns, "link", "set", "eth0", "up")

    def name_host(self, client, name, addresses):
        """Gives the client's namespace a hosts file naming addresses as name (made before the
        processes that use it start; removed when the lab closes)."""
        folder = "/etc/netns/%s" % client.ns
        os.makedirs(folder, exist_ok=True)
        self._hosts_dirs.append(folder)
        with open(os.path.join(folder, "hosts"), "w") as f:
            f.write("127.0.0.1 localhost\n::1 localhost\n")
            for address in addresses:
                f.write("%s %s\n" % (address, name))

    def close(self):
        try:
            super().close()
        finally:
            for folder in self._hosts_dirs:
                shutil.rmtree(folder, ignore_errors=True)
            self._hosts_dirs = []

    # -- server and checks ------------------------------------------------------------------
    def start_ngircd_on(self, addresses, port=6667):
        """ngircd listening on exactly these addresses (either family)."""
        conf = self._write("ngircd.conf",
                           "[Global]\nName = ngircd.test\nInfo = test\nListen = %s\nPorts = %d\n"
                           "MotdFile = %s\nPidFile = %s\n[Limits]\nMaxNickLength = 31\n"
                           "[Options]\nPAM = no\nIdent = no\nDNS = no\n"
                           % (",".join(addresses), port, self._write("motd", "QIVRA test server\n"),
                              os.path.join(self.dir, "ngircd.pid")))
        self.server = self.spawn(self.server_ns, ["/usr/sbin/ngircd", "-f", conf, "-n"], stdin=False, name="ngircd")
        limit = time.monotonic() + 10
        while time.monotonic() < limit:
            listening = subprocess.run(["ip", "netns", "exec", self.server_ns, "ss", "-ltnH"],
                                       stdout=subprocess.PIPE).stdout.decode()
            if all(("[%s]:%d" % (a, port) if ":" in a else "%s:%d" % (a, port)) in listening for a in addresses):
                return self.server
            time.sleep(0.1)
        raise LabTimeout("ngircd did not listen on %s; its output:\n  %s"
                         % (addresses, "\n  ".join((self.server.errors + self.server.lines)[-15:])))

    def server_link(self, client):
        """The server address of the client's established IRC connection, as ss shows it."""
        text = subprocess.run(["ip", "netns", "exec", client.ns, "ss", "-tnH", "state", "established",
                               "( dport = :6667 )"], stdout=subprocess.PIPE).stdout.decode()
        words = text.split()
        return words[-1].rsplit(":", 1)[0].strip("[]") if words else None

    def firewall_count(self, router):
        """IPv6 presence datagrams let in by the router's firewall so far (answers to its side)."""
        text = subprocess.run(["ip", "netns", "exec", router.ns, "ip6tables", "-n", "-v", "-x", "-L", "FORWARD"],
                              stdout=subprocess.PIPE, check=True).stdout.decode()
        for line in text.splitlines():
            if "dpt:6669" in line:
                return int(line.split()[0])
        return 0
