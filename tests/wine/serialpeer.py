"""The Linux end of a COM port under Wine: a socat pty pair whose one end Wine
opens as COMn, and helpers to read JSON lines from a Windows program."""

import json
import os
import queue
import select
import signal
import subprocess
import threading
import time
import tty
from pathlib import Path


class PtyPair:
    """socat pty,link=<host> pty,link=<peer>: Wine opens `host`, the test or
    the simulator the `peer` end. Killing socat is a USB adapter pulled out;
    starting it again with the same links brings the port back."""

    def __init__(self, folder, name="tty"):
        self.host = Path(folder) / f"{name}Host"
        self.peer = Path(folder) / f"{name}Peer"
        self.process = None
        self.start()

    def start(self):
        self.process = subprocess.Popen(
            ["socat", f"pty,raw,echo=0,link={self.host}", f"pty,raw,echo=0,link={self.peer}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not (self.host.exists() and self.peer.exists()):
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("socat did not create its ptys")
            time.sleep(0.02)

    def kill(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()
        self.process = None
        # socat killed outright leaves its links behind, pointing nowhere.
        for link in (self.host, self.peer):
            if link.is_symlink():
                link.unlink()

    def open_peer(self):
        return PeerEnd(self.peer)


class PeerEnd:
    """The test's end of the line: raw, non-blocking."""

    def __init__(self, path):
        self.fd = os.open(str(path), os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)
        self.received = b""

    def write(self, data):
        os.write(self.fd, data)

    def read_available(self, wait=0.0):
        """Everything that arrives within `wait` seconds (at least what is there)."""
        deadline = time.monotonic() + wait
        while True:
            ready, _, _ = select.select([self.fd], [], [], max(0.0, deadline - time.monotonic()))
            if ready:
                try:
                    chunk = os.read(self.fd, 4096)
                except (BlockingIOError, OSError):
                    chunk = b""
                self.received += chunk
                if chunk:
                    continue
            if time.monotonic() >= deadline:
                return self.received

    def read_until(self, size, timeout=30.0):
        deadline = time.monotonic() + timeout
        while len(self.received) < size:
            if time.monotonic() > deadline:
                raise AssertionError(f"peer got {self.received.hex()} only")
            self.read_available(0.05)
        data, self.received = self.received[:size], self.received[size:]
        return data

    def close(self):
        os.close(self.fd)


class JsonLines:
    """Collects the JSON objects a program prints, one a line, on a thread."""

    def __init__(self, stream):
        self.objects = []
        self._taken = set()
        self._queue = queue.Queue()
        self._thread = threading.Thread(target=self._pump, args=(stream,), daemon=True)
        self._thread.start()

    def _pump(self, stream):
        for line in stream:
            line = line.strip()
            if line:
                self._queue.put(json.loads(line.decode("utf-8")))
        self._queue.put(None)

    def expect(self, predicate, timeout=30.0):
        """The first object not yet expected that satisfies predicate, waiting
        for it up to the time-out; everything read is kept in `objects`."""
        index = 0
        deadline = time.monotonic() + timeout
        while True:
            for index in range(index, len(self.objects)):
                if index not in self._taken and predicate(self.objects[index]):
                    self._taken.add(index)
                    return self.objects[index]
            index = len(self.objects)
            try:
                obj = self._queue.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                raise AssertionError(f"nothing expected within {timeout} s; got {self.objects}")
            if obj is None:
                self._queue.put(None)
                raise AssertionError(f"the program ended; got {self.objects}")
            self.objects.append(obj)
