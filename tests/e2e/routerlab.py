"""Home routers for the whole-program tests: masquerading router namespaces with short UDP
mapping timeouts, a plain routing hop, clients on a router's LAN, miniupnpd inside a router,
datagram loss, and processes whose output lines carry the time they arrived.

Built on netlab.Lab (the "public" bridge with the IRC server at .1). Everything stays inside
the namespaces this lab makes, with numeric addresses only.

    with RouterLab() as lab:
        lab.start_ngircd()
        hop = lab.add_hop()                     # plain router: public bridge <-> far segment
        ra = lab.add_router()                   # wan on the public bridge
        rb = lab.add_router(behind=hop)         # wan on the far segment, one hop away
        cg = lab.add_router(lan_prefix="100.64.1")  # a carrier's NAT (CGNAT) ...
        rc = lab.add_router(behind=cg)          # ... with a home router on its LAN
        a = lab.add_lan_client(ra)              # 192.168.1.2 behind ra, default route via ra
        d = lab.add_far_client(hop)             # a public client on the far segment
        p = lab.spawn_timed(a, [...])           # .times[i] = time.monotonic() of .lines[i]

Addresses: public bridge 11.200.N.0/24 (server .1, public clients .2 up, routers .100 up,
hop .254); far segment 11.201.N.0/24 (hop .1, routers and clients from .2); every router's LAN
192.168.1.0/24 (router .1, clients from .2), or the lan_prefix given (a carrier's
100.64.0.0/10, its home routers' wan from .2). N comes from the PID as in netlab. The "public"
side uses addresses outside the private ranges because miniupnpd refuses to forward ports for
a router whose outside address is private; the namespaces have no way out of the machine.
"""

import os
import subprocess
import time

from netlab import Client, Lab, LabTimeout, Proc, _run, add_bridge

# Shortened so that a test can outwait them; kept above the 15 s keep-alive, as real routers'
# (30 s, and 120 to 180 s once replies were seen) are.
MAPPING_TIMEOUT = 20         # s, a UDP mapping that saw no reply, or replies only in its first 2 s
MAPPING_TIMEOUT_STREAM = 25  # s, a mapping with replies that has lived longer


class TimedProc(Proc):
    """A Proc that also keeps, for each stdout and stderr line, the moment it arrived."""

    def __init__(self, *args, **kwargs):
        self.times = []        # time.monotonic() of each stdout line
        self.error_times = []  # of each stderr line
        super().__init__(*args, **kwargs)

    def _read(self, stream, into, name):
        stamps = self.times if name == "stdout" else self.error_times
        for raw in iter(stream.readline, b""):
            text = raw.decode("utf-8", "replace").rstrip("\r\n")
            with self._cond:
                stamps.append(time.monotonic())
                into.append(text)
                self._cond.notify_all()
        with self._cond:
            self._ended.add(name)
            self._cond.notify_all()

    def timed_lines(self, since=0):
        with self._cond:
            return list(zip(self.times[since:], self.lines[since:]))


class Router:
    """A masquerading router namespace: wan towards the internet, a LAN bridge behind it."""

    def __init__(self, ns, wan_address, lan_prefix="192.168.1"):
        self.ns = ns
        self.wan_address = wan_address
        self.lan_prefix = lan_prefix
        self.lan_address = lan_prefix + ".1"
        self.clients = []
        self.hosts = 1  # the last host number given out on the LAN (the router is .1)

    def next_lan_host(self):
        self.hosts += 1
        return self.hosts

    def run(self, *argv, check=True):
        """A command inside the router's namespace; its standard output."""
        done = subprocess.run(["ip", "netns", "exec", self.ns] + list(argv), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, check=check)
        return done.stdout.decode("utf-8", "replace")

    def udp_mappings(self):
        """conntrack's UDP entries, one text line each."""
        return [line for line in self.run("conntrack", "-L", "-p", "udp", check=False).splitlines()
                if line.startswith("udp")]


class Hop:
    """A plain router between the public bridge and the far segment (no NAT, no filter)."""

    def __init__(self, ns, public_address, far_address, far_prefix):
        self.ns = ns
        self.public_address = public_address
        self.far_address = far_address
        self.far_prefix = far_prefix
        self.count = 1


