"""A simulated transmitter on COM5 for the program under Wine: a socat pty
pair mapped to COM5, the test stand-in of the CH341 library answering yes for
COM5, and tramsel-txsim on the other end. Other ports can be mapped beside
it; the library says no for them."""

import shutil
import subprocess
import time

from serialpeer import PtyPair
from winehost import BUILD, TESTBIN, poll

TXSIM = BUILD / "native" / "bin" / "tramsel-txsim"


class Transmitter:
    def __init__(self, wine, folder, *options, port="COM5", other_ports=None):
        self.folder = folder
        self.options = options
        self.pair = PtyPair(folder)
        wine.map_com_ports({**(other_ports or {}), port: self.pair.host})
        wine.app_file("lib").mkdir(exist_ok=True)
        shutil.copy(TESTBIN / "CH341PT.DLL", wine.app_file("lib", "CH341PT.DLL"))
        wine.env["TRAMSEL_CH341_PORTS"] = port.lower()
        self.program = folder / "received.txt"
        self.frames = folder / "frames.txt"
        self.start_simulator()

    def start_simulator(self):
        self.process = subprocess.Popen(
            [str(TXSIM), "--device", str(self.pair.peer), "--program", str(self.program),
             "--frames", str(self.frames), *map(str, self.options)],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        time.sleep(0.2)
        assert self.process.poll() is None, self.process.stderr.read().decode()

    def pull_out(self):
        """The adapter pulled out: the pty pair gone, then the simulator."""
        self.pair.kill()
        self.process.terminate()
        self.process.wait(timeout=30)

    def plug_in(self):
        """The adapter back on the same port, with a fresh simulator."""
        self.pair.start()
        self.start_simulator()

    def received_lines(self, timeout=30.0):
        poll(self.program.exists, timeout=timeout)
        return self.program.read_text(encoding="utf-8").split()

    def frame_log(self):
        return self.frames.read_text(encoding="utf-8") if self.frames.exists() else ""

    def requests(self):
        """(ms, command code) of every request read, from the frame log of a
        stopped simulator."""
        out = []
        for line in self.frame_log().splitlines():
            fields = line.split()
            if fields[1] == "<":
                out.append((float(fields[0]), int(fields[5], 16)))
        return out

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=30)
        self.pair.kill()
