#!/usr/bin/env bash
# Builds QIVRA if needed and runs it from the repository root. When config.txt names this
# machine (localhost or 127.0.0.1) and nothing listens on its port, a private ngircd is
# started there for the session and stopped when the client ends.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -x build/qivra ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$(nproc)" --target qivra
fi

# The last SERVER line wins, as in the client.
read -r server port < <(awk '/^SERVER /{s=$2; p=($3 == "" ? p : $3)} END{print (s == "" ? "localhost" : s), (p == "" ? 6667 : p)}' \
  p=6667 config.txt 2>/dev/null || echo "localhost 6667")

server_pid=""
scratch=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [ -n "$scratch" ] && rm -rf "$scratch"
  return 0
}
trap cleanup EXIT

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

if { [ "$server" = localhost ] || [ "$server" = 127.0.0.1 ]; } && ! listening "$port"; then
  if ! command -v ngircd >/dev/null; then
    echo "run-local: nothing listens on $server:$port and ngircd is not installed" >&2
  else
    scratch=$(mktemp -d)
    chmod 755 "$scratch"
    # The client registers once the server's first PING is answered: ask for it at once.
    cat >"$scratch/ngircd.conf" <<CONF
[Global]
Name = qivra.local
Info = QIVRA local server
Listen = 127.0.0.1
Ports = $port
MotdPhrase = Welcome to the local QIVRA server
PidFile = $scratch/ngircd.pid
[Limits]
MaxNickLength = 30
PingTimeout = 120
[Options]
PAM = no
Ident = no
DNS = no
RequireAuthPing = yes
CONF
    chmod 644 "$scratch/ngircd.conf"
    ngircd -n -f "$scratch/ngircd.conf" >"$scratch/ngircd.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 50); do listening "$port" && break; sleep 0.1; done
    echo "run-local: started ngircd on 127.0.0.1:$port (pid $server_pid)"
  fi
fi

./build/qivra
