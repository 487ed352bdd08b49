#!/usr/bin/env python3
"""The Alpaca server as a client sees it: every member of both devices, the
asynchronous move and turn, the protocol rules, a pulled cable, and hostile
HTTP, against the board simulator on a pty, over HTTP on loopback.

  api_test.py --server PATH --sim PATH [--wine-prefix DIR --wine-ports DIR]

With --wine-prefix the server is the Windows build, run under Wine.
"""
import argparse
import fcntl
import os
import socket
import sys
import time

import requests

from harness import Checks, Scratch, add_target_arguments, raw_exchange, target_from, wait_until, well_formed

ERR_NOT_IMPLEMENTED, ERR_INVALID_VALUE, ERR_NOT_CONNECTED = 0x400, 0x401, 0x407
ERR_ACTION_NOT_IMPLEMENTED, ERR_BUSY, ERR_NO_ANSWER = 0x40C, 0x500, 0x501


class Client:
    def __init__(self, base):
        self.base = base
        self.session = requests.Session()

    def get(self, device, member, **params):
        return self.session.get(f"{self.base}/api/v1/{device}/0/{member}", params=params, timeout=10)

    def put(self, device, member, **form):
        return self.session.put(f"{self.base}/api/v1/{device}/0/{member}", data=form, timeout=70)

    def value(self, device, member):
        return self.get(device, member).json()["Value"]

    def error(self, response):
        return response.json()["ErrorNumber"] if well_formed(response) else None


def not_connected(t, c):
    replies = [c.get("focuser", "position"), c.get("filterwheel", "names"), c.put("focuser", "move", Position="5")]
    t.check("members need the link first (0x407)", all(c.error(r) == ERR_NOT_CONNECTED for r in replies),
            [r.text for r in replies])
    t.check("connected reads false before connecting", c.value("focuser", "connected") is False)


def connect_both(t, c):
    started = c.put("focuser", "connect")
    t.check("connect starts and answers", c.error(started) == 0, started.text)
    t.check("connecting is polled to false",
            wait_until(lambda: c.value("focuser", "connecting") is False))
    t.check("connected after connecting", c.value("focuser", "connected") is True)
    t.check("the wheel stays disconnected until it connects", c.value("filterwheel", "connected") is False)
    t.check("connected=true for the wheel joins the open link",
            c.error(c.put("filterwheel", "connected", Connected="True")) == 0 and
            c.value("filterwheel", "connected") is True)


