"""tramsel send and the management commands end to end, against tramsel-txsim."""
import json
import subprocess

import pytest

from conftest import (DATA, ROOT, RUN_LIMIT, TIMEOUT_MESSAGE, TRAMSEL, messages, normalized_program, run_tramsel,
                      statuses)

DIE = DATA / "die.3b"                      # 10 blocks at capacity 64
SMALL = ROOT / "tests" / "data" / "program.3b"  # 1 block


@pytest.mark.parametrize("program, mode, success", [
    (DIE, "direct", "消息:\r\n文件传送完成!"),
    (DIE, "store", "消息:\r\n文件传送完成!"),
    (SMALL, "direct", "恭喜\r\n代码传送成功!"),   # small direct transfer: ends with 59
    (SMALL, "store", "消息:\r\n文件传送完成!"),
])
def test_program_arrives_exactly(pty, simulator, program, mode, success):
    sim = simulator()
    store = ["--store"] if mode == "store" else []
    status, shown, err = run_tramsel("send", "--port", pty.host, *store, program)
    assert status == 0, (shown, err)
    assert messages(shown) == [success]
    assert sim.received_lines() == normalized_program(program)
    if program == SMALL and mode == "direct":
        assert "文件传送完成\r\n等待传送器下载完成" in statuses(shown)


def test_settings_reach_the_transmitter(pty, simulator, tmp_path):
    # A configuration file with two machines; the second is addressed, with
    # jump codes generated and the line count left out.
    row1 = "机台1@2@1@高电平同步@标准@10@210@64"
    row2 = "线切割2@7@3@低电平同步@较快@12@210@40"
    config = "\r\n".join([
        "Vorlane 线切割TramselV0.2配置文件", *["联系方式: 测试"] * 4,
        "默认端口:_Defaultport@COM1", "当前机台:_CurMacNum@1",
        "机台配置:_MacCFG@" + row1, "机台配置:_MacCFG@" + row2,
        "行数统计方式:_LinCounterType@1", "跳步代码处理方式:_JmpCodeProcessType@1", "End of Cfgfile"])
    path = tmp_path / "Vorlane.cfg"
    path.write_bytes(config.encode("gbk"))
    sim = simulator("--station", 7, "--capacity", 40)
    status, shown, err = run_tramsel("send", "--port", pty.host, "--config", path, "--machine", 2, "--store", DIE)
    assert status == 0, (shown, err)
    assert sim.received_lines() == normalized_program(DIE, jump_mode=1)
    frames = sim.frames.read_text()
    # 54 with sub station 3; line settings 80@80@12@12; the end reports 0 lines.
    assert "(sub station 3)" in frames
    assert " 38 30 40 38 30 40 31 32 40 31 32 00 " in frames
    assert "FE 30 00" in frames


@pytest.mark.parametrize("command, text", [
    ("check-connection", None),
    ("delete-current", "消息:\r\n文件删除成功!"),
    ("clear-all", "消息:\r\n文件删除成功!"),
    ("key-disable", "消息:\r\n下载键为禁用状态!"),
    ("key-enable", "消息:\r\n下载键为启用状态!"),
    ("allow-match", "消息:\r\n设置成功!"),
])
def test_management_commands(pty, simulator, command, text):
    simulator()
    status, shown, err = run_tramsel(command, "--port", pty.host)
    assert status == 0, (shown, err)
    if text is None:
        assert statuses(shown)[-1] == "链接成功\r\n待机中..."
        assert messages(shown) == []
    else:
        assert messages(shown) == [text]


def test_new_transmitter_gets_the_station(pty, simulator):
    sim = simulator("--station", 9)
    status, shown, err = run_tramsel("check-connection", "--port", pty.host, "--station", 4, "--yes")
    assert status == 0, (shown, err)
    question = [s for s in shown if s["kind"] == "question"]
    assert [(q["caption"], q["answer"]) for q in question] == [("发现新设备", "ok")]
    assert "主站号: 4 不相符,是否自动更改新传送器站号为: 4 ?" in question[0]["text"]
    assert messages(shown) == ["消息:\r\n主站号修改成功!"]
    assert statuses(shown)[-1] == "链接成功\r\n待机中..."
    assert "station changed to 4" in "\n".join(sim.log)


