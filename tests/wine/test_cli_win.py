"""tramsel-cli.exe, the Windows console build of the tramsel tool, under Wine:
finding the transmitter's port by itself, transfers and management commands
against the simulated transmitter, the real reply time-outs, an adapter
pulled out mid-transfer, and check/encode output byte for byte against the
Linux tool's."""

import json
import runpy
import shutil
import subprocess

import pytest

from serialpeer import JsonLines, PtyPair
from transmitter import Transmitter
from winehost import BUILD, ROOT, WineSession

LINUX_TOOL = BUILD / "native" / "bin" / "tramsel"
DATA = ROOT / "tests" / "data"
DIE = ROOT / "tests" / "link_e2e" / "die.3b"  # 10 blocks at capacity 64
TIMEOUT_MESSAGE = "串口发送超时,传送器没有响应.\r\n您要进行的操作可能已失败."
PORT_LOST_MESSAGE = "错误:\r\n正在发送数据时端口意外关闭!!"
REPLY_TIMEOUT_MS = 700


def cli(wine):
    return wine.app_file("tramsel-cli.exe")


def run_cli(wine, *args, timeout=120):
    """Runs the tool with --json: (exit status, shown objects, standard error)."""
    done = wine.run(cli(wine), *args, "--json", timeout=timeout, stderr=subprocess.PIPE)
    shown = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines() if line.strip()]
    return done.returncode, shown, done.stderr.decode("utf-8", "replace")


def messages(shown):
    return [s["text"] for s in shown if s["kind"] == "message"]


def statuses(shown):
    return [s["text"] for s in shown if s["kind"] == "status"]


# The sample files' lines as the simulator decodes them, as the Linux tool's
# end-to-end tests expect them.
decoded = runpy.run_path(str(ROOT / "tests" / "link_e2e" / "conftest.py"))["normalized_program"]


def copy_into(wine, path):
    folder = wine.app_file("work")
    folder.mkdir(exist_ok=True)
    shutil.copy(path, folder / path.name)
    return wine.windows_path("work", path.name)


@pytest.fixture(scope="module")
def shop(base_prefix, display, tmp_path_factory):
    """One prefix for the module: COM3 on a pty with nothing behind it that
    the CH341 library does not know, then COM5 with the transmitter."""
    folder = tmp_path_factory.mktemp("cli-shop")
    wine = WineSession(base_prefix, folder, display, "cli-shop")
    other = PtyPair(folder, "other")
    transmitter = Transmitter(wine, folder, other_ports={"COM3": other.host})
    peer = other.open_peer()
    yield wine, transmitter, peer
    peer.close()
    transmitter.stop()
    other.kill()
    wine.close()


