#!/usr/bin/env python3
"""Benchmarks of the Alpaca server against the simulator paced at 9600 baud
(run by hand, not by the test suite): cached reads per second and their
latency with 1 and 8 keep-alive clients, the time from a move PUT to its
reply, and the time from the board's '!' to ismoving turning false, each
beside the wire time of the same work.

  bench.py --server PATH --sim PATH [--seconds 10] [--moves 10] [--wine-prefix DIR --wine-ports DIR]

With --wine-prefix the server is the Windows build, run under Wine
(tests/wine/alpaca-bench.sh makes the prefix).
"""
import argparse
import multiprocessing
import os
import socket
import statistics
import sys
import time

import requests

from harness import Scratch, add_target_arguments, target_from, wait_until

BIT_MS = 10 / 9600 * 1000  # one byte on the line, 8N1


class RawClient:
    """One keep-alive connection with as little client work as can be."""

    def __init__(self, port):
        self.socket = socket.create_connection(("127.0.0.1", port))
        self.socket.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.buffer = b""

    def request(self, method, path, body=b""):
        head = f"{method} {path} HTTP/1.1\r\nHost: b\r\nContent-Length: {len(body)}\r\n"
        if body:
            head += "Content-Type: application/x-www-form-urlencoded\r\n"
        self.socket.sendall(head.encode() + b"\r\n" + body)
        while b"\r\n\r\n" not in self.buffer:
            self.buffer += self.socket.recv(65536)
        header, _, rest = self.buffer.partition(b"\r\n\r\n")
        length = int(header.lower().split(b"content-length: ")[1].split(b"\r\n")[0])
        while len(rest) < length:
            rest += self.socket.recv(65536)
        self.buffer = rest[length:]
        return rest[:length]


def read_for(port, seconds, queue):
    client = RawClient(port)
    latencies = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        start = time.perf_counter()
        client.request("GET", "/api/v1/focuser/0/position")
        latencies.append(time.perf_counter() - start)
    queue.put(latencies)


def cached_reads(port, clients, seconds):
    queue = multiprocessing.Queue()
    workers = [multiprocessing.Process(target=read_for, args=(port, seconds, queue)) for _ in range(clients)]
    for worker in workers:
        worker.start()
    latencies = sorted(l for _ in workers for l in queue.get())
    for worker in workers:
        worker.join()
    return len(latencies) / seconds, statistics.median(latencies) * 1000, latencies[int(len(latencies) * 0.99)] * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--moves", type=int, default=10)
    add_target_arguments(parser)
    args = parser.parse_args()
    target = target_from(args)
    with Scratch(target) as run:
        run.simulator(args.sim, "--pace")
        trace = target.trace_to(run)
        server = run.server(args.server, "--discovery-port", "0")
        base = server.base
        requests.put(f"{base}/api/v1/focuser/0/connected", data={"Connected": "true"}, timeout=70)

        position_wire = 9 * BIT_MS  # "FWfocus" and the 2 reply bytes
        print(f"position read on the wire (FWfocus, 9 bytes at 9600 baud): {position_wire:.1f} ms "
              f"= at most {1000 / position_wire:.0f} reads/s")
        for clients in (1, 8):
            rate, p50, p99 = cached_reads(server.port, clients, args.seconds)
            print(f"cached position reads, {clients} keep-alive client(s): {rate:.0f}/s, p50 {p50:.2f} ms, "
                  f"p99 {p99:.2f} ms ({position_wire / p50:.0f}x faster than the wire at p50)")

        client = RawClient(server.port)
        put_ms, ended_ms = [], []
        position = 0
        for n in range(args.moves):
            position = 200 if position != 200 else 100  # 100 steps at 200 steps/s: half a second
            sent = time.perf_counter()
            client.request("PUT", "/api/v1/focuser/0/move", f"Position={position}".encode())
            put_ms.append((time.perf_counter() - sent) * 1000)
            while b'"Value":true' in client.request("GET", "/api/v1/focuser/0/ismoving"):
                pass
            ended = (time.perf_counter() - sent) * 1000
            ended_ms.append(ended)
        # The driver's own time from the command written to the '!' read, from
        # its trace, which is complete once the link has closed.
        requests.put(f"{base}/api/v1/focuser/0/connected", data={"Connected": "false"}, timeout=10)
        wait_until(lambda: requests.get(f"{base}/api/v1/focuser/0/connected").json()["Value"] is False)
        move_ms = [float(line.split(" in=")[1].split("ms")[0]) for line in open(trace) if "OK GoFocus" in line]
        after_bang_ms = [ended - driver for ended, driver in zip(ended_ms, move_ms[-len(ended_ms):])]
        print(f"move PUT to its reply: median {statistics.median(put_ms):.2f} ms, max {max(put_ms):.2f} ms; "
              f"the move itself takes {statistics.median(move_ms):.0f} ms from the command to the board's '!' "
              f"(a blocking COM Move returns only then)")
        print(f"board's '!' read by the driver to ismoving false seen by a client: median "
              f"{statistics.median(after_bang_ms):.2f} ms, max {max(after_bang_ms):.2f} ms "
              f"(the '!' itself is {BIT_MS:.2f} ms on the wire)")
        print(f"server memory now: {server.memory_kib()} KiB")


if __name__ == "__main__":
    sys.exit(main())
