"""The tramsel tool against the simulated transmitter over a socat pty pair.

The tools are taken from TRAMSEL_BIN (default: build/native/bin of this tree).
"""
import json
import os
import pathlib
import shutil
import signal
import subprocess
import threading
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BIN = pathlib.Path(os.environ.get("TRAMSEL_BIN", ROOT / "build" / "native" / "bin"))
TRAMSEL = BIN / "tramsel"
TXSIM = BIN / "tramsel-txsim"
DATA = pathlib.Path(__file__).resolve().parent

# Generous limits for things that take well under a second; no test relies on
# them for its verdict.
START_LIMIT = 10
RUN_LIMIT = 120

TIMEOUT_MESSAGE = "串口发送超时,传送器没有响应.\r\n您要进行的操作可能已失败."


def pytest_collection_modifyitems(items):
    missing = [str(p) for p in (TRAMSEL, TXSIM) if not p.exists()]
    if shutil.which("socat") is None:
        missing.append("socat")
    if missing:
        skip = pytest.mark.skip(reason="needs " + ", ".join(missing))
        for item in items:
            item.add_marker(skip)


class PtyPair:
    """Two linked pseudo-terminals: the host opens `host`, the simulator `sim`."""

    def __init__(self, folder):
        self.host = str(folder / "ttyHost")
        self.sim = str(folder / "ttySim")
        self.process = subprocess.Popen(
            ["socat", f"pty,raw,echo=0,link={self.host}", f"pty,raw,echo=0,link={self.sim}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + START_LIMIT
        while not (os.path.exists(self.host) and os.path.exists(self.sim)):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("socat did not make its ptys: " + self.process.stderr.read().decode())
            time.sleep(0.01)

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=START_LIMIT)


class Simulator:
    """tramsel-txsim on one pty, with its program and frame files in `folder`."""

    def __init__(self, pty, folder, *options):
        self.program = folder / "received.3b"
        self.frames = folder / "frames.txt"
        for f in (self.program, self.frames):
            if f.exists():
                f.unlink()
        self.process = subprocess.Popen(
            [str(TXSIM), "--device", pty.sim, "--program", str(self.program), "--frames", str(self.frames),
             *map(str, options)],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.log = []
        ready = threading.Event()

        def read():
            for line in self.process.stderr:
                self.log.append(line.rstrip("\n"))
                if "ready on" in line:
                    ready.set()
            ready.set()

        self.reader = threading.Thread(target=read, daemon=True)
        self.reader.start()
        if not ready.wait(START_LIMIT) or self.process.poll() is not None:
            raise RuntimeError("tramsel-txsim did not start: " + "\n".join(self.log))

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=START_LIMIT)
        self.reader.join(timeout=START_LIMIT)

    def received_lines(self):
        return self.program.read_text().splitlines() if self.program.exists() else None


def run_tramsel(*args):
    """Runs tramsel with --json; its exit status and the decoded output lines."""
    done = subprocess.run([str(TRAMSEL), *map(str, args), "--json"], capture_output=True, text=True,
                          timeout=RUN_LIMIT)
    shown = [json.loads(line) for line in done.stdout.splitlines()]
    return done.returncode, shown, done.stderr


def messages(shown):
    return [s["text"] for s in shown if s["kind"] == "message"]


def statuses(shown):
    return [s["text"] for s in shown if s["kind"] == "status"]


def normalized_program(path, jump_mode=0):
    """The lines of a 3B file in the form the transmitter decodes them to, for
    the well-formed sample files of these tests: from the first line that
    starts with B, D or N (not N0), without spaces, comments, "/" tails and
    labels, from the first B; "J" after a "/J" line in jump mode 1; up to DD."""
    text = path.read_bytes().decode("gbk")
    lines = text.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    out = []
    started = False
    for line in lines:
        t = line.upper().replace(" ", "")
        if not started:
            if not (t.startswith("B") or t.startswith("D") or (t.startswith("N") and not t.startswith("N0"))):
                continue
            started = True
        jump = False
        if ";" in t:
            t = t[:t.index(";")]
        if "/" in t:
            jump = t[t.index("/") + 1:t.index("/") + 2] == "J"
            t = t[:t.index("/")]
        if ":" in t:
            t = t[t.index(":") + 1:]
        if "B" in t:
            out.append(t[t.index("B"):] + ("J" if jump and jump_mode == 1 else ""))
        elif "D" in t:
            out.append("DD" if t[t.index("D") + 1:].startswith("D") else "D")
            if out[-1] == "DD":
                break
    return out


@pytest.fixture
def pty(tmp_path):
    pair = PtyPair(tmp_path)
    yield pair
    pair.close()


@pytest.fixture
def simulator(pty, tmp_path):
    """Starts a simulator with the given options; stopped after the test."""
    started = []

    def start(*options):
        sim = Simulator(pty, tmp_path, *options)
        started.append(sim)
        return sim

    yield start
    for sim in started:
        sim.stop()
