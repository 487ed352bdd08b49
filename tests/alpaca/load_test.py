#!/usr/bin/env python3
"""Load on loopback, bounded in count and time: 8 keep-alive clients poll
position, temperature and devicestate while a ninth moves the focuser and
turns the wheel, for --seconds. Nothing may be lost, every reply must be well
formed and echo its ClientTransactionID, and every ServerTransactionID must be
unique. Prints the read rate, latencies and the server's memory.

  load_test.py --server PATH --sim PATH [--seconds 60]
"""
import argparse
import os
import random
import socket
import statistics
import sys
import threading
import time

import requests

from harness import Checks, Scratch, wait_until, well_formed

POLLERS = 8
MEMBERS = [("focuser", "position"), ("focuser", "temperature"), ("focuser", "devicestate"),
           ("filterwheel", "devicestate")]
MAX_REQUESTS_PER_CLIENT = 200000  # a bound on the count as well as the time


class Poller(threading.Thread):
    def __init__(self, base, number, until):
        super().__init__()
        self.base, self.number, self.until = base, number, until
        self.ids, self.latencies, self.problems = [], [], []

    def run(self):
        session = requests.Session()
        transaction = 0
        while time.monotonic() < self.until and transaction < MAX_REQUESTS_PER_CLIENT:
            transaction += 1
            device, member = MEMBERS[transaction % len(MEMBERS)]
            start = time.perf_counter()
            try:
                r = session.get(f"{self.base}/api/v1/{device}/0/{member}", timeout=10,
                                params={"ClientID": self.number, "ClientTransactionID": transaction})
            except requests.RequestException as error:
                self.problems.append(f"lost: {error}")
                continue
            self.latencies.append(time.perf_counter() - start)
            if not well_formed(r):
                self.problems.append(f"malformed: {r.status_code} {r.text[:80]}")
                continue
            body = r.json()
            if body["ClientTransactionID"] != transaction or body["ErrorNumber"] != 0:
                self.problems.append(f"wrong reply: {r.text[:120]}")
            self.ids.append(body["ServerTransactionID"])


class Mover(threading.Thread):
    """Moves and turns, one after the other, each polled to its end."""

    def __init__(self, base, until):
        super().__init__()
        self.base, self.until = base, until
        self.moves = self.turns = 0
        self.problems = []

    def value(self, session, device, member):
        return session.get(f"{self.base}/api/v1/{device}/0/{member}", timeout=10).json()["Value"]

    def run(self):
        try:
            self.move_and_turn()
        except Exception as error:  # a lost or unreadable reply ends the mover, and says so
            self.problems.append(f"mover stopped: {error!r}")

    def move_and_turn(self):
        session = requests.Session()
        generator = random.Random(7)
        while time.monotonic() < self.until:
            target = generator.randrange(0, 1001)
            r = session.put(f"{self.base}/api/v1/focuser/0/move", data={"Position": target}, timeout=10)
            if r.json()["ErrorNumber"] != 0:
                self.problems.append("move refused: " + r.text)
            elif not wait_until(lambda: self.value(session, "focuser", "ismoving") is False, 30, 0.05) or \
                    self.value(session, "focuser", "position") != target:
                self.problems.append(f"move to {target} did not arrive")
            else:
                self.moves += 1
            slot = generator.randrange(0, 5)
            r = session.put(f"{self.base}/api/v1/filterwheel/0/position", data={"Position": slot}, timeout=10)
            if r.json()["ErrorNumber"] != 0:
                self.problems.append("turn refused: " + r.text)
            elif not wait_until(lambda: self.value(session, "filterwheel", "position") == slot, 30, 0.05):
                self.problems.append(f"turn to {slot} did not arrive")
            else:
                self.turns += 1


def hold_connection(port, source, request):
    """A connection from source (another loopback address) that sends request and stays open."""
    connection = socket.socket()
    connection.settimeout(5)
    try:
        connection.bind((source, 0))
        connection.connect(("127.0.0.1", port))
        connection.sendall(request)
        if request.endswith(b"\r\n\r\n"):
            connection.recv(4096)  # the answer; then it idles, kept alive
    except OSError:
        pass  # closed to make room: that is the point
    return connection