def protocol_rules(t, c, base):
    # Paths: lower case and exact.
    for path in ["/api/v1/Focuser/0/position", "/api/v1/focuser/1/position", "/api/v1/focuser/00/position",
                 "/api/v1/focuser/0/Position", "/api/v1/focuser/0/nosuchmember", "/api/v1/telescope/0/position",
                 "/api/v1/focuser/0/position/extra", "/api/v1/focuser//position"]:
        r = requests.get(base + path, timeout=5)
        t.check(f"bad path {path} gets 400 as plain text",
                r.status_code == 400 and r.headers["Content-Type"].startswith("text/plain") and r.text.strip(),
                f"{r.status_code} {r.headers.get('Content-Type')}")
    r = c.session.put(f"{base}/api/v1/focuser/0/position", data={}, timeout=5)
    t.check("a GET member asked with PUT gets 400", r.status_code == 400)

    # GET parameter names match whatever their case; PUT field names exactly.
    for name in ["ClientTransactionID", "clienttransactionid", "CLIENTTRANSACTIONID"]:
        r = c.get("focuser", "position", **{name: "77", "ClientID": "3"})
        t.check(f"GET {name} is echoed", well_formed(r) and r.json()["ClientTransactionID"] == 77, r.text)
    r = c.put("focuser", "move", position="10")
    t.check("PUT field in another case counts as missing (400)", r.status_code == 400, r.text)
    r = c.put("focuser", "move", Position="10", clienttransactionid="5")
    t.check("PUT ClientTransactionID in another case is not read",
            well_formed(r) and r.json()["ClientTransactionID"] == 0, r.text)
    wait_until(lambda: c.value("focuser", "ismoving") is False)
    for value in ["ten", "1.5", "", "99999999999", "+-5"]:
        r = c.put("focuser", "move", Position=value)
        t.check(f"unparsable Position '{value}' gets 400", r.status_code == 400, r.text)
    r = c.put("focuser", "tempcomp", TempComp="yes")
    t.check("unparsable boolean gets 400", r.status_code == 400)

    for name in ["ClientID", "ClientTransactionID"]:
        for bad in ["", "-1", "abc", "4294967296", "1e3"]:
            r = c.get("focuser", "position", **{name: bad})
            p = c.put("focuser", "tempcomp", TempComp="false", **{name: bad})
            t.check(f"{name}='{bad}' gets 400 on GET and PUT", r.status_code == 400 and p.status_code == 400,
                    f"{r.status_code} {p.status_code}")
    r = c.get("focuser", "position", Whatever="1", ClientID="4294967295")
    t.check("unknown parameters are ignored", well_formed(r) and r.json()["ErrorNumber"] == 0, r.text)

    # Reply shape, and transaction numbers shared by every connection.
    replies = [c.get("focuser", "position") for _ in range(5)] + [requests.get(f"{base}/api/v1/filterwheel/0/position", timeout=5)]
    ids = [r.json()["ServerTransactionID"] for r in replies]
    t.check("every reply has exactly the five members", all(well_formed(r) for r in replies))
    t.check("ServerTransactionIDs rise, one per reply, across connections",
            ids == sorted(ids) and len(set(ids)) == len(ids), ids)
    t.check("an error reply carries Value too", "Value" in c.put("focuser", "halt").json())
    r = c.get("focuser", "stepsize")
    t.check("numbers are written as JSON numbers", well_formed(r) and r.json()["Value"] == 10.0, r.text)
    r = requests.options(f"{base}/api/v1/focuser/0/position", timeout=5)
    t.check("a browser's preflight is answered, sharing nothing with other origins", r.status_code == 204 and
            not any(h.startswith("Access-Control-") for h in r.headers) and
            "Access-Control-Allow-Origin" not in c.get("focuser", "position").headers)

    # A page elsewhere may not write through the user's browser; the server's
    # own pages and native clients (no Origin, by address or by name) may.
    evil = {"Origin": "http://evil.example"}
    port = requests.get(f"{base}/setup/v1/state", timeout=5).json()["Value"]["SerialPort"]
    preflight = requests.options(f"{base}/setup/v1/serialport", headers={**evil, "Access-Control-Request-Method": "PUT"}, timeout=5)
    foreign = [requests.put(f"{base}/setup/v1/serialport", data={"SerialPort": "COM9"}, headers=evil, timeout=5),
               requests.put(f"{base}/api/v1/focuser/0/move", data={"Position": "7"}, headers=evil, timeout=5)]
    own = requests.put(f"{base}/setup/v1/serialport", data={"SerialPort": "COM9"}, headers={"Origin": base}, timeout=5)
    native = requests.put(base.replace("127.0.0.1", "localhost") + "/setup/v1/serialport", data={"SerialPort": port}, timeout=5)
    for r in foreign + [own, native]:
        print(f"# PUT {r.request.url} Origin {r.request.headers.get('Origin')}: {r.status_code} {r.text.strip()[:120]}")
    t.check("a PUT from a foreign page is refused 403 with its reason, and reaches nothing",
            all(r.status_code == 403 and "evil.example" in r.text for r in foreign) and
            "Access-Control-Allow-Origin" not in preflight.headers and c.get("focuser", "ismoving").json()["Value"] is False)
    t.check("the server's own pages and native clients by address or by name still write",
            own.status_code == 200 and native.status_code == 200 and native.json()["ErrorNumber"] == 0 and
            requests.get(f"{base}/setup/v1/state", timeout=5).json()["Value"]["SerialPort"] == port)


