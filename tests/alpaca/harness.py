"""What the Alpaca test scripts share: the simulator and the server as
processes of their own (stopped by their PIDs, also when a check fails), a
check counter, and the reply rules every JSON answer must follow."""
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

REPLY_KEYS = {"Value", "ClientTransactionID", "ServerTransactionID", "ErrorNumber", "ErrorMessage"}


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, condition, detail=""):
        if condition:
            self.passed += 1
            print(f"ok   {name}")
        else:
            self.failed += 1
            print(f"FAIL {name} {detail}")
        sys.stdout.flush()
        return condition

    def summary(self):
        print(f"{self.passed} passed, {self.failed} failed")
        return 0 if self.failed == 0 else 1


def well_formed(response):
    """The reply rules: JSON with exactly the five members, of the right types."""
    if response.status_code != 200 or not response.headers.get("Content-Type", "").startswith("application/json"):
        return False
    try:
        body = response.json()
    except ValueError:
        return False
    return (set(body) == REPLY_KEYS and isinstance(body["ClientTransactionID"], int)
            and isinstance(body["ServerTransactionID"], int) and body["ServerTransactionID"] > 0
            and isinstance(body["ErrorNumber"], int) and isinstance(body["ErrorMessage"], str))


def wait_until(probe, seconds=10.0, step=0.02):
    """Polls probe until it gives a true value; the deadline only catches hangs."""
    deadline = time.monotonic() + seconds
    while True:
        value = probe()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


def first_line(process, seconds=10):
    """The first line a process writes, or "" when none comes in time (the process is then killed)."""
    ready, _, _ = select.select([process.stdout], [], [], seconds)
    line = process.stdout.readline() if ready else ""
    if not line:
        process.kill()
        process.wait()
    return line


def read_to_end(stream, seconds=5):
    """What is left in a pipe, until its writers close it or the time is up (a
    process the program started may hold it open: Wine's services do)."""
    chunks = []
    deadline = time.monotonic() + seconds
    while select.select([stream], [], [], max(0.0, deadline - time.monotonic()))[0]:
        chunk = os.read(stream.fileno(), 65536)
        if not chunk:
            break
        chunks.append(chunk)
    return b"".join(chunks).decode(errors="replace")


