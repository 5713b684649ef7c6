#!/bin/sh
# Runs a test in a network namespace of its own (loopback only) when the system allows it, so
# that no other program's UDP port 6669 gets in the way and no name can reach a resolver.
if unshare --net -- sh -c 'ip link set lo up' 2>/dev/null; then
  exec unshare --net -- sh -c 'ip link set lo up && exec "$0" "$@"' "$@"
fi
exec "$@"
