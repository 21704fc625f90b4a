#!/usr/bin/env bash
# in_network_namespace.sh COMMAND...: runs COMMAND in a network namespace of
# its own, whose loopback is up and carries the multicast groups
# (239.0.0.0/8), so that a WS-Discovery probe reaches a camera on the same
# machine without touching the host's network. QMD_NETWORK_NAMESPACE tells
# the test it runs there. Without user namespaces (and not root), COMMAND
# runs as it is and the tests that need the namespace skip themselves.
set -euo pipefail
inside='ip link set lo up && ip route add 239.0.0.0/8 dev lo && QMD_NETWORK_NAMESPACE=1 exec "$@"'
if unshare -rn true 2>/dev/null; then
    exec unshare -rn bash -c "$inside" bash "$@"
elif [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    exec unshare -n bash -c "$inside" bash "$@"
fi
echo "in_network_namespace: no network namespace here; the multicast test skips" >&2
exec "$@"