def members(t, c):
    expected = {
        ("focuser", "absolute"): True, ("focuser", "maxincrement"): 1000, ("focuser", "maxstep"): 1000,
        ("focuser", "stepsize"): 10.0, ("focuser", "tempcompavailable"): True, ("focuser", "tempcomp"): False,
        ("focuser", "temperature"): 18.5, ("focuser", "interfaceversion"): 4, ("filterwheel", "interfaceversion"): 3,
        ("filterwheel", "names"): ["L", "R", "G", "B", "Ha"], ("filterwheel", "focusoffsets"): [0, 10, 20, 30, 35],
        ("focuser", "name"): "Quillmoor Focuser", ("filterwheel", "name"): "Quillmoor FilterWheel",
        ("focuser", "supportedactions"): [], ("filterwheel", "supportedactions"): [],
        ("focuser", "driverversion"): "1.0", ("filterwheel", "connecting"): False,
    }
    for (device, member), value in expected.items():
        r = c.get(device, member)
        t.check(f"{device} {member} = {value!r}", well_formed(r) and r.json()["Value"] == value and
                r.json()["ErrorNumber"] == 0, r.text)
    for device in ["focuser", "filterwheel"]:
        for member in ["description", "driverinfo"]:
            value = c.value(device, member)
            t.check(f"{device} {member} is a text", isinstance(value, str) and value)

    t.check("tempcomp put on", c.error(c.put("focuser", "tempcomp", TempComp="true")) == 0)
    t.check("tempcomp reads true after", c.value("focuser", "tempcomp") is True)
    t.check("tempcomp put off", c.error(c.put("focuser", "tempcomp", TempComp="False")) == 0 and
            c.value("focuser", "tempcomp") is False)
    r = c.put("focuser", "halt")
    t.check("halt is not implemented (0x400)", c.error(r) == ERR_NOT_IMPLEMENTED and r.json()["ErrorMessage"])
    for device in ["focuser", "filterwheel"]:
        r = c.put(device, "action", Action="Park", Parameters="")
        t.check(f"{device} unknown action (0x40C)", c.error(r) == ERR_ACTION_NOT_IMPLEMENTED, r.text)
        t.check(f"{device} action without Parameters gets 400", c.put(device, "action", Action="x").status_code == 400)
        for member in ["commandblind", "commandbool", "commandstring"]:
            r = c.put(device, member, Command="FWfocus", Raw="true")
            t.check(f"{device} {member} not implemented", c.error(r) == ERR_NOT_IMPLEMENTED, r.text)

    names = lambda device: [item["Name"] for item in c.value(device, "devicestate")]
    t.check("focuser devicestate names", names("focuser") == ["IsMoving", "Position", "Temperature", "TimeStamp"],
            names("focuser"))
    t.check("wheel devicestate names", names("filterwheel") == ["Position", "TimeStamp"], names("filterwheel"))


def moves_and_turns(t, c, sim):
    r = c.put("focuser", "move", Position="300")
    t.check("move answers at once, still moving", c.error(r) == 0 and c.value("focuser", "ismoving") is True)
    r = c.put("filterwheel", "position", Position="1")
    t.check("a turn during a move is refused as busy (0x500)", c.error(r) == ERR_BUSY and "busy" in r.json()["ErrorMessage"])
    t.check("the move is polled to its end", wait_until(lambda: c.value("focuser", "ismoving") is False))
    t.check("position after the move", c.value("focuser", "position") == 300)
    t.check("the board stands there", "focuser=300" in sim.say("status"))
    c.put("focuser", "move", Position="5000")
    wait_until(lambda: c.value("focuser", "ismoving") is False)
    t.check("a move beyond MaxStep ends at MaxStep", c.value("focuser", "position") == 1000)
    c.put("focuser", "move", Position="-40")
    wait_until(lambda: c.value("focuser", "ismoving") is False)
    t.check("a move below 0 ends at 0", c.value("focuser", "position") == 0)

    r = c.put("filterwheel", "position", Position="3")
    t.check("turn answers at once and the wheel reads -1", c.error(r) == 0 and c.value("filterwheel", "position") == -1)
    t.check("the turn is polled to the target", wait_until(lambda: c.value("filterwheel", "position") == 3))
    t.check("the board's wheel stands there", "filter=3" in sim.say("status"))
    for slot in ["5", "-1"]:
        r = c.put("filterwheel", "position", Position=slot)
        t.check(f"slot {slot} is an invalid value (0x401)", c.error(r) == ERR_INVALID_VALUE and r.json()["ErrorMessage"])
    t.check("devicestate during a turn shows -1", c.error(c.put("filterwheel", "position", Position="0")) == 0 and
            c.value("filterwheel", "devicestate")[0]["Value"] == -1)
    wait_until(lambda: c.value("filterwheel", "position") == 0)


