"""The link's Windows host under Wine, without the link: the serial control,
the port directory with the CH341 test, the reply timer and WaitPumping,
driven through the probe program against a pty on the other end of COM5."""

import shutil
import subprocess

import pytest

from serialpeer import JsonLines, PtyPair
from winehost import TESTBIN

FRAME = bytes.fromhex("0101013231300303")  # a reply, as the transmitter would send it


class Probe:
    def __init__(self, wine):
        shutil.copy(TESTBIN / "linkprobe.exe", wine.app_file("linkprobe.exe"))
        self.process = wine.start(wine.app_file("linkprobe.exe"), stdin=subprocess.PIPE)
        self.out = JsonLines(self.process.stdout)
        self.out.expect(lambda o: "ready" in o, timeout=60)

    def send(self, command):
        self.process.stdin.write((command + "\n").encode())
        self.process.stdin.flush()

    def ask(self, command, key, timeout=30.0):
        self.send(command)
        return self.out.expect(lambda o: key in o, timeout=timeout)

    def event(self, name, timeout=30.0):
        return self.out.expect(lambda o: o.get("event") == name, timeout=timeout)

    def quit(self):
        self.send("quit")
        assert self.process.wait(timeout=60) == 0


@pytest.fixture
def line(wine, tmp_path):
    """COM5 on a pty pair; COM3 registered with no device behind it."""
    pair = PtyPair(tmp_path)
    wine.map_com_ports({"COM3": tmp_path / "absent", "COM5": pair.host})
    yield pair
    pair.kill()


def with_stub_library(wine, ch341_ports):
    wine.app_file("lib").mkdir(exist_ok=True)
    shutil.copy(TESTBIN / "CH341PT.DLL", wine.app_file("lib", "CH341PT.DLL"))
    wine.env["TRAMSEL_CH341_PORTS"] = ch341_ports


def test_ports_come_from_serialcomm_and_the_vendor_library_answers(wine, line):
    with_stub_library(wine, "com5")
    probe = Probe(wine)
    ports = probe.ask("ports", "ports")["ports"]
    names = [port["name"] for port in ports]
    # Wine also registers /dev/ttyS0 as COM1 where the machine has one.
    assert [name for name in names if name != "COM1"] == ["COM3", "COM5"]
    assert {port["name"]: port["ch341"] for port in ports if port["name"] != "COM1"} == {
        "COM3": False, "COM5": True}
    probe.quit()


def test_without_the_vendor_library_the_device_answers(wine, line):
    # Wine's ports have no USB device of the chip's vendor behind them.
    probe = Probe(wine)
    ports = probe.ask("ports", "ports")["ports"]
    assert "COM5" in [port["name"] for port in ports]
    assert not any(port["ch341"] for port in ports)
    probe.quit()


def test_frames_both_ways_with_the_receive_threshold_and_stale_bytes_dropped(wine, line):
    probe = Probe(wine)
    peer = line.open_peer()
    peer.write(b"stale bytes before the port was opened")
    assert probe.ask("open 5", "open")["ok"]

    probe.ask("write 0201010403", "write")
    assert peer.read_until(5) == bytes.fromhex("0201010403")
    assert probe.event("send")

    # Three bytes stay below the threshold of 4; the rest completes the frame.
    peer.write(FRAME[:3])
    peer.read_available(0.3)
    peer.write(FRAME[3:])
    assert probe.event("receive")["hex"] == FRAME.hex()
    probe.ask("close", "closed")
    probe.quit()
    receives = [o for o in probe.out.objects if o.get("event") == "receive"]
    assert len(receives) == 1, receives


def test_notifications_run_inside_waitpumping_and_not_inside_a_plain_sleep(wine, line):
    probe = Probe(wine)
    peer = line.open_peer()
    assert probe.ask("open 5", "open")["ok"]

    probe.send("wait 3000")
    peer.write(FRAME)
    assert probe.event("receive")["inWait"]
    assert probe.out.expect(lambda o: "waited" in o)

    probe.send("block 1500")
    peer.write(FRAME)
    blocked = probe.out.expect(lambda o: "blocked" in o)
    received = probe.event("receive")
    assert not received["inWait"]
    assert probe.out.objects.index(blocked) < probe.out.objects.index(received)
    probe.quit()


def test_reply_timer_expires_once_and_keeps_its_resolution_period_until_disarmed(wine):
    probe = Probe(wine)
    armed = probe.ask("arm 700", "armed")
    expired = probe.out.expect(lambda o: "expired" in o, timeout=30)
    assert expired["expired"] == armed["armed"]
    assert expired["t"] - armed["t"] >= 690
    counts = probe.ask("counts", "begun")
    assert (counts["begun"], counts["ended"]) == (1, 0)
    probe.ask(f"disarm {armed['armed']}", "disarmed")

    # Disarmed before its time: no expiry, even within a wait that dispatches.
    second = probe.ask("arm 200", "armed")["armed"]
    assert second != armed["armed"]
    probe.ask(f"disarm {second}", "disarmed")
    probe.ask("wait 1000", "waited")
    counts = probe.ask("counts", "begun")
    assert (counts["begun"], counts["ended"]) == (2, 2)
    probe.quit()
    assert [o["expired"] for o in probe.out.objects if "expired" in o] == [armed["armed"]]


def test_missing_port_and_port_pulled_while_open(wine, line):
    probe = Probe(wine)
    assert not probe.ask("open 3", "open")["ok"]
    assert probe.ask("open 5", "open")["ok"]

    line.kill()
    # The I/O thread sees the device go; from then on a write fails.
    for _ in range(100):
        if not probe.ask("write 0201010403", "write")["write"]:
            break
    else:
        pytest.fail("writes kept succeeding on a port that is gone")
    assert not probe.ask("close", "closed")["portOpen"]
    assert not probe.ask("open 5", "open")["ok"]

    line.start()
    peer = line.open_peer()
    assert probe.ask("open 5", "open")["ok"]
    probe.ask("write 0201010403", "write")
    assert peer.read_until(5) == bytes.fromhex("0201010403")
    peer.write(FRAME)
    assert probe.event("receive")["hex"] == FRAME.hex()
    probe.quit()
