"""Network lab for QIVRA whole-program tests: private network namespaces, a real IRC server
and client processes, all cleaned up by PID and name when the lab closes.

Run with Debian's interpreter (/usr/bin/python3) as root. Nothing here sends a packet outside
the namespaces it makes: the server namespace holds a bridge at 10.200.X.1/24 (X from this
process's PID, so parallel runs differ), every client namespace has one veth pair into that
bridge (10.200.X.2, .3, ...) and its own loopback. Names looked up inside a namespace cannot
reach any outside resolver, so unknown names fail at once.

    from netlab import Lab
    with Lab() as lab:                          # namespaces exist from here on
        server = lab.start_ngircd()             # or lab.start_inspircd(); both wait for the port
        alice = lab.add_client()                # Client: .ns (namespace name), .address
        p = lab.spawn(alice, [PEER, "--server", lab.server_address, ...])
        p.send("hello")                         # a line to its stdin
        line = p.wait_for(r"^Connected\\.$", 5)  # first matching stdout line, or LabTimeout
        p.wait_for(r"joined", 5, since=mark)    # only lines after mark = p.mark()
        p.stop()                                # SIGTERM, then SIGKILL after a grace period
    # every process stopped, every namespace deleted, the temporary folder removed

Servers: start_ngircd(ping_timeout=None, require_auth_ping=False, cloak_host=None, tls=None) and
start_inspircd(ping_frequency=None, quick_commands=False, sasl=False, cloak_hosts=False). None keeps the server's default ping
timing (about two minutes); quick_commands lifts InspIRCd's command flood control. The server's own log lines are readable through server.lines.
tls=(port, certificate file, key file) adds a TLS port to ngircd; add_server_address() gives the
server namespace a second address on the bridge (ngircd listens there too). sasl=True links
InspIRCd to services, which start_services() then starts (Atheme with NickServ and SaslServ).

Processes: spawn(client, argv, env=None, stdin=True) runs argv inside the client's namespace
(any command; a GUI client under Xvfb passes DISPLAY in env). A Proc collects stdout lines
in .lines and stderr lines in .errors, each as received (without line ends).
"""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time


class LabTimeout(AssertionError):
    """A wait_for gave up; the message lists the last lines the process printed."""


def report_run(scenario, *args):
    """Runs a test script's scenario and prints its failure or its time, then the count of
    passed and failed; the script's exit status."""
    started = time.monotonic()
    try:
        scenario(*args)
    except AssertionError as failure:  # LabTimeout among them
        print("FAILED: %s" % failure)
        print("0 passed, 1 failed")
        return 1
    print("passed in %.1f s" % (time.monotonic() - started))
    print("1 passed, 0 failed")
    return 0


def _run(*argv):
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def add_bridge(ns, name):
    """A bridge with an address of its own. Left to itself a bridge takes the lowest address of
    its ports, so a port plugged in later can change it under neighbours that cached the old one:
    their packets then go nowhere until their ARP entry ages out (tens of seconds)."""
    address = "02:" + ":".join("%02x" % b for b in os.urandom(5))
    _run("ip", "-n", ns, "link", "add", name, "address", address, "type", "bridge")


