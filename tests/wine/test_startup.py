"""Start-up, single instance and the configuration file under Wine."""

import json

import pytest

from winehost import MAIN_TITLE, TESTBIN, configuration_bytes, poll


def windows_view(path):
    return "Z:" + str(path).replace("/", "\\")


def read_log(path):
    if not path.exists():
        return []
    return [json.loads(line) for line in path.read_text(encoding="utf-8").splitlines() if line.strip()]


def test_main_window_starts_with_its_caption_and_closes(wine):
    app = wine.start_app()
    state = wine.wait_main_window()
    assert state["visible"]
    assert wine.boxes() == []
    wine.screenshot("main-window")
    wine.driver_one("close", MAIN_TITLE)
    assert wine.wait_exit(app) == 0


@pytest.mark.parametrize(
    "args, mode, expected",
    [
        (["C:\\cam\\piece 1.3b/hello"], "--hidden", "C:\\cam\\piece 1.3b/hello"),
        ([""], "--minimized", ""),
        (["a", "b"], "--hidden", None),
        ([], "--minimized", None),
    ],
    ids=["one-argument", "empty-argument", "two-arguments", "no-argument"],
)
def test_second_start_forwards_its_argument_and_ends(wine, tmp_path, args, mode, expected):
    log = tmp_path / "first.jsonl"
    wine.start(TESTBIN / "windriver.exe", "fake-instance", MAIN_TITLE, windows_view(log), mode)
    poll(lambda: any(e["event"] == "ready" for e in read_log(log)))

    second = wine.start_app(*args)
    assert wine.wait_exit(second, timeout=60) == 0

    events = read_log(log)
    copies = [e for e in events if e["event"] == "copydata"]
    assert len(copies) == 1, events
    copy = copies[0]
    assert copy["dwData"] == 0 and copy["wparam"] == 0
    if expected is None:
        assert copy["cbData"] == 0 and copy["null"]
    else:
        assert copy["cbData"] == 2 * (len(expected) + 1)
        assert bytes.fromhex(copy["hex"]) == (expected + "\0").encode("utf-16-le")
    # Shown again (restored from the tray or from the task bar) before the data came.
    assert copy["visible"] and not copy["iconic"]
    assert wine.boxes() == []


def run_once(wine):
    app = wine.start_app()
    wine.wait_main_window()
    wine.driver_one("close", MAIN_TITLE)
    assert wine.wait_exit(app) == 0


def test_configuration_file_is_written_in_code_page_936(wine):
    config = wine.app_file("Vorlane.cfg")
    assert not config.exists()
    run_once(wine)
    # No file at start: the built-in defaults, no folders.
    assert config.read_bytes() == configuration_bytes("", "")
    run_once(wine)
    # Read back, the empty folders take the program's "3B Code" folder.
    default = "C:\\Tramsel\\3B Code"
    assert config.read_bytes() == configuration_bytes(default, default)
