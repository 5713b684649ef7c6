"""A bare IRC client for the whole-program tests: registers, answers every PING, prints every
line the server sends it (so a test can see the server's PING rhythm) and sends every line of
its standard input to the server as it is (so a test can JOIN, KICK and the like).

usage: /usr/bin/python3 raw_irc_watch.py HOST PORT NICK
"""

import socket
import sys
import threading


SEND_LOCK = threading.Lock()  # a PONG and a forwarded line must not interleave


def send(s, text):
    with SEND_LOCK:
        s.sendall(text.encode())


def forward_input(s):
    for line in sys.stdin:
        send(s, line.rstrip("\r\n") + "\r\n")


def main():
    host, port, nick = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    s = socket.create_connection((host, port), timeout=5)
    s.settimeout(None)
    send(s, "NICK %s\r\nUSER %s x 127.0.0.1 :watcher\r\n" % (nick, nick))
    threading.Thread(target=forward_input, args=(s,), daemon=True).start()
    pending = b""
    while True:
        chunk = s.recv(4096)
        if not chunk:
            print("closed", flush=True)
            return 0
        pending += chunk
        while b"\n" in pending:
            raw, pending = pending.split(b"\n", 1)
            line = raw.decode("utf-8", "replace").rstrip("\r")
            print(line, flush=True)
            words = line.split(" ")
            command = words[1] if line.startswith(":") and len(words) > 1 else words[0]
            if command == "PING":
                argument = line[line.index("PING") + 4:]
                send(s, "PONG" + argument + "\r\n")


if __name__ == "__main__":
    sys.exit(main())
