"""A simulated transmitter on COM5 for the program under Wine: a socat pty
pair mapped to COM5, the test stand-in of the CH341 library answering yes for
COM5, and tramsel-txsim on the other end."""

import shutil
import subprocess
import time

from serialpeer import PtyPair
from winehost import BUILD, TESTBIN, poll

TXSIM = BUILD / "native" / "bin" / "tramsel-txsim"


class Transmitter:
    def __init__(self, wine, folder, *options, port="COM5"):
        self.folder = folder
        self.pair = PtyPair(folder)
        wine.map_com_ports({port: self.pair.host})
        wine.app_file("lib").mkdir(exist_ok=True)
        shutil.copy(TESTBIN / "CH341PT.DLL", wine.app_file("lib", "CH341PT.DLL"))
        wine.env["TRAMSEL_CH341_PORTS"] = port.lower()
        self.program = folder / "received.txt"
        self.frames = folder / "frames.txt"
        self.process = subprocess.Popen(
            [str(TXSIM), "--device", str(self.pair.peer), "--program", str(self.program),
             "--frames", str(self.frames), *map(str, options)],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        time.sleep(0.2)
        assert self.process.poll() is None, self.process.stderr.read().decode()

    def received_lines(self, timeout=30.0):
        poll(self.program.exists, timeout=timeout)
        return self.program.read_text(encoding="utf-8").split()

    def frame_log(self):
        return self.frames.read_text(encoding="utf-8") if self.frames.exists() else ""

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=30)
        self.pair.kill()