class Proc:
    """A process started in a namespace, with its output collected line by line."""

    def __init__(self, name, argv, ns, env=None, stdin=True):
        self.name = name
        self.lines = []
        self.errors = []
        self._ended = set()  # the streams read to their end
        self._cond = threading.Condition()
        self._ended = set()  # id() of the line lists whose stream has ended
        full_env = dict(os.environ)
        if env:
            full_env.update(env)
        # "ip netns exec" enters the namespace and then execs argv: the PID is argv's own.
        self.popen = subprocess.Popen(
            ["ip", "netns", "exec", ns] + list(argv),
            stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=full_env,
            bufsize=0, start_new_session=True)
        self.pid = self.popen.pid
        self._readers = [
            threading.Thread(target=self._read, args=(self.popen.stdout, self.lines, "stdout"), daemon=True),
            threading.Thread(target=self._read, args=(self.popen.stderr, self.errors, "stderr"), daemon=True),
        ]
        for r in self._readers:
            r.start()

    def _read(self, stream, into, name):
        for raw in iter(stream.readline, b""):
            text = raw.decode("utf-8", "replace").rstrip("\r\n")
            with self._cond:
                into.append(text)
                self._cond.notify_all()
        with self._cond:
            self._ended.add(name)
            self._cond.notify_all()

    def mark(self):
        """The number of stdout lines so far, to wait only for lines that come later."""
        with self._cond:
            return len(self.lines)

    def wait_for(self, pattern, timeout, since=0, stream="stdout"):
        """Returns the first line (stdout, or stderr with stream="stderr") at index >= since
        that matches the regular expression; raises LabTimeout after timeout seconds."""
        regex = re.compile(pattern)
        lines = self.lines if stream == "stdout" else self.errors
        limit = time.monotonic() + timeout
        with self._cond:
            index = since
            while True:
                while index < len(lines):
                    if regex.search(lines[index]):
                        return lines[index]
                    index += 1
                left = limit - time.monotonic()
                # An ended process may still have lines in the pipe: give up only at its end.
                if left <= 0 or (stream in self._ended and index >= len(lines)):
                    tail = "\n  ".join(lines[-15:])
                    state = "running" if self.popen.poll() is None else "exited %s" % self.popen.returncode
                    raise LabTimeout("%s (%s): no %s line matching %r within %.1f s; last lines:\n  %s"
                                     % (self.name, state, stream, pattern, timeout, tail))
                self._cond.wait(min(left, 0.2))

    def has_line(self, pattern, since=0):
        regex = re.compile(pattern)
        with self._cond:
            return any(regex.search(line) for line in self.lines[since:])

    def send(self, line):
        """Writes one line to the process's standard input."""
        self.popen.stdin.write((line + "\n").encode("utf-8"))
        self.popen.stdin.flush()

    def running(self):
        return self.popen.poll() is None

    def stop(self, grace=3.0):
        """SIGTERM, then SIGKILL if it has not ended within grace seconds. Returns the exit code."""
        if self.popen.poll() is None:
            try:
                os.kill(self.pid, signal.SIGTERM)
                self.popen.wait(grace)
            except subprocess.TimeoutExpired:
                os.kill(self.pid, signal.SIGKILL)
                self.popen.wait(5)
            except ProcessLookupError:
                pass
        for r in self._readers:
            r.join(2)
        streams = [self.popen.stdin]
        if not any(r.is_alive() for r in self._readers):
            streams += [self.popen.stdout, self.popen.stderr]
        for stream in streams:
            if stream:
                try:
                    stream.close()
                except OSError:  # stdin of a process that is gone
                    pass
        return self.popen.returncode


class Client:
    """A client namespace with one address on the lab's bridge."""

    def __init__(self, ns, address):
        self.ns = ns
        self.address = address


