#!/usr/bin/env python3
"""Alpaca discovery, run inside a network namespace of its own (unshare -n),
so that no datagram leaves the machine: IPv4 broadcast and unicast on
loopback, the IPv6 group ff12::a1:9aca, two servers sharing the port, and
garbage passed over.

  unshare -n discovery_test.py --server PATH
  discovery_test.py --server PATH --loopback-only [--wine-prefix DIR --wine-ports DIR]

--loopback-only runs outside a namespace, on a free port, with unicast on
loopback only (the Windows build under Wine, for one).
"""
import argparse
import json
import os
import socket
import subprocess
import sys

from harness import Checks, Scratch, add_target_arguments, target_from

PORT = 32227
REQUEST = b"alpacadiscovery1"


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def ask(family, address, payload=REQUEST, seconds=1.0, interface=None):
    """All the answers that come back within the time."""
    with socket.socket(family, socket.SOCK_DGRAM) as s:
        s.settimeout(seconds)
        if family == socket.AF_INET:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        if interface:
            s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_MULTICAST_IF, socket.if_nametoindex(interface))
        s.sendto(payload, address)
        answers = []
        try:
            while True:
                answers.append(s.recvfrom(200)[0])
        except socket.timeout:
            pass
    return answers


def ports(answers):
    found = []
    for answer in answers:
        try:
            found.append(json.loads(answer)["AlpacaPort"])
        except (ValueError, KeyError, TypeError):
            found.append(None)
    return sorted(found)


def prepare_namespace():
    """Loopback up, the limited broadcast routed to it, and for IPv6 a veth
    pair with both ends in here: the loopback device delivers no IPv6 multicast."""
    for command in ["sysctl -qw net.ipv6.conf.default.accept_dad=0", "ip link set lo up",
                    "ip route add broadcast 255.255.255.255 dev lo table local",
                    "ip link add qa0 type veth peer name qa1", "ip link set qa0 up", "ip link set qa1 up"]:
        subprocess.run(command.split(), check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--loopback-only", action="store_true")
    add_target_arguments(parser)
    args = parser.parse_args()
    target = target_from(args)
    t = Checks()
    if args.loopback_only:
        port = free_udp_port()
        print("# left out on loopback only: the broadcasts, the IPv6 group and a second server on the port,"
              " which need a network namespace of their own")
    else:
        port = PORT
        if not t.check("in a namespace of its own, with no way out",
                       not any(name not in ("lo",) for _, name in socket.if_nameindex())):
            return t.summary()
        prepare_namespace()
    with Scratch(target) as run:
        first = run.server(args.server, "--discovery-port", str(port), serial=run.missing_serial)
        t.check("unicast on 127.0.0.1", ports(ask(socket.AF_INET, ("127.0.0.1", port))) == [first.port])
        t.check("unicast on ::1", ports(ask(socket.AF_INET6, ("::1", port))) == [first.port])
        if not args.loopback_only:
            t.check("IPv4 broadcast 255.255.255.255",
                    ports(ask(socket.AF_INET, ("255.255.255.255", port))) == [first.port])
            t.check("IPv4 broadcast 127.255.255.255",
                    ports(ask(socket.AF_INET, ("127.255.255.255", port))) == [first.port])
            # Sent out of one end, the datagram arrives at both (the other end, and
            # this one's own copy): each gets its answer.
            group = ports(ask(socket.AF_INET6, ("ff12::a1:9aca", port), interface="qa1"))
            t.check("the IPv6 group ff12::a1:9aca", group and set(group) == {first.port}, group)
        t.check("the answer is exactly {\"AlpacaPort\":N}",
                ask(socket.AF_INET, ("127.0.0.1", port)) == [b'{"AlpacaPort":%d}' % first.port])

        garbage = [b"", b"alpacadiscovery", b"alpacadiscovery12", b"ALPACADISCOVERY1", b"alpacadiscovery2",
                   os.urandom(16), os.urandom(1400), REQUEST + b"\x00", b"\xff" * 64]
        t.check("garbage gets no answer",
                all(ask(socket.AF_INET, ("127.0.0.1", port), payload, 0.3) == [] for payload in garbage))
        t.check("garbage on IPv6 gets no answer", ask(socket.AF_INET6, ("::1", port), os.urandom(500), 0.3) == [])
        t.check("still answers after garbage", ports(ask(socket.AF_INET, ("127.0.0.1", port))) == [first.port])

        if args.loopback_only:
            return t.summary()
        # A second server on this computer shares the port (SO_REUSEADDR); a broadcast finds both.
        second = run.server(args.server, "--discovery-port", str(port), serial=run.missing_serial)
        both = ports(ask(socket.AF_INET, ("255.255.255.255", port)))
        t.check("two servers share the discovery port and both answer a broadcast",
                both == sorted([first.port, second.port]), both)
        t.check("both servers alive", first.alive() and second.alive())
    return t.summary()


if __name__ == "__main__":
    sys.exit(main())
