"""A bare IRC client for the whole-program tests: registers, answers every PING, and prints every
line the server sends it (so a test can see the server's PING rhythm).

usage: /usr/bin/python3 raw_irc_watch.py HOST PORT NICK
"""

import socket
import sys


def main():
    host, port, nick = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    s = socket.create_connection((host, port), timeout=5)
    s.settimeout(None)
    s.sendall(("NICK %s\r\nUSER %s x 127.0.0.1 :watcher\r\n" % (nick, nick)).encode())
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
                s.sendall(("PONG" + argument + "\r\n").encode())


if __name__ == "__main__":
    sys.exit(main())