def client_leaves_mid_move(t, c, port):
    body = b"Position=200"
    raw = (b"PUT /api/v1/focuser/0/move HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
    with socket.create_connection(("127.0.0.1", port)) as connection:
        connection.sendall(raw)
    t.check("a client that leaves mid-move: the move ends all the same",
            wait_until(lambda: c.value("focuser", "ismoving") is False and c.value("focuser", "position") == 200))


def port_is_claimed(path):
    """Whether another program holds the serial port, as a second program trying to claim it finds."""
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        return False
    except BlockingIOError:
        return True
    finally:
        os.close(fd)


def sharing(t, c, sim, base, target):
    """Client 0 holds both devices; client 7 joins the focuser. Each leaving takes only itself away."""
    seven = {"ClientID": "7"}
    joined = c.put("focuser", "connected", Connected="true", **seven)
    clients = requests.get(f"{base}/setup/v1/state", timeout=5).json()["Value"]["FocuserClients"]
    t.check("a second ClientID joins the open link, and the setup API counts both",
            c.error(joined) == 0 and clients == 2, (joined.text, clients))
    c.put("focuser", "move", Position="600", **seven)
    left = c.put("focuser", "disconnect")
    t.check("client 0 leaves mid-move; client 7's move finishes and its reads go on",
            c.error(left) == 0 and wait_until(lambda: c.value("focuser", "ismoving") is False) and
            c.error(c.get("focuser", "position", **seven)) == 0 and c.value("focuser", "position") == 600 and
            c.value("focuser", "connected") is True, left.text)
    c.put("focuser", "move", Position="100", **seven)
    leaving = [c.put("filterwheel", "disconnect"), c.put("focuser", "connected", Connected="false", **seven)]
    t.check("the last clients leave mid-move and are never refused", all(c.error(r) == 0 for r in leaving),
            [r.text for r in leaving])
    if target.locks_ports:
        t.check("the link stays until the move has ended", port_is_claimed(sim.link))
        t.check("then the port is free for another program",
                wait_until(lambda: not port_is_claimed(sim.link)) and c.value("focuser", "connected") is False)
        # Another program takes it: the server's connect says so.
        fd = os.open(sim.link, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        r = c.put("focuser", "connected", Connected="true")
        os.close(fd)
        t.check("a port another program holds: the connect says it is in use",
                c.error(r) == 0x502 and "in use by another program" in r.json()["ErrorMessage"], r.text)
    else:
        t.check("the link closes after the move has ended",
                wait_until(lambda: not requests.get(f"{base}/setup/v1/state", timeout=5).json()["Value"]["Connected"]))
    for device in ("focuser", "filterwheel"):
        c.put(device, "connected", Connected="true")


def hostile_http(t, c, server):
    port = server.port
    answer = raw_exchange(port, b"GET /api/v1/focuser/0/position HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 9000 + b"\r\n\r\n")
    t.check("headers over 8 KiB get 431", answer.startswith(b"HTTP/1.1 431"), answer[:40])
    answer = raw_exchange(port, b"GET /" + b"a" * 9000 + b" HTTP/1.1\r\nHost: x\r\n\r\n")
    t.check("a request line over 8 KiB is refused", answer.startswith(b"HTTP/1.1 431"), answer[:40])
    answer = raw_exchange(port, b"PUT /api/v1/focuser/0/move HTTP/1.1\r\nHost: x\r\nContent-Length: 70000\r\n\r\n" + b"a" * 70000)
    t.check("a body over 64 KiB gets 413", answer.startswith(b"HTTP/1.1 413"), answer[:40])
    for garbage in [b"\x00\xff\x10garbage\r\n\r\n", b"GET\r\n\r\n", b"GET / HTTP/9.9\r\n\r\n",
                    b"PUT /api/v1/focuser/0/move HTTP/1.1\r\nContent-Length: -5\r\n\r\n",
                    b"PUT /api/v1/focuser/0/move HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"]:
        answer = raw_exchange(port, garbage)
        t.check(f"malformed request {garbage[:20]!r} gets 400", answer.startswith(b"HTTP/1.1 400"), answer[:40])
    answer = raw_exchange(port, b"GET /api/v1/focuser/0/position?ClientID=%zz HTTP/1.1\r\nHost: x\r\n\r\n")
    t.check("a broken escape gets 400", answer.startswith(b"HTTP/1.1 400"), answer[:40])
    raw_exchange(port, b"PUT /api/v1/focuser/0/move HTTP/1.1\r\nContent-Length: 100\r\n\r\nPosi", 0.2)

    # Keep-alive: two requests in one write, two answers on one connection.
    pair = b"GET /api/v1/focuser/0/position HTTP/1.1\r\nHost: x\r\n\r\n" * 2
    with socket.create_connection(("127.0.0.1", port), timeout=5) as connection:
        connection.sendall(pair)
        got = b""
        while got.count(b"ServerTransactionID") < 2:
            chunk = connection.recv(4096)
            if not chunk:
                break
            got += chunk
    t.check("keep-alive: pipelined requests answered on one connection", got.count(b"HTTP/1.1 200") == 2)

    # A client that sends slowly is cut off at the request timeout (1 s here).
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        connection.sendall(b"GET /api/v1/focuser/0/position HTTP/1.1\r\nHo")
        start = time.monotonic()
        try:
            closed = connection.recv(100) == b""
        except OSError:
            closed = True
    t.check("a slow client is closed by the idle timeout", closed and time.monotonic() - start < 9)

    # The connection cap (16 here): each connection past it closes one that waits. A connection
    # already answered may be the one closed, so every connection is asked twice; the closed
    # ones are counted once all 24 have been seen by the server.
    held = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(24)]
    closed = set()
    for _ in range(2):
        for index, connection in enumerate(held):
            try:
                connection.sendall(b"GET /api/v1/focuser/0/position HTTP/1.1\r\nHost: x\r\n\r\n")
                if connection.recv(4096) == b"":
                    closed.add(index)
            except OSError:
                closed.add(index)
    for connection in held:
        connection.close()
    refused = len(closed)
    t.check("at the cap the connections that waited longest are closed", refused >= 8, refused)
    t.check("the server serves after hostile input",
            wait_until(lambda: well_formed(requests.get(f"{server.base}/api/v1/focuser/0/position", timeout=5))))


def pulled_cable(t, c, sim):
    """The board goes one second into a move; the client leaves and comes back at once, on a new board."""
    def say(what, reply):
        print(f"#   {what}: {reply.status_code} {reply.text}")
        return reply
    say("PUT move Position=1000", c.put("focuser", "move", Position="1000"))
    # The board takes the target as the move begins; pull the cable a moment later (the
    # simulator runs five times as fast as the board).
    wait_until(lambda: " focuser=1000 " in sim.say("status"), 5)
    time.sleep(0.2)
    sim.say("unplug")
    print("#   (the cable is pulled)")
    r = wait_until(lambda: (lambda reply: reply if c.error(reply) != 0 else None)(c.get("focuser", "ismoving")), 15)
    say("GET ismoving", r)
    t.check("a pulled cable ends the move with an error on ismoving",
            r is not None and c.error(r) == ERR_NO_ANSWER and "cable" in r.json()["ErrorMessage"], r and r.text)
    r = say("GET position", c.get("focuser", "position"))
    t.check("the position read at once after the failed move is the failure, not the old value",
            c.error(r) == ERR_NO_ANSWER, r.text)
    names = [i["Name"] for i in say("GET devicestate", c.get("focuser", "devicestate")).json()["Value"]]
    t.check("devicestate still answers, without the position or a temperature",
            "IsMoving" in names and "Position" not in names and "Temperature" not in names, names)
    sim.restart()
    print("#   (a new board behind the same serial path)")
    leave = say("PUT disconnect", c.put("focuser", "disconnect"))
    come = say("PUT connect", c.put("focuser", "connect"))
    t.check("a disconnect and a connect at once are both taken", c.error(leave) == 0 and c.error(come) == 0,
            leave.text + come.text)
    wait_until(lambda: c.value("focuser", "connecting") is False)
    say("GET connected", c.get("focuser", "connected"))
    # Only the new board can answer: the old one's terminal is gone.
    r = say("GET position", c.get("focuser", "position"))
    t.check("the connect opened the port again, and the new board answers",
            c.value("focuser", "connected") is True and c.error(r) == 0 and
            c.value("focuser", "temperature") == 18.5, r.text)
    say("GET ismoving", c.get("focuser", "ismoving"))


def failed_connect(t, server_program, target):
    with Scratch(target) as run:
        server = run.server(server_program, "--discovery-port", "0", serial=run.missing_serial)
        c = Client(server.base)
        r = c.put("focuser", "connected", Connected="true")
        t.check("connected=true with no board fails with a message", c.error(r) == 0x502 and
                "serial port" in r.json()["ErrorMessage"], r.text)
        c.put("focuser", "connect")
        wait_until(lambda: c.get("focuser", "connecting").json()["ErrorNumber"] != 0 or
                   c.value("focuser", "connecting") is False)
        r = c.get("focuser", "connecting")
        t.check("a failed connect is reported on connecting", c.error(r) == 0x502, r.text)


def auto_port(t, server_program, sim_program, target):
    """"Auto" searches COM1..COM16; the board is on COM3, COM1 and COM2 lead nowhere."""
    with Scratch(target) as run:
        run.simulator(sim_program)
        target.show_as_com3(run)
        c = Client(run.server(server_program, "--discovery-port", "0", serial="Auto").base)
        r = c.put("focuser", "connected", Connected="true")
        t.check("Auto finds the board on COM3", c.error(r) == 0 and c.value("focuser", "temperature") == 18.5,
                r.text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--sim", required=True)
    add_target_arguments(parser)
    args = parser.parse_args()
    target = target_from(args)
    t = Checks()
    with Scratch(target) as run:
        sim = run.simulator(args.sim, "--time-scale", "0.2")
        server = run.server(args.server, "--discovery-port", "0", "--poll-ms", "100", "--request-timeout-ms", "1000",
                            "--max-connections", "16")
        c = Client(server.base)
        not_connected(t, c)
        connect_both(t, c)
        r = c.session.put(f"{server.base}/setup/v1/focuser",
                          data={"MaxStep": "1000", "Shift": "0", "StepSize": "10", "PreferredSensor": "0"}, timeout=10)
        t.check("the setup API takes a shorter range", c.error(r) == 0, r.text)
        protocol_rules(t, c, server.base)
        members(t, c)
        moves_and_turns(t, c, sim)
        client_leaves_mid_move(t, c, server.port)
        sharing(t, c, sim, server.base, target)
        hostile_http(t, c, server)
        pulled_cable(t, c, sim)
        t.check("the server never restarted", server.alive())
        listed_before = requests.get(f"{server.base}/management/v1/configureddevices", timeout=5).json()["Value"]
        status, errors = server.stop()
        t.check(f"the server stops cleanly on {target.stop_name}, with nothing on stderr",
                status == 0 and not errors,
                f"{status} {errors[-2000:]}")
        server = run.server(args.server, "--discovery-port", "0")
        listed = requests.get(f"{server.base}/management/v1/configureddevices", timeout=5).json()["Value"]
        t.check("configureddevices lists both, with UniqueIDs kept across restarts",
                [d["DeviceType"] for d in listed] == ["Focuser", "FilterWheel"] and listed == listed_before,
                (listed_before, listed))
        t.check("apiversions is [1]",
                requests.get(f"{server.base}/management/apiversions", timeout=5).json()["Value"] == [1])
        description = requests.get(f"{server.base}/management/v1/description", timeout=5).json()["Value"]
        t.check("description names the server", description.get("ServerName") and "Manufacturer" in description)
    failed_connect(t, args.server, target)
    auto_port(t, args.server, args.sim, target)
    return t.summary()


if __name__ == "__main__":
    sys.exit(main())