def test_transmitter_faults_are_ridden_out(pty, simulator):
    # Requests 1 connect, 2 capacity, 3 sub station, 4 prepare, 5 line
    # settings, 6 start, 7 first block, 8... blocks.
    sim = simulator("--busy", "4:300", "--repeat", "6", "--split-at", "2,8", "--merge-at", "9",
                    "--drop-at", "10", "--corrupt-at", "12")
    status, shown, err = run_tramsel("send", "--port", pty.host, DIE)
    assert status == 0, (shown, err)
    assert sim.received_lines() == normalized_program(DIE)
    frames = sim.frames.read_text()
    for note in ("busy 300 ms", "asked to send again", "split", "held to merge", "dropped", "corrupted",
                 "again: asking"):
        assert note in frames


def test_end_acknowledgement_and_59_read_together(pty, simulator):
    # Request 9 is the end of data of the one-block program; its answer is
    # held and goes out in one write with the 59 that follows 20 ms later.
    sim = simulator("--merge-at", 9, "--done-delay", 20)
    status, shown, err = run_tramsel("send", "--port", pty.host, SMALL)
    assert status == 0, (shown, err)
    assert messages(shown) == ["恭喜\r\n代码传送成功!"]
    assert "merged with the next frame" in sim.frames.read_text()


def test_transmitter_cancel_with_its_reason(pty, simulator):
    sim = simulator("--cancel", "3:5")
    status, shown, err = run_tramsel("send", "--port", pty.host, DIE)
    assert status == 1
    assert messages(shown) == ["传送器取消了传送!请检查单板机及传输器是否出错\r\n\r\n\r\n\r\n附加消息:无"]
    assert sim.received_lines() is None


def test_silent_transmitter_times_out(pty, simulator):
    simulator("--silent-from", 3)  # the connect and the capacity are answered, nothing after
    status, shown, err = run_tramsel("send", "--port", pty.host, DIE)
    assert status == 1
    assert messages(shown) == [TIMEOUT_MESSAGE]


def test_no_transmitter_gives_up_at_the_question(pty, simulator):
    simulator("--silent-from", 1)
    status, shown, err = run_tramsel("check-connection", "--port", pty.host)
    assert status == 1
    question = [s for s in shown if s["kind"] == "question"]
    assert [(q["caption"], q["text"], q["answer"]) for q in question] == [
        ("连接超时", "连接传送器超时,是否继续连接??", "cancel")]
    assert statuses(shown)[-1] == "消息:\r\n无法连接到传送器"


def test_waiting_on_the_transmitter_is_bounded(pty, simulator):
    simulator("--first-block", 0)  # asks for no block: the link waits without a time-out
    status, shown, err = run_tramsel("send", "--port", pty.host, "--wait-limit", 1, DIE)
    assert status == 1
    assert "said nothing more for 1 s" in err
    assert statuses(shown)[-1] == "下载中....\r\n正在发送0包,共10包"


def test_usage_and_file_errors(pty, tmp_path):
    for args in (["send", "--port", pty.host, tmp_path / "missing.3b"],
                 ["send", "--port", pty.host, "--config", tmp_path / "missing.cfg", DIE],
                 ["send", "--port", pty.host, "--machine", 2, DIE],
                 ["send", "--port", pty.host, "--speed", 7, DIE],
                 ["send", "--port", pty.host, "--yes", "--no", DIE],
                 ["check-connection", "--port", pty.host, DIE]):
        status, shown, err = run_tramsel(*args)
        assert status == 2, args
        assert shown == [] and err, args


def test_port_lost_mid_transfer_ends_the_command(pty, simulator):
    simulator("--pace")
    process = subprocess.Popen([str(TRAMSEL), "send", "--port", pty.host, DIE, "--json"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    for line in process.stdout:
        if json.loads(line)["text"].startswith("下载中....\r\n正在发送3包"):
            break
    pty.close()
    out, _ = process.communicate(timeout=RUN_LIMIT)
    assert process.returncode == 1
    assert messages([json.loads(line) for line in out.splitlines()]) == ["错误:\r\n正在发送数据时端口意外关闭!!"]