class RouterLab(Lab):
    def __init__(self, tag="rtr", show_mappings=False):
        super().__init__(tag)
        self.show_mappings = show_mappings  # print every router's UDP mappings when a test fails
        number = self.subnet.split(".")[2]
        self.subnet = "11.200.%s" % number
        self.server_address = self.subnet + ".1"
        self.far_prefix = "11.201.%s" % number
        self.routers = []
        self.hop = None
        self._public_routes = []  # (namespace) that need the far segment's route

    def __exit__(self, kind, *rest):
        for router in self.routers if kind and self.show_mappings else []:
            print("--- conntrack in %s (wan %s)\n  %s" % (router.ns, router.wan_address,
                                                          "\n  ".join(router.udp_mappings())))
        return super().__exit__(kind, *rest)

    # -- topology ---------------------------------------------------------------------------
    def add_hop(self):
        """The plain routing namespace; every public namespace learns the far segment through it."""
        ns = self.prefix + "h"
        self._add_ns(ns)
        public = self.subnet + ".254"
        _run("ip", "-n", self.server_ns, "link", "add", "vh", "type", "veth", "peer", "name", "pub", "netns", ns)
        _run("ip", "-n", self.server_ns, "link", "set", "vh", "master", "br0", "up")
        _run("ip", "-n", ns, "addr", "add", public + "/24", "dev", "pub")
        _run("ip", "-n", ns, "link", "set", "pub", "up")
        add_bridge(ns, "far")
        _run("ip", "-n", ns, "addr", "add", self.far_prefix + ".1/24", "dev", "far")
        _run("ip", "-n", ns, "link", "set", "far", "up")
        self._sysctl(ns, "net.ipv4.ip_forward=1")
        self.hop = Hop(ns, public, self.far_prefix + ".1", self.far_prefix)
        # The server and the public clients made so far reach the far segment through the hop.
        self._route_far(self.server_ns)
        for client in self.clients:
            self._route_far(client.ns)
        return self.hop

    def add_client(self):
        client = super().add_client()
        if self.hop:
            self._route_far(client.ns)
        return client

    def _route_far(self, ns):
        _run("ip", "-n", ns, "route", "add", self.far_prefix + ".0/24", "via", self.hop.public_address)

    def _far_link(self, ns, inner_name):
        """A veth from the hop's far bridge into ns; returns the new address on the far segment."""
        hop = self.hop
        hop.count += 1
        outer = "f%d" % hop.count
        address = "%s.%d" % (hop.far_prefix, hop.count)
        _run("ip", "-n", hop.ns, "link", "add", outer, "type", "veth", "peer", "name", inner_name, "netns", ns)
        _run("ip", "-n", hop.ns, "link", "set", outer, "master", "far", "up")
        _run("ip", "-n", ns, "addr", "add", address + "/24", "dev", inner_name)
        _run("ip", "-n", ns, "link", "set", inner_name, "up")
        _run("ip", "-n", ns, "route", "add", "default", "via", hop.far_address)
        return address

    def add_far_client(self):
        """A public client on the far segment (one plain hop from the server's bridge)."""
        number = len(self.clients) + 2
        ns = "%sc%d" % (self.prefix, number)
        self._add_ns(ns)
        client = Client(ns, self._far_link(ns, "eth0"))
        self.clients.append(client)
        return client

    def add_router(self, behind=None, timeouts=(MAPPING_TIMEOUT, MAPPING_TIMEOUT_STREAM), lan_prefix="192.168.1",
                   symmetric=False):
        """A masquerading router: wan on the public bridge, on the far segment when behind is
        the hop, or on another router's LAN when behind is a Router (a home router behind the
        carrier's NAT). Its UDP mappings live timeouts[0] s unreplied, timeouts[1] s after replies.
        symmetric: a random outside port for every new destination (as many mobile networks)."""
        index = len(self.routers) + 1
        ns = "%sr%d" % (self.prefix, index)
        self._add_ns(ns)
        if isinstance(behind, Router):
            number = behind.next_lan_host()
            wan = "%s.%d" % (behind.lan_prefix, number)
            port = "h%d" % number
            _run("ip", "-n", behind.ns, "link", "add", port, "type", "veth", "peer", "name", "wan", "netns", ns)
            _run("ip", "-n", behind.ns, "link", "set", port, "master", "lan", "up")
            _run("ip", "-n", ns, "addr", "add", wan + "/24", "dev", "wan")
            _run("ip", "-n", ns, "link", "set", "wan", "up")
            _run("ip", "-n", ns, "route", "add", "default", "via", behind.lan_address)
        elif behind is None:
            wan = "%s.%d" % (self.subnet, 99 + index)
            port = "vr%d" % index
            _run("ip", "-n", self.server_ns, "link", "add", port, "type", "veth", "peer", "name", "wan", "netns", ns)
            _run("ip", "-n", self.server_ns, "link", "set", port, "master", "br0", "up")
            _run("ip", "-n", ns, "addr", "add", wan + "/24", "dev", "wan")
            _run("ip", "-n", ns, "link", "set", "wan", "up")
            if self.hop:
                _run("ip", "-n", ns, "route", "add", "default", "via", self.hop.public_address)
        else:
            wan = self._far_link(ns, "wan")
        add_bridge(ns, "lan")
        router = Router(ns, wan, lan_prefix)
        _run("ip", "-n", ns, "addr", "add", router.lan_address + "/24", "dev", "lan")
        _run("ip", "-n", ns, "link", "set", "lan", "up")
        self._sysctl(ns, "net.ipv4.ip_forward=1",
                     "net.netfilter.nf_conntrack_udp_timeout=%d" % timeouts[0],
                     "net.netfilter.nf_conntrack_udp_timeout_stream=%d" % timeouts[1])
        # The NAT of most home routers: masquerade outwards, let in only what answers.
        # Legacy iptables throughout, because miniupnpd (iptables flavour) adds its rules there.
        ipt = ["ip", "netns", "exec", ns, "iptables-legacy"]
        _run(*ipt, "-t", "nat", "-A", "POSTROUTING", "-o", "wan", "-j", "MASQUERADE",
             *(["--random-fully"] if symmetric else []))
        _run(*ipt, "-A", "FORWARD", "-i", "wan", "-m", "conntrack", "--ctstate", "RELATED,ESTABLISHED",
             "-j", "ACCEPT")
        _run(*ipt, "-A", "FORWARD", "-i", "wan", "-j", "DROP")
        self.routers.append(router)
        return router

    def add_lan_client(self, router):
        """A client namespace on the router's LAN, its default route through the router."""
        number = router.next_lan_host()
        client = Client("%sl%d" % (router.ns, number), "%s.%d" % (router.lan_prefix, number))
        self._plug(client.ns, client.address, router.ns, "lan", "l%d" % number)
        _run("ip", "-n", client.ns, "route", "add", "default", "via", router.lan_address)
        router.clients.append(client)
        return client

    def _sysctl(self, ns, *settings):
        for setting in settings:
            _run("ip", "netns", "exec", ns, "sysctl", "-q", "-w", setting)

    def start_inspircd_cloaked(self, port=6667):
        """InspIRCd whose users are all cloaked (user mode +x from the connect class): WHOIS
        shows a host such as "qivra-AbCd.EfGh.IjKl.IP", which resolves nowhere."""
        conf = self._write("inspircd.conf",
                           '<server name="insp.test" description="test" network="Test">\n'
                           '<admin name="x" nick="x" email="x@insp.test">\n'
                           '<bind address="%s" port="%d" type="clients">\n'
                           '<module name="md5">\n<module name="cloaking">\n<module name="conn_umodes">\n'
                           '<cloak mode="full" key="qivra-test-cloaking-key-longer-than-thirty" prefix="qivra-">\n'
                           '<connect allow="*" resolvehostnames="no" localmax="50" globalmax="50" modes="+x"'
                           ' threshold="100" commandrate="100000">\n'
                           '<dns server="127.0.0.1" timeout="1">\n'
                           '<pid file="%s">\n'
                           '<files motd="%s">\n'
                           '<log method="file" type="* -USERINPUT -USEROUTPUT" level="default" target="%s">\n'
                           % (self.server_address, port, os.path.join(self.dir, "inspircd.pid"),
                              self._write("motd", "QIVRA test server\n"), os.path.join(self.dir, "inspircd.log")))
        self.server = self.spawn(self.server_ns, ["/usr/sbin/inspircd", "--config", conf, "--nofork", "--runasroot"],
                                 stdin=False, name="inspircd")
        self._wait_port(port)
        return self.server

    # -- loss and router services -------------------------------------------------------------
    def drop_share(self, client, probability):
        """Drops that share of the presence datagrams arriving at the client (netem is missing)."""
        _run("ip", "netns", "exec", client.ns, "iptables", "-A", "INPUT", "-p", "udp", "--dport", "6669",
             "-m", "statistic", "--mode", "random", "--probability", "%.3f" % probability, "-j", "DROP")

    def start_miniupnpd(self, router, upnp=True, natpmp=True):
        """miniupnpd in the router's namespace, serving its LAN; its rules in chains of its own."""
        ipt = ["ip", "netns", "exec", router.ns, "iptables-legacy"]
        _run(*ipt, "-t", "nat", "-N", "MINIUPNPD")
        _run(*ipt, "-t", "nat", "-I", "PREROUTING", "-i", "wan", "-j", "MINIUPNPD")
        _run(*ipt, "-t", "nat", "-N", "MINIUPNPD-POSTROUTING")
        _run(*ipt, "-t", "nat", "-I", "POSTROUTING", "-o", "wan", "-j", "MINIUPNPD-POSTROUTING")
        _run(*ipt, "-t", "mangle", "-N", "MINIUPNPD")
        _run(*ipt, "-N", "MINIUPNPD")
        _run(*ipt, "-I", "FORWARD", "-i", "wan", "!", "-o", "wan", "-j", "MINIUPNPD")
        conf = self._write("miniupnpd-%s.conf" % router.ns,
                           "ext_ifname=wan\nlistening_ip=lan\nport=0\n"
                           "enable_upnp=%s\nenable_natpmp=%s\nsecure_mode=yes\nsystem_uptime=yes\n"
                           "uuid=3d3b8e5c-0b9e-4a52-9b0c-%012d\n"
                           "allow 1024-65535 %s.0/24 1024-65535\ndeny 0-65535 0.0.0.0/0 0-65535\n"
                           % ("yes" if upnp else "no", "yes" if natpmp else "no", os.getpid() % 10**12,
                              router.lan_prefix))
        proc = self.spawn(router.ns, ["/usr/sbin/miniupnpd", "-d", "-f", conf,
                                      "-P", os.path.join(self.dir, "miniupnpd-%s.pid" % router.ns)],
                          stdin=False, name="miniupnpd")
        limit = time.monotonic() + 10
        while time.monotonic() < limit:  # ready once it listens for NAT-PMP or HTTP
            listening = router.run("ss", "-lnu" if natpmp else "-lnt", check=False)
            if (":5351" in listening) if natpmp else ("LISTEN" in listening):
                return proc
            if not proc.running():
                break
            time.sleep(0.1)
        raise LabTimeout("miniupnpd did not start; its output:\n  " + "\n  ".join((proc.errors + proc.lines)[-15:]))

    def forwarded_ports(self, router):
        """The UDP ports miniupnpd forwards (from its nat chain)."""
        text = router.run("iptables-legacy", "-t", "nat", "-n", "-L", "MINIUPNPD", check=False)
        return [line for line in text.splitlines() if line.startswith("DNAT") and "udp" in line]

    # -- processes --------------------------------------------------------------------------
    def spawn_timed(self, client, argv, env=None, stdin=True, name=None):
        ns = client if isinstance(client, str) else client.ns
        proc = TimedProc(name or os.path.basename(argv[0]), argv, ns, env, stdin)
        self.procs.append(proc)
        return proc


def count_input(client, source):
    """Presence datagrams from source that reached the client's namespace (an iptables counter
    rule added on first use)."""
    rule = ["INPUT", "-p", "udp", "--dport", "6669", "-s", source]
    base = ["ip", "netns", "exec", client.ns, "iptables"]
    if subprocess.run(base + ["-C"] + rule, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode:
        _run(*base, "-I", *rule)
        return 0
    text = subprocess.run(base + ["-n", "-v", "-x", "-L", "INPUT"], stdout=subprocess.PIPE,
                          check=True).stdout.decode()
    for line in text.splitlines():
        words = line.split()
        if source in words and "dpt:6669" in line:  # the rule has no target: count by position 0
            return int(words[0])
    return 0


def send_datagram(lab, client, address, data):
    """One UDP datagram from the client's namespace to address:6669."""
    code = "import socket,sys\ns=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n" \
           "s.sendto(sys.argv[2].encode(),(sys.argv[1],6669))\n"
    _run("ip", "netns", "exec", client.ns, "/usr/bin/python3", "-c", code, address, data)


def wait_until(predicate, timeout, step=0.2):
    limit = time.monotonic() + timeout
    while time.monotonic() < limit:
        if predicate():
            return True
        time.sleep(step)
    return predicate()