class Simulator:
    """quillmoor-sim on a pty, linked at a fixed path, steered by control lines."""

    def __init__(self, program, link, *options):
        self.command = [program, "--link", link, *options]
        self.link = link
        self.start()

    def start(self):
        self.process = subprocess.Popen(self.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        if not first_line(self.process):  # the pty's path
            raise RuntimeError("the simulator did not start")
        wait_until(lambda: os.path.islink(self.link), 5)

    def restart(self):
        """A fresh board on the same link, as after a power cycle."""
        self.stop()
        self.start()

    def say(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        ready, _, _ = select.select([self.process.stdout], [], [], 5)
        return self.process.stdout.readline().strip() if ready else ""

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


class Native:
    """The server as a program of this system: the simulator's link is its
    serial port, its settings are in the scratch folder, SIGTERM stops it."""
    name = "native"
    stop_name = "SIGTERM"
    locks_ports = True  # another program sees the held port through flock
    left_out = []

    def link(self, folder):
        return os.path.join(folder, "port")

    def serial(self, link):
        return link

    def missing_serial(self, folder):
        return os.path.join(folder, "nothing-here")

    def command(self, program):
        return [program]

    def show_as_com3(self, scratch):
        """Makes the simulator's link the port COM3 of the server's port search."""
        ports = os.path.join(scratch.config, "quillmoor", "ports")
        os.makedirs(ports, exist_ok=True)
        os.symlink(scratch.link, os.path.join(ports, "com3"))

    def trace_to(self, scratch):
        """Has the server's driver write its trace log; returns where, as a path here."""
        trace = os.path.join(scratch.folder, "trace.log")
        options = os.path.join(scratch.config, "quillmoor", "Software", "ASCOM", "Focuser Drivers")
        os.makedirs(options, exist_ok=True)
        with open(os.path.join(options, "Quillmoor.Focuser.values"), "w") as store:
            store.write(f"1 {(trace.encode() + bytes(1)).hex()} LogFile\n")
        return trace

    def environment(self, config):
        # The settings and the temperature log it writes stay in the scratch folder.
        return dict(os.environ, XDG_CONFIG_HOME=config, XDG_DATA_HOME=os.path.join(os.path.dirname(config), "data"))

    def stop(self, process):
        process.terminate()


class UnderWine(Native):
    """The Windows build under Wine, in a prefix whose COM1..COM16 lead to the
    links ports/com1..com16 (tests/wine/prefix.sh): the simulator's link is
    ports/com3 and the server opens "COM3"; ports/com5 is never made, so COM5
    is a port that does not exist. Its settings are in the prefix's registry.
    Wine ends a program on SIGTERM without telling it, so it is stopped with
    SIGINT, which reaches it as Ctrl-C."""
    name = "wine"
    stop_name = "Ctrl-C"
    locks_ports = False
    left_out = ["SIGTERM: Wine ends the program without its handler, so the clean stop is checked on Ctrl-C (SIGINT)",
                "the held port seen from Linux: Wine takes no lock on it; tests/wine/alpaca.sh checks it with the DLL"]

    def __init__(self, prefix, ports):
        self.prefix = prefix
        self.ports = ports
        self.loader = "/usr/lib/wine/wine64" if os.access("/usr/lib/wine/wine64", os.X_OK) else "wine"

    def link(self, folder):
        return os.path.join(self.ports, "com3")

    def serial(self, link):
        return "COM3"

    def missing_serial(self, folder):
        return "COM5"

    def command(self, program):
        return [self.loader, program]

    def show_as_com3(self, scratch):
        pass  # it is already

    def trace_to(self, scratch):
        # The driver's options are the DLL's key, in the 32-bit view of the machine's hive.
        subprocess.run([self.loader, "reg", "add", r"HKLM\Software\ASCOM\Focuser Drivers\Quillmoor.Focuser", "/v",
                        "LogFile", "/t", "REG_SZ", "/d", r"C:\quillmoor-bench-trace.log", "/f", "/reg:32"],
                       env=self.environment(None), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=True)
        trace = os.path.join(self.prefix, "drive_c", "quillmoor-bench-trace.log")
        if os.path.exists(trace):
            os.remove(trace)
        return trace

    def environment(self, config):
        return dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEARCH="win64")

    def stop(self, process):
        process.send_signal(signal.SIGINT)


def add_target_arguments(parser):
    parser.add_argument("--wine-prefix", help="run the Windows build in this Wine prefix")
    parser.add_argument("--wine-ports", help="the prefix's folder of COM port links")


def target_from(args):
    """The way to run the server the arguments name; says what it leaves out."""
    target = UnderWine(args.wine_prefix, args.wine_ports) if args.wine_prefix else Native()
    for reason in target.left_out:
        print(f"# left out under {target.name}: {reason}")
    return target


class Server:
    """quillmoor-alpaca on a free loopback port, with its settings in a scratch folder."""

    def __init__(self, program, serial, config, *options, env=None, target=Native()):
        self.target = target
        self.process = subprocess.Popen([*target.command(program), "--serial", serial, "--http-port", "0",
                                         "--bind", "127.0.0.1", *options], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True,
                                        env=dict(target.environment(config), **(env or {})))
        line = first_line(self.process)
        if "serving on port" not in line:
            if self.process.poll() is None:
                self.process.kill()
            _, errors = self.process.communicate()
            raise RuntimeError("the server did not start: " + line + errors)
        self.port = int(line.split("serving on port ")[1].split(",")[0])
        self.base = f"http://127.0.0.1:{self.port}"

    def alive(self):
        return self.process.poll() is None

    def memory_kib(self):
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def stop(self):
        """Stops it as its target says; its exit status, and what it wrote to stderr (a sanitizer's report, say)."""
        if self.process.poll() is None:
            self.target.stop(self.process)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        errors = read_to_end(self.process.stderr) if self.process.stderr else ""
        return self.process.returncode, errors


def raw_exchange(port, data, read_seconds=5.0):
    """Sends bytes on a fresh connection and returns everything read until the server closes or goes quiet."""
    with socket.create_connection(("127.0.0.1", port), timeout=read_seconds) as connection:
        try:
            connection.sendall(data)
        except OSError:
            pass
        chunks = []
        try:
            while True:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                chunks.append(chunk)
        except (socket.timeout, OSError):
            pass
    return b"".join(chunks)


class Scratch:
    """A scratch folder for one run: the simulator's link and the server's
    settings live in it, and every process started through it is stopped, and
    the folder removed, when the run ends, whatever happened."""

    def __init__(self, target=Native()):
        self.target = target
        self.folder = tempfile.mkdtemp(prefix="quillmoor-alpaca-")
        self.link = target.link(self.folder)
        self.missing_serial = target.missing_serial(self.folder)
        self.config = os.path.join(self.folder, "config")
        self.processes = []

    def simulator(self, program, *options):
        self.processes.append(Simulator(program, self.link, *options))
        return self.processes[-1]

    def server(self, program, *options, serial=None, env=None):
        self.processes.append(Server(program, serial or self.target.serial(self.link), self.config, *options, env=env,
                                     target=self.target))
        return self.processes[-1]

    def __enter__(self):
        return self

    def __exit__(self, *_):
        for process in reversed(self.processes):
            process.stop()
        shutil.rmtree(self.folder, ignore_errors=True)