def test_serialcomm_lists_the_other_port_before_the_transmitter(shop):
    wine, _, _ = shop
    listing = subprocess.run(["wine", "reg", "query", "HKLM\\Hardware\\DeviceMap\\SerialComm"], env=wine.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
    ports = [word for word in listing.stdout.decode("ascii", "replace").split() if word in ("COM3", "COM5")]
    assert ports == ["COM3", "COM5"]


@pytest.mark.parametrize("args, success", [
    (["send", "DIE"], "消息:\r\n文件传送完成!"),
    (["send", "--store", "DIE"], "消息:\r\n文件传送完成!"),
    (["send", "SMALL"], "恭喜\r\n代码传送成功!"),
    (["check-connection"], None),
    (["delete-current"], "消息:\r\n文件删除成功!"),
    (["clear-all"], "消息:\r\n文件删除成功!"),
    (["key-disable"], "消息:\r\n下载键为禁用状态!"),
    (["key-enable"], "消息:\r\n下载键为启用状态!"),
    (["allow-match"], "消息:\r\n设置成功!"),
])
def test_auto_port_finds_the_transmitter(shop, args, success):
    wine, transmitter, other = shop
    files = {"DIE": DIE, "SMALL": DATA / "program.3b"}
    sent = files.get(args[-1])
    if sent:
        args = [*args[:-1], copy_into(wine, sent)]
        transmitter.program.unlink(missing_ok=True)
    status, shown, err = run_cli(wine, *args)
    assert status == 0, (shown, err)
    assert "尚未连接\r\n正在尝试连接" in statuses(shown)
    if success is None:
        assert statuses(shown)[-1] == "链接成功\r\n待机中..."
        assert messages(shown) == []
    else:
        assert messages(shown) == [success]
    if sent:
        assert transmitter.received_lines() == decoded(sent)
    # The port that is not a CH341 port was passed over, never opened.
    assert other.read_available(0.1) == b""


# (command line, exit status), as the Linux tool's ctest cases run them.
CODE_CASES = [
    (["check", "{data}/program.3b"], 0),
    (["encode", "{data}/program.3b"], 0),
    (["encode", "--capacity", "30", "--jump-mode", "1", "--line-counter", "1", "{data}/program.3b"], 0),
    (["check", "{data}/faulty.3b"], 1),
    (["encode", "{data}/faulty.3b"], 1),
    (["check", "{data}/no-start.3b"], 1),
    (["check", "{data}/empty-image.3b"], 0),
    (["encode", "{data}/empty-image.3b"], 1),
    (["encode", "{data}/bad-bytes.3b"], 0),
    (["encode", "{data}/utf8.3b"], 0),
    (["encode", "--encoding", "UTF-8", "{data}/utf8.3b"], 0),
    (["encode", "--encoding", "CP936", "{data}/utf8.3b"], 0),
    (["check", "{data}/missing.3b"], 2),
    (["encode", "--capacity", "6x", "{data}/program.3b"], 2),
    (["check", "--encoding", "NO-SUCH-CHARSET", "{data}/program.3b"], 2),
    (["check", "{data}/program.3b", "{data}/faulty.3b"], 2),
    (["--help"], 0),
]


@pytest.mark.parametrize("args, status", CODE_CASES, ids=[" ".join(args) for args, _ in CODE_CASES])
def test_code_commands_print_the_linux_tools_bytes(shop, args, status):
    wine, _, _ = shop
    data = wine.app_file("data")
    if not data.exists():
        shutil.copytree(DATA, data)
    linux = subprocess.run([str(LINUX_TOOL), *[a.format(data=DATA) for a in args]],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
    windows = wine.run(cli(wine), *[a.format(data=wine.windows_path("data")) for a in args])
    assert linux.returncode == status
    assert windows.returncode == status
    if args == ["--help"]:
        # What --port and --encoding mean differs; the rest is the same.
        assert b"--port COMn|auto" in windows.stdout and b"SerialComm" in windows.stdout
        assert windows.stdout.split(b"LINK OPTIONS")[0] == linux.stdout.split(b"LINK OPTIONS")[0]
    else:
        assert windows.stdout == linux.stdout


@pytest.fixture
def line(wine, tmp_path, request):
    transmitter = Transmitter(wine, tmp_path, *getattr(request, "param", ()))
    yield transmitter
    transmitter.stop()


# Requests: 1 connect, 2 capacity, 3 sub station, 4 prepare, 5 line
# settings, 6 start, 7 first block, 8 block 1.
@pytest.mark.parametrize("line, args, command, sent", [
    (("--silent-from", "2"), ["key-disable"], 56, 5),
    (("--silent-from", "8"), ["send", "DIE"], 25, 10),
], indirect=["line"], ids=["management", "block"])
def test_unanswered_request_goes_out_again_every_700_ms_then_gives_up(wine, line, args, command, sent):
    if args[-1] == "DIE":
        args = [*args[:-1], copy_into(wine, DIE)]
    wine.env["TRAMSEL_REPORT_TIMER_PERIODS"] = "1"
    status, shown, err = run_cli(wine, *args, "--port", "COM5")
    assert status == 1
    assert messages(shown) == [TIMEOUT_MESSAGE]
    line.stop()
    times = [t for t, code in line.requests() if code == command]
    assert len(times) == sent
    for earlier, later in zip(times, times[1:]):
        assert REPLY_TIMEOUT_MS - 50 <= later - earlier <= 2 * REPLY_TIMEOUT_MS
    periods = [l for l in err.splitlines() if "timer resolution periods" in l]
    assert len(periods) == 1, err
    begun, ended = [int(word.strip(",")) for word in periods[0].split() if word.strip(",").isdigit()]
    assert begun == ended and begun >= sent


@pytest.mark.parametrize("line", [("--pace",)], indirect=True)
def test_adapter_pulled_out_mid_transfer_and_found_again(wine, line):
    program = copy_into(wine, DIE)
    process = wine.start(cli(wine), "send", program, "--json", stderr=subprocess.DEVNULL)
    shown = JsonLines(process.stdout)
    shown.expect(lambda s: s["text"].startswith("下载中....\r\n正在发送3包"), timeout=60)
    line.pull_out()
    message = shown.expect(lambda s: s["kind"] == "message", timeout=30)
    assert message["text"] == PORT_LOST_MESSAGE
    assert process.wait(timeout=30) == 1

    line.plug_in()
    status, shown, err = run_cli(wine, "send", program)
    assert status == 0, (shown, err)
    assert messages(shown) == ["消息:\r\n文件传送完成!"]
    assert line.received_lines() == decoded(DIE)
