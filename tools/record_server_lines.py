"""Records what four IRC servers send a client at connect and for WHOIS, LIST, MODE and NAMES:
the real lines behind the words of irc/words/ (tests/irc/event_words_test.cpp) and the seeds
fuzz/corpus/irc_lines/*_connect_whois_list_mode_names.

    /usr/bin/python3 tools/record_server_lines.py OUT_FOLDER [ngircd] [inspircd] [hybrid] [irc2]

Run as root with Debian's interpreter. Each server runs in a network namespace of its own
(tests/e2e/netlab.py) with two raw clients, alice and bob; OUT_FOLDER/<server>_connect_whois_
list_mode_names gets every line alice received, with the server's line ends. ngircd and
InspIRCd are the installed ones. ircd-hybrid and ircd-irc2 would remove ngircd, so they are
never installed: `apt-get download` fetches them and `dpkg -x` unpacks them into a temporary
folder, and each runs in a mount namespace of its own where the unpacked tree is laid over the
paths compiled into it (overlayfs, gone with the namespace), beside a stub resolver on the
namespace's loopback that answers every lookup "no such name" at once. ircd-irc2 reads its
configuration through m4, which a stand-in that prints the file replaces.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from netlab import Lab  # noqa: E402

STUB_RESOLVER = r'''
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 53))
while True:
    data, peer = s.recvfrom(2048)
    if len(data) >= 12:  # the question back, with "no such name" and no answers
        flags = 0x8183 | (data[2] & 1) << 8
        s.sendto(data[:2] + flags.to_bytes(2, "big") + data[4:6] + b"\0\0\0\0\0\0" + data[12:], peer)
'''

RAW_CLIENT = r'''
import socket, sys, threading
s = socket.create_connection((sys.argv[1], 6667))
def reader():
    buf = b""
    while True:
        d = s.recv(4096)
        if not d:
            break
        buf += d
        while b"\n" in buf:
            line, buf = buf.split(b"\n", 1)
            if line.startswith(b"PING"):
                s.sendall(b"PONG" + line[4:].rstrip(b"\r") + b"\r\n")
            sys.stdout.buffer.write(line + b"\n")
            sys.stdout.flush()
threading.Thread(target=reader, daemon=True).start()
for line in sys.stdin:
    s.sendall(line.rstrip("\n").encode("utf-8").replace(b"\\x01", b"\x01") + b"\r\n")
'''

# What alice asks once both have joined; irc2 holds back a client's quick commands, so it gets
# more time between them.
COMMANDS = ["TOPIC #room :a topic for the room", "MODE #room", "MODE #room +b", "MODE alice", "WHOIS bob",
            "WHOIS alice", "WHOIS nosuch", "LIST", "NAMES #room", "NAMES", "MODE #room +nt", "MODE #room +o bob",
            "MODE #room +lk 10 secret", "MODE #room", "AWAY :out for lunch", "WHOIS alice", "AWAY", "LUSERS"]


def unpack(package, folder):
    subprocess.run(["apt-get", "download", package], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    deb = [name for name in os.listdir(folder) if name.startswith(package + "_") and name.endswith(".deb")][0]
    tree = os.path.join(folder, package)
    subprocess.run(["dpkg", "-x", os.path.join(folder, deb), tree], check=True)
    return tree


def start_stub_resolver(lab):
    lab.spawn(lab.server_ns, ["/usr/bin/python3", "-c", STUB_RESOLVER], stdin=False, name="resolver")
    time.sleep(0.3)


def start_hybrid(lab, tree):
    start_stub_resolver(lab)
    work = os.path.join(lab.dir, "hybrid")
    os.makedirs(work)
    os.chmod(work, 0o777)  # it refuses to run as root: it runs as nobody
    conf = lab._write("hybrid.conf", '''
serverinfo { name = "hybrid.test"; description = "test"; network_name = "Test"; network_description = "test";
  hub = no; default_max_clients = 512; max_nick_length = 15; max_topic_length = 300; };
admin { name = "x"; description = "x"; email = "<x@hybrid.test>"; };
class { name = "users"; ping_time = 90 seconds; number_per_ip_local = 10; number_per_ip_global = 10;
  max_number = 100; sendq = 100 kbytes; recvq = 2560 bytes; };
listen { host = "%s"; port = 6667; };
auth { user = "*@*"; class = "users"; };
general { disable_auth = yes; throttle_time = 0; };
motd { mask = "*"; file = "%s"; };
''' % (lab.server_address, lab._write("motd", "QIVRA test server\n")))
    command = ("mount -t overlay overlay -o lowerdir={t}/usr/lib:/usr/lib /usr/lib && "
               "mount -t overlay overlay -o lowerdir={t}/etc:/etc /etc && "
               "exec setpriv --reuid=nobody --regid=nogroup --clear-groups {t}/usr/sbin/ircd-hybrid -foreground "
               "-configfile {c} -logfile {w}/log -pidfile {w}/pid -klinefile {w}/k.db -dlinefile {w}/d.db "
               "-xlinefile {w}/x.db -resvfile {w}/r.db").format(t=tree, c=conf, w=work)
    lab.server = lab.spawn(lab.server_ns, ["unshare", "-m", "sh", "-c", command], stdin=False, name="hybrid")
    lab._wait_port(6667)


def start_irc2(lab, tree):
    start_stub_resolver(lab)
    stand_ins = os.path.join(lab.dir, "bin")
    os.makedirs(stand_ins)
    with open(os.path.join(stand_ins, "m4"), "w") as f:  # prints the configuration, not the macros
        f.write('#!/bin/sh\nfor a in "$@"; do case "$a" in -*|*.m4) ;; *) cat "$a";; esac; done\n')
    os.chmod(os.path.join(stand_ins, "m4"), 0o755)
    conf = lab._write("irc2.conf", "M%irc2.test%%test%%000A\nA%test%test%x%%Test\n"
                      "Y%1%90%%100%512000%5.5%100.100\nI%*%%%0%1\nP%" + lab.server_address + "%%%6667%\n")
    command = ("mkdir -p {d}/up {d}/work && "
               "mount -t overlay overlay -o lowerdir=/etc,upperdir={d}/up,workdir={d}/work /etc && "
               "mkdir -p /etc/ircd && cp {c} /etc/ircd/ircd.conf && echo 'QIVRA test server' > /etc/ircd/ircd.motd && "
               "mount -t tmpfs none /var/log && mkdir -p /var/log/ircd && mount -t tmpfs none /run && "
               "mkdir -p /run/ircd && mount -t overlay overlay -o lowerdir={b}:/usr/bin /usr/bin && "
               "exec {t}/usr/sbin/ircd -t -s -q -T {d}/tune").format(d=lab.dir, c=conf, b=stand_ins, t=tree)
    lab.server = lab.spawn(lab.server_ns, ["unshare", "-m", "sh", "-c", command], stdin=False, name="irc2")
    lab._wait_port(6667)


def client(lab, nick):
    proc = lab.spawn(lab.add_client(), ["/usr/bin/python3", "-u", "-c", RAW_CLIENT, lab.server_address], name=nick)
    proc.send("NICK " + nick)
    proc.send("USER %s 0 * :%s Example" % (nick, nick.capitalize()))
    proc.wait_for(r" (376|422) ", 60)
    return proc


def record(server, trees):
    gap = 3.5 if server == "irc2" else 1.2
    with Lab("rec") as lab:
        if server == "ngircd":
            lab.start_ngircd()
        elif server == "inspircd":
            lab.start_inspircd(quick_commands=True)
        elif server == "hybrid":
            start_hybrid(lab, trees["hybrid"])
        else:
            start_irc2(lab, trees["irc2"])
        alice = client(lab, "alice")
        bob = client(lab, "bob")
        for proc in (alice, bob):
            proc.send("JOIN #room")
            proc.wait_for(r" 366 ", 20)
            time.sleep(1)
        for command in COMMANDS:
            alice.send(command)
            time.sleep(gap)
        bob.send("NOTICE #room :a notice to the channel")
        bob.send("NOTICE alice :a notice to alice")
        bob.send("PRIVMSG alice :\\x01PING 1234567\\x01")
        bob.send("MODE #room -o alice")
        time.sleep(2)
        alice.send("QUIT :done")
        time.sleep(1.5)
        return list(alice.lines)


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    out = sys.argv[1]
    servers = sys.argv[2:] or ["ngircd", "inspircd", "hybrid", "irc2"]
    folder = tempfile.mkdtemp(prefix="qivra-ircds-")
    os.chmod(folder, 0o755)
    try:
        trees = {}
        if "hybrid" in servers:
            trees["hybrid"] = unpack("ircd-hybrid", folder)
        if "irc2" in servers:
            trees["irc2"] = unpack("ircd-irc2", folder)
        os.makedirs(out, exist_ok=True)
        for server in servers:
            lines = record(server, trees)
            path = os.path.join(out, "%s_connect_whois_list_mode_names" % server)
            with open(path, "wb") as f:
                f.write("".join(line + "\r\n" for line in lines).encode("utf-8", "surrogateescape"))
            print("%s: %d lines in %s" % (server, len(lines), path))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