def starvation(t, server):
    """200 half-sent requests and 200 idle keep-alive connections from 16
    other loopback addresses, then one client that behaves."""
    half = b"GET /api/v1/focuser/0/position HTTP/1.1\r\nHo"
    whole = b"GET /api/v1/focuser/0/position HTTP/1.1\r\nHost: x\r\n\r\n"
    held = []
    try:
        for i in range(400):
            held.append(hold_connection(server.port, f"127.0.{i % 2 + 1}.{i // 2 % 8 + 2}", half if i % 2 else whole))
        start = time.perf_counter()
        try:
            r = requests.get(f"{server.base}/api/v1/focuser/0/position", timeout=10)
        except requests.RequestException as error:
            r = error
        waited = time.perf_counter() - start
        descriptors = len(os.listdir(f"/proc/{server.process.pid}/fd"))
        print(f"starvation: a client that behaves waited {waited * 1000:.1f} ms while 200 half-sent and 200 idle "
              f"connections were tried; the server holds {descriptors} descriptors")
        t.check("a client that behaves is answered while others hold half-sent and idle connections",
                not isinstance(r, Exception) and well_formed(r), r)
        t.check("the server's descriptors stay bounded by its caps", descriptors < 64 + 32, descriptors)
    finally:
        for connection in held:
            connection.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--seconds", type=float, default=60)
    args = parser.parse_args()
    t = Checks()
    with Scratch() as run:
        run.simulator(args.sim, "--time-scale", "0.2")
        server = run.server(args.server, "--discovery-port", "0")
        base = server.base
        for device in ["focuser", "filterwheel"]:
            requests.put(f"{base}/api/v1/{device}/0/connected", data={"Connected": "true"}, timeout=70)
        requests.put(f"{base}/setup/v1/focuser",
                     data={"MaxStep": "1000", "Shift": "0", "StepSize": "10", "PreferredSensor": "0"}, timeout=10)
        starvation(t, server)
        memory_before = server.memory_kib()
        until = time.monotonic() + args.seconds
        pollers = [Poller(base, n + 1, until) for n in range(POLLERS)]
        mover = Mover(base, until)
        for thread in pollers + [mover]:
            thread.start()
        for thread in pollers + [mover]:
            thread.join(args.seconds + 60)
        memory_after = server.memory_kib()

        ids = [i for p in pollers for i in p.ids]
        latencies = sorted(l for p in pollers for l in p.latencies)
        problems = [x for p in pollers for x in p.problems] + mover.problems
        t.check("all clients ended in time", not any(thread.is_alive() for thread in pollers + [mover]))
        t.check("no reply lost, malformed or wrong", not problems, problems[:5])
        t.check("every ServerTransactionID unique", len(ids) == len(set(ids)) and ids, f"{len(ids)} vs {len(set(ids))}")
        t.check("moves and turns ran during the load", mover.moves > 3 and mover.turns > 3,
                f"{mover.moves} moves, {mover.turns} turns")
        t.check("the server is up after the load", server.alive())
        t.check("memory stays bounded (less than 32 MiB more than before)", memory_after < memory_before + 32 * 1024,
                f"{memory_before} -> {memory_after} KiB")
        if latencies:
            print(f"load: {len(latencies)} reads in {args.seconds:.0f} s by {POLLERS} clients = "
                  f"{len(latencies) / args.seconds:.0f}/s, p50 {statistics.median(latencies) * 1000:.2f} ms, "
                  f"p99 {latencies[int(len(latencies) * 0.99)] * 1000:.2f} ms; {mover.moves} moves and "
                  f"{mover.turns} turns; memory {memory_before} KiB before, {memory_after} KiB after")
    return t.summary()


if __name__ == "__main__":
    sys.exit(main())
