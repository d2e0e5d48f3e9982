"""Transfers from the main window to the simulated transmitter under Wine."""

import json

import pytest

from transmitter import Transmitter
from winehost import FIRST_MACHINE, MAIN_TITLE, configuration_bytes, poll

SEND_DIALOG = "传送中....."


def program(lines):
    return "\r\n".join(["/* 测试程序 */", *lines, "DD", ""])


def moves(count, start=1):
    """count distinct 10-byte move lines (five to a block at capacity 64)."""
    return [f"B {start + k:02d} B 0 B {start + k:02d} GX L1" for k in range(count)]


def on_the_wire(text):
    """How a payload appears in the simulator's frame log."""
    return " ".join(f"{byte:02X}" for byte in text.encode("ascii")) + " 00 "


def decoded(lines):
    return [line.replace(" ", "").upper() for line in lines] + ["DD"]


@pytest.fixture
def line(wine, tmp_path, request):
    options = getattr(request, "param", ())
    transmitter = Transmitter(wine, tmp_path, *options)
    yield transmitter
    transmitter.stop()


def load(wine, text, name="job.3b"):
    folder = wine.app_file("work")
    folder.mkdir(exist_ok=True)
    (folder / name).write_bytes(text.encode("cp936"))
    wine.copydata("--text", wine.windows_path("work", name))
    poll(lambda: wine.text(1044) == name)


class StatusWatch:
    """Every text the status line shows, sampled inside Wine every 10 ms."""

    def __init__(self, wine, until, timeout_ms=60000):
        self.process = wine.start(
            wine_driver(), "watch", MAIN_TITLE, "1031", "--until", until, "--timeout", str(timeout_ms))

    def texts(self, timeout=90):
        out, _ = self.process.communicate(timeout=timeout)
        return [json.loads(line)["text"] for line in out.decode("utf-8").splitlines() if line.strip()]


def wine_driver():
    from winehost import TESTBIN
    return TESTBIN / "windriver.exe"


def finish(wine, text, timeout_ms=60000):
    box = wine.wait_box(timeout_ms)
    assert box["text"] == text, box
    wine.press(box, 1)
    return box


# Paced at 9600 baud, every block's status text stays up for the wire time of
# the block (about 65 ms), long enough for the 10 ms sampling to see it.
@pytest.mark.parametrize("line", [("--pace",)], indirect=True)
def test_direct_transfer_of_three_blocks_ends_with_code_59(wine, line):
    code = moves(13)
    wine.start_app_and_wait()
    load(wine, program(code))
    watch = StatusWatch(wine, "传送完成...")
    wine.click(1001)
    poll(lambda: wine.driver_one("state", SEND_DIALOG).get("visible"), timeout=60)
    wine.screenshot("progress-dialog")
    box = wine.wait_box(60000)
    wine.screenshot("success-box")
    assert box["caption"] == "Tramsel" and box["text"] == "恭喜\r\n代码传送成功!"
    wine.press(box, 1)
    statuses = watch.texts()
    for expected in ["设备已连接\r\n等待更新数据", "文件解析成功....", "消息:\r\n传送已开始!!",
                     "下载中....\r\n正在发送1包,共3包", "下载中....\r\n正在发送3包,共3包",
                     "文件传送完成\r\n等待传送器下载完成", "传送完成..."]:
        assert expected in statuses, statuses
    assert statuses.index("下载中....\r\n正在发送3包,共3包") < statuses.index("文件传送完成\r\n等待传送器下载完成")
    assert not wine.driver_one("state", SEND_DIALOG)["found"]
    assert line.received_lines() == decoded(code)


def test_direct_transfer_of_six_blocks_ends_at_the_end_of_data(wine, line):
    code = moves(28)
    wine.start_app_and_wait()
    load(wine, program(code))
    wine.click(1001)
    finish(wine, "消息:\r\n文件传送完成!")
    assert wine.text(1031) == "文件传送完成\r\n"
    assert line.received_lines() == decoded(code)


def test_store_transfer_carries_the_store_mode_in_the_line_settings(wine, line):
    code = moves(7)
    wine.start_app_and_wait()
    load(wine, program(code))
    wine.click(1002)
    finish(wine, "消息:\r\n文件传送完成!")
    assert line.received_lines() == decoded(code)
    assert on_the_wire("100@100@10@11") in line.frame_log()


@pytest.mark.parametrize("line", [("--version", "150")], indirect=True)
def test_store_refused_at_version_150_turns_direct(wine, line):
    code = moves(4)
    wine.start_app_and_wait()
    load(wine, program(code))
    wine.click(1002)
    question = wine.wait_box(60000)
    assert question["caption"] == "不支持的传送模式"
    assert question["text"] == "该传送器不支持离线传送,是否转为在线模式?"
    assert [b["id"] for b in question["buttons"]] == [1, 2]
    wine.press(question, 1)
    finish(wine, "恭喜\r\n代码传送成功!")
    assert on_the_wire("100@100@10@1") in line.frame_log()
    assert line.received_lines() == decoded(code)