class Lab:
    """Network namespaces, a server, clients and processes; close() (or the with block) undoes all."""

    def __init__(self, tag="lab"):
        pid = os.getpid()
        self.prefix = "q%s%d" % (tag[:4], pid)                # namespace names, unique per run
        self.subnet = "10.200.%d" % (pid % 250 + 1)            # a /24 of its own per run
        self.server_ns = self.prefix + "s"
        self.server_address = self.subnet + ".1"
        self.clients = []
        self.procs = []
        self.server = None
        self.dir = tempfile.mkdtemp(prefix="qivra-%s-" % tag)
        os.chmod(self.dir, 0o755)  # ngircd reads its files after dropping to user nobody
        self._namespaces = []

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _add_ns(self, name):
        _run("ip", "netns", "add", name)
        self._namespaces.append(name)
        _run("ip", "-n", name, "link", "set", "lo", "up")

    def start(self):
        """Makes the server namespace with its bridge."""
        self._add_ns(self.server_ns)
        add_bridge(self.server_ns, "br0")
        _run("ip", "-n", self.server_ns, "addr", "add", self.server_address + "/24", "dev", "br0")
        _run("ip", "-n", self.server_ns, "link", "set", "br0", "up")

    def _plug(self, ns, address, bridge_ns, bridge, port):
        """A new namespace ns whose eth0 (address/24) is the far end of port on bridge."""
        self._add_ns(ns)
        _run("ip", "-n", bridge_ns, "link", "add", port, "type", "veth", "peer", "name", "eth0", "netns", ns)
        _run("ip", "-n", bridge_ns, "link", "set", port, "master", bridge, "up")
        _run("ip", "-n", ns, "addr", "add", address + "/24", "dev", "eth0")
        _run("ip", "-n", ns, "link", "set", "eth0", "up")

    def add_client(self):
        """A new client namespace at the next address on the bridge."""
        number = len(self.clients) + 2
        client = Client("%sc%d" % (self.prefix, number), "%s.%d" % (self.subnet, number))
        self._plug(client.ns, client.address, self.server_ns, "br0", "v%d" % number)
        self.clients.append(client)
        return client

    def spawn(self, client, argv, env=None, stdin=True, name=None):
        """Starts argv inside the client's namespace; returns its Proc."""
        ns = client if isinstance(client, str) else client.ns
        proc = Proc(name or os.path.basename(argv[0]), argv, ns, env, stdin)
        self.procs.append(proc)
        return proc

    def _write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o644)
        return path

    def _wait_port(self, port, timeout=10):
        """Waits until the server accepts connections (checked from inside its namespace)."""
        limit = time.monotonic() + timeout
        probe = ("import socket,sys\ns=socket.socket()\ns.settimeout(0.5)\n"
                 "sys.exit(0 if s.connect_ex((%r,%d))==0 else 1)" % (self.server_address, port))
        while time.monotonic() < limit:
            if subprocess.run(["ip", "netns", "exec", self.server_ns, "/usr/bin/python3", "-c", probe]).returncode == 0:
                return
            if self.server and not self.server.running():
                break
            time.sleep(0.1)
        errors = "\n  ".join((self.server.errors + self.server.lines)[-15:]) if self.server else ""
        raise LabTimeout("server did not listen on %s:%d; its output:\n  %s" % (self.server_address, port, errors))

    def add_server_address(self):
        """A second address of the server namespace on the bridge (10.200.X.254)."""
        address = self.subnet + ".254"
        _run("ip", "-n", self.server_ns, "addr", "add", address + "/24", "dev", "br0")
        self.extra_server_addresses = getattr(self, "extra_server_addresses", []) + [address]
        return address

    def start_ngircd(self, ping_timeout=None, require_auth_ping=False, cloak_host=None, port=6667, tls=None):
        """ngircd on the bridge address. ping_timeout (s) makes it PING that often when idle."""
        limits = "MaxNickLength = 31\n"
        if ping_timeout:
            limits += "PingTimeout = %d\n" % ping_timeout
        options = "PAM = no\nIdent = no\nDNS = no\n"
        if require_auth_ping:
            options += "RequireAuthPing = yes\n"
        if cloak_host:
            options += "CloakHost = %s\n" % cloak_host
        ssl = ""
        if tls:
            tls_port, certificate, key = tls
            dh = os.path.join(self.dir, "dh.pem")  # without it ngircd makes its own, slowly
            subprocess.run(["openssl", "genpkey", "-genparam", "-algorithm", "DH", "-pkeyopt",
                            "group:ffdhe2048", "-out", dh], check=True, stdout=subprocess.DEVNULL)
            os.chmod(dh, 0o644)
            ssl = "[SSL]\nCertFile = %s\nKeyFile = %s\nDHFile = %s\nPorts = %d\n" % (certificate, key, dh, tls_port)
        listen = ",".join([self.server_address] + getattr(self, "extra_server_addresses", []))
        conf = self._write("ngircd.conf",
                           "[Global]\nName = ngircd.test\nInfo = test\nListen = %s\nPorts = %d\n"
                           "MotdFile = %s\nPidFile = %s\n[Limits]\n%s[Options]\n%s%s"
                           % (listen, port, self._write("motd", "QIVRA test server\n"),
                              os.path.join(self.dir, "ngircd.pid"), limits, options, ssl))
        self.server = self.spawn(self.server_ns, ["/usr/sbin/ngircd", "-f", conf, "-n"], stdin=False, name="ngircd")
        self._wait_port(port)
        return self.server

    def start_inspircd(self, ping_frequency=None, port=6667, quick_commands=False, sasl=False, cloak_hosts=False):
        """InspIRCd on the bridge address. ping_frequency (s) sets the connect class's pingfreq.
        quick_commands lifts the flood control that otherwise holds back a user's commands for
        seconds once they come faster than one a second (as a test's scripted users send them).
        cloak_hosts hides every user's host behind a cloak (user mode +x from the start)."""
        extra = ' pingfreq="%d"' % ping_frequency if ping_frequency else ""
        if quick_commands:
            extra += ' threshold="100" commandrate="100000"'
        services = ""
        if sasl:  # services link in on loopback inside the server's namespace
            services = ('<module name="spanningtree">\n<module name="services_account">\n<module name="sasl">\n'
                        '<module name="cap">\n<bind address="127.0.0.1" port="7000" type="servers">\n'
                        '<link name="services.test" ipaddr="127.0.0.1" port="7000" allowmask="127.0.0.0/8" '
                        'sendpass="linkpw" recvpass="linkpw">\n<uline server="services.test" silent="yes">\n'
                        '<sasl target="services.test">\n')
        if cloak_hosts:  # cloaking needs md5; conn_umodes sets +x on every user
            extra += ' modes="+x"'
            services += ('<module name="md5">\n<module name="cloaking">\n<module name="conn_umodes">\n'
                         '<cloak mode="full" key="qivra-lab-cloak-key-0123456789-abcdefghij" prefix="cloak-">\n')
        conf = self._write("inspircd.conf",
                           '<server name="insp.test" description="test" network="Test">\n'
                           '<admin name="x" nick="x" email="x@insp.test">\n'
                           '<bind address="%s" port="%d" type="clients">\n'
                           '<connect allow="*" resolvehostnames="no" localmax="50" globalmax="50"%s>\n'
                           '<dns server="127.0.0.1" timeout="1">\n'
                           '<pid file="%s">\n'
                           '<files motd="%s">\n'
                           '<log method="file" type="* -USERINPUT -USEROUTPUT" level="default" target="%s">\n%s'
                           % (self.server_address, port, extra, os.path.join(self.dir, "inspircd.pid"),
                              self._write("motd", "QIVRA test server\n"), os.path.join(self.dir, "inspircd.log"),
                              services))
        self.server = self.spawn(self.server_ns, ["/usr/sbin/inspircd", "--config", conf, "--nofork", "--runasroot"],
                                 stdin=False, name="inspircd")
        self._wait_port(port)
        return self.server

    def start_services(self, timeout=20):
        """Atheme services (NickServ, SaslServ) linked to an InspIRCd started with sasl=True;
        returns once they have joined the network."""
        data = os.path.join(self.dir, "atheme")
        os.makedirs(data, exist_ok=True)
        block = 'nick = "%s"; user = "%s"; host = "services.test"; real = "%s";'
        conf = self._write("atheme.conf", "\n".join(
            ['loadmodule "modules/%s";' % m for m in
             ("protocol/inspircd", "backend/opensex", "crypto/pbkdf2v2", "nickserv/main",
              "nickserv/identify", "nickserv/register", "saslserv/main", "saslserv/plain")] +
            ['serverinfo { name = "services.test"; desc = "services"; numeric = "00A"; recontime = 2; '
             'netname = "Test"; hidehostsuffix = "users.test"; adminname = "x"; adminemail = "x@services.test"; '
             'registeremail = "x@services.test"; loglevel = { error; info; }; maxlogins = 5; maxusers = 5; '
             'mdlimit = 30; emaillimit = 10; emailtime = 300; auth = none; casemapping = rfc1459; };',
             'uplink "insp.test" { host = "127.0.0.1"; password = "linkpw"; port = 7000; };',
             'nickserv { %s maxnicks = 5; expire = 30; };' % (block % ("NickServ", "NickServ", "Nicknames")),
             'saslserv { %s };' % (block % ("SaslServ", "SaslServ", "SASL")),
             'general { flood_msgs = 100; flood_time = 10; ratelimit_uses = 100; ratelimit_period = 60; '
             'kline_time = 7; commit_interval = 5; uplink_sendq_limit = 1048576; language = "en"; };', ""]))
        services = self.spawn(self.server_ns, ["atheme-services", "-n", "-c", conf, "-D", data,
                                               "-l", os.path.join(data, "atheme.log"),
                                               "-p", os.path.join(data, "atheme.pid")], stdin=False, name="atheme")
        deadline = time.monotonic() + timeout
        while True:  # it logs to standard output or error, depending on its version
            for stream in ("stdout", "stderr"):
                try:
                    services.wait_for(r"finished synching with uplink", 0.25, stream=stream)
                    return services
                except LabTimeout:
                    if time.monotonic() >= deadline:
                        raise

    def close(self):
        """Stops every process it started (by PID), deletes its namespaces and its folder."""
        for proc in reversed(self.procs):
            try:
                proc.stop()
            except Exception:  # keep cleaning whatever one process did
                pass
        for ns in reversed(self._namespaces):
            subprocess.run(["ip", "netns", "del", ns], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._namespaces = []
        shutil.rmtree(self.dir, ignore_errors=True)