def test_parse_error_selects_the_faulty_line(wine, line):
    wine.start_app_and_wait()
    load(wine, "B60B0B60GXL3\r\nHELLO\r\nDD")
    wine.click(1001)
    finish(wine, "代码格式有误,应该以“B”或“D”作为起始指令")
    box = wine.wait_box(30000)
    assert box["text"] == "代码在2行解析出错, 请检查哦."
    wine.press(box, 1)
    poll(lambda: wine.text(1031) == "解析文件错误")
    # The faulty line is selected once the message is closed: "HELLO", after
    # the first line and its line break.
    selection = wine.driver_one("selection", MAIN_TITLE, "1013")
    assert (selection["start"], selection["end"]) == (13, 18)
    assert not line.program.exists()


def sending_block(status):
    """The block number of a "下载中....\r\n正在发送N包,共M包" status, else 0."""
    prefix = "下载中....\r\n正在发送"
    return int(status[len(prefix):].split("包")[0]) if status.startswith(prefix) else 0


@pytest.mark.parametrize("line", [("--pace",)], indirect=True)
def test_cancel_from_the_progress_dialog(wine, line):
    wine.start_app_and_wait()
    # 60 blocks take about 5 s at 9600 baud: time enough to see the loop
    # running and press cancel before it ends.
    load(wine, program(moves(300)))
    wine.click(1001)
    poll(lambda: sending_block(wine.text(1031)) >= 3, timeout=60)
    wine.click(1055, caption=SEND_DIALOG)
    finish(wine, "消息:\r\n下载已取消!!")
    assert wine.text(1031) == "\r\n下载已取消..."
    assert not line.program.exists()


@pytest.mark.parametrize("line", [("--cancel", "2:11")], indirect=True)
def test_transmitter_cancel_shows_its_reason(wine, line):
    wine.start_app_and_wait()
    load(wine, program(moves(20)))
    wine.click(1001)
    finish(wine, "传送器取消了传送!请检查单板机及传输器是否出错\r\n\r\n\r\n\r\n附加消息:传送器正在进行传送")
    assert wine.text(1031) == "\r\n传送已取消..."
    assert not wine.driver_one("state", SEND_DIALOG)["found"]


@pytest.mark.parametrize("line", [("--silent-from", "8")], indirect=True)
def test_silent_transmitter_ends_in_the_time_out_message(wine, line):
    wine.start_app_and_wait()
    load(wine, program(moves(20)))
    wine.click(1001)
    finish(wine, "串口发送超时,传送器没有响应.\r\n您要进行的操作可能已失败.")
    # The progress dialog stays until the operator closes it.
    assert wine.driver_one("state", SEND_DIALOG)["found"]


WM_COMMAND, CB_SETCURSEL, CBN_SELCHANGE = 0x0111, 0x014E, 1
WM_MAIN_EVENT, EVENT_FOLDER_FILE = 0x0465, 7


def two_machines(wine):
    """A configuration with a second machine on the same master station."""
    folder = "C:\\Tramsel\\work"
    machines = (FIRST_MACHINE, "机台2@2@2@低电平应答@快@10@0@64")
    wine.app_file("Vorlane.cfg").write_bytes(configuration_bytes(folder, folder, machines))


def choose(wine, caption, list_id, index):
    """Chooses an entry of a drop-down list as the operator does."""
    wine.driver_one("post-control", caption, str(list_id), str(CB_SETCURSEL), str(index), "0")
    wine.driver_one("post", caption, str(WM_COMMAND), str((CBN_SELCHANGE << 16) | list_id), "0")


def test_choosing_a_machine_shows_its_settings_and_checks_it(wine, line):
    two_machines(wine)
    wine.start_app_and_wait()
    assert (wine.text(1047), wine.text(1048)) == ("高电平同步", "标准")
    choose(wine, MAIN_TITLE, 1080, 1)
    poll(lambda: wine.text(1048) == "快")
    assert wine.text(1047) == "低电平应答"
    poll(lambda: wine.text(1031) == "链接成功\r\n待机中...", timeout=60)
    assert wine.boxes() == []


def test_folder_file_lets_the_operator_choose_machine_and_mode(wine, line):
    two_machines(wine)
    code = moves(3)
    wine.start_app_and_wait()
    load(wine, program(code))
    wine.post(WM_MAIN_EVENT, EVENT_FOLDER_FILE)
    poll(lambda: wine.driver_one("state", "机台选择")["found"])
    choose(wine, "机台选择", 1079, 1)
    wine.click(3, caption="机台选择")
    finish(wine, "消息:\r\n文件传送完成!")
    assert not wine.driver_one("state", "机台选择")["found"]
    assert wine.text(1080) == "机台2"
    assert line.received_lines() == decoded(code)
    # Stored in the box with the second machine's speed (快: 50) and mode (4).
    assert on_the_wire("50@50@10@14") in line.frame_log()
