"""The main window under Wine: its controls, tray, document and command interface."""

import pytest

from winehost import DRIVER_KEY, MAIN_TITLE, poll

TEMPLATE = (
    "/*******************由 Vorlane V0.2创建的3b代码文本********************/\n"
    "-----------------技术支持:请联系您的设备供应商,电话000-0000-0000-----------------\n"
    "------------------------代码例子1“ B 60 B 0 B 60 GX L3 ”-----------------\n"
    "------------------------代码例子2“ DD  ”----------------------------------\n"
    "------------------------注意：是在英文输入法状态下输入！--------------------\n"
    "/************************下面一行开始添加代码***********************/\n"
)
# The editor hands its text out with CR LF line breaks and counts them as two.
TEMPLATE_IN_EDITOR = TEMPLATE.replace("\n", "\r\n")

PROGRAM = "B 60 B 0 B 60 GX L3\r\n中文注释;\r\nDD\r\n"
WM_KEYDOWN, VK_ESCAPE = 0x0100, 0x1B
WM_COMMAND, WM_TRAY_NOTIFY, WM_LBUTTONUP = 0x0111, 1500, 0x0202


def write_program(wine, name, text=PROGRAM):
    folder = wine.app_file("work")
    folder.mkdir(exist_ok=True)
    (folder / name).write_bytes(text.encode("cp936"))
    return wine.windows_path("work", name)


def editor_text(wine):
    return wine.text(1013)


def test_controls_after_start_up(wine):
    wine.start_app_and_wait()
    expected = {
        1028: "@Vorlane 3BTramsel", 1029: '"2.0.1.4"', 1039: "选择机台:", 1080: "机台1",
        1047: "高电平同步", 1048: "标准", 1031: "选择机台,启动传送", 1007: "机台配置",
        1008: "系统设定", 1004: "打开文件", 1003: "新建文件", 1006: "保存文件",
        1002: "送存到传送盒", 1001: "直传到单板机", 1038: "当前文件名称:",
        1044: "未保存的文件", 1037: "文件长度:", 1045: str(len(TEMPLATE_IN_EDITOR)),
    }
    for control, text in expected.items():
        assert wine.text(control) == text, control
    assert editor_text(wine) == TEMPLATE_IN_EDITOR
    assert not wine.driver_one("text", MAIN_TITLE, "1009")["visible"]
    assert wine.tray_icon_shown()
    assert wine.boxes() == []
    wine.screenshot("main-window")


def test_start_argument_with_a_remark_is_shown_before_the_file_opens(wine):
    path = write_program(wine, "a.3b")
    wine.start_app(path + "/hello")
    box = wine.wait_box()
    assert box["caption"] == "Tramsel" and box["text"] == "hello"
    assert not wine.driver_one("state", MAIN_TITLE)["visible"]
    wine.press(box, 1)
    wine.wait_main_window()
    assert editor_text(wine) == PROGRAM
    assert wine.text(1044) == "a.3b"


def test_start_argument_ending_in_a_slash_shows_an_empty_remark(wine):
    path = write_program(wine, "b.3b")
    wine.start_app(path + "/")
    box = wine.wait_box()
    assert box["text"] == ""
    wine.press(box, 1)
    wine.wait_main_window()
    assert wine.text(1044) == "b.3b"


def test_close_button_hides_to_the_tray_and_saves(wine):
    wine.start_app_and_wait()
    config = wine.app_file("Vorlane.cfg")
    assert not config.exists()
    wine.click(1023)
    poll(lambda: not wine.driver_one("state", MAIN_TITLE)["visible"])
    assert config.exists()
    assert wine.tray_icon_shown()
    # A left click on the tray icon brings it back.
    wine.post(WM_TRAY_NOTIFY, 0, WM_LBUTTONUP)
    poll(lambda: wine.driver_one("state", MAIN_TITLE)["visible"])


def test_escape_on_a_button_ends_the_program_after_saving(wine):
    app = wine.start_app_and_wait()
    wine.driver_one("post-control", MAIN_TITLE, "1004", str(WM_KEYDOWN), str(VK_ESCAPE), "0")
    assert wine.wait_exit(app) == 0
    assert wine.app_file("Vorlane.cfg").exists()


def test_open_and_cancel_through_the_dialog(wine):
    path = write_program(wine, "open.3b")
    wine.start_app_and_wait()
    wine.click(1004)
    wine.choose_file("打开", path)
    poll(lambda: wine.text(1044) == "open.3b")
    assert editor_text(wine) == PROGRAM
    assert wine.text(1045) == str(len(PROGRAM))

    # A cancelled open keeps the text but unbinds: the next save asks.
    wine.click(1004)
    wine.cancel_dialog("打开")
    wine.click(1006)
    poll(lambda: wine.driver_one("state", "另存为")["found"])
    wine.cancel_dialog("另存为")
    box = wine.wait_box()
    assert box["text"] == "请先设定保存文件!"
    wine.press(box, 1)
    dismiss_no_linked_folder(wine)


def dismiss_no_linked_folder(wine):
    """Without a configuration file there is no linked folder yet, so the
    watcher's restart after a save reports it (only on a first run)."""
    box = wine.wait_box()
    assert box["text"] == "没有选择文件夹!"
    wine.press(box, 1)
    poll(lambda: not wine.boxes())


def test_save_asks_once_then_writes_byte_exact(wine):
    wine.start_app_and_wait()
    target = wine.windows_path("3B Code", "saved.3b")
    wine.click(1006)
    wine.choose_file("另存为", target)
    saved = wine.app_file("3B Code", "saved.3b")
    poll(saved.exists)
    assert saved.read_bytes() == TEMPLATE_IN_EDITOR.encode("cp936")
    assert wine.text(1044) == "saved.3b"
    dismiss_no_linked_folder(wine)
    # Bound now: a save writes without asking.
    wine.driver_one("settext", MAIN_TITLE, "1013", "DD")
    wine.click(1006)
    poll(lambda: saved.read_bytes() == b"DD")
    dismiss_no_linked_folder(wine)


def test_save_as_always_asks_and_rebinds(wine):
    path = write_program(wine, "first.3b")
    wine.start_app_and_wait()
    wine.copydata("--text", path)
    poll(lambda: wine.text(1044) == "first.3b")
    wine.post(WM_COMMAND, 32784)
    wine.choose_file("另存为", wine.windows_path("work", "second.3b"))
    second = wine.app_file("work", "second.3b")
    poll(second.exists)
    dismiss_no_linked_folder(wine)
    assert second.read_bytes() == PROGRAM.encode("cp936")
    assert wine.text(1044) == "second.3b"


def test_opening_a_missing_file_reports_it_and_empties_the_editor(wine):
    wine.start_app_and_wait()
    missing = wine.windows_path("work", "gone.3b")
    sender = wine.copydata_async("--text", missing)
    box = wine.wait_box()
    assert box["text"] == "打开文件失败,文件可能不存在\r\n文件名:" + missing
    wine.press(box, 1)
    assert wine.wait_exit(sender) == 0
    assert editor_text(wine) == ""


@pytest.mark.parametrize(
    "suffix, hidden, editor",
    [
        ("", False, PROGRAM),
        ("/Auto", True, PROGRAM),
        ("/", False, PROGRAM),
        ("/auto", False, PROGRAM),
        ("/New", False, TEMPLATE_IN_EDITOR),
    ],
    ids=["path", "path-auto", "trailing-slash", "lower-case-word", "path-new"],
)
def test_copydata_commands(wine, suffix, hidden, editor):
    path = write_program(wine, "part.3b")
    wine.start_app_and_wait()
    wine.copydata("--text", path + suffix)
    poll(lambda: editor_text(wine) == editor)
    assert wine.driver_one("state", MAIN_TITLE)["visible"] == (not hidden)
    assert wine.app_file("Vorlane.cfg").exists()  # written when a path is opened


def test_copydata_new_auto_then_empty_message_shows_the_window(wine):
    wine.start_app_and_wait()
    wine.driver_one("settext", MAIN_TITLE, "1013", "typed")
    wine.copydata("--text", "/New/Auto")
    poll(lambda: not wine.driver_one("state", MAIN_TITLE)["visible"])
    assert editor_text(wine) == TEMPLATE_IN_EDITOR
    assert wine.text(1044) == "未保存的文件"
    wine.copydata()  # cbData 0
    poll(lambda: wine.driver_one("state", MAIN_TITLE)["visible"])


def test_copydata_save_writes_the_bound_file(wine):
    path = write_program(wine, "bound.3b")
    wine.start_app_and_wait()
    wine.copydata("--text", path)
    poll(lambda: wine.text(1044) == "bound.3b")
    wine.driver_one("settext", MAIN_TITLE, "1013", "B1B2B3GXL1")
    sender = wine.copydata_async("--text", "/Save")
    dismiss_no_linked_folder(wine)
    assert wine.wait_exit(sender) == 0
    assert wine.app_file("work", "bound.3b").read_bytes() == b"B1B2B3GXL1"


def test_copydata_reads_no_further_than_cbdata(wine):
    path = write_program(wine, "exact.3b")
    wine.start_app_and_wait()
    # No terminating NUL within cbData: the text ends where cbData ends.
    wine.copydata("--text", path + "/Auto", "--no-nul", "--cb", str(2 * len(path)))
    poll(lambda: editor_text(wine) == PROGRAM)
    assert wine.driver_one("state", MAIN_TITLE)["visible"]  # "/Auto" lay beyond cbData
    # An empty text with cbData 2: nothing happens.
    wine.copydata("--text", "", "--cb", "2")
    assert editor_text(wine) == PROGRAM


def test_missing_usb_driver_is_reported_with_the_missing_installer(wine):
    wine.run("reg", "delete", DRIVER_KEY, "/f", "/reg:64")
    wine.start_app()
    box = wine.wait_box()
    assert box["text"] == '设备驱动未安装,将弹出安装程序\r\n请点击"安装"按钮安装驱动'
    wine.press(box, 1)
    poll(lambda: wine.boxes() and wine.boxes()[0]["box"] != box["box"])
    second = wine.boxes()[0]
    assert second["text"].startswith("找不到驱动安装程序")
    assert second["text"].endswith("C:\\Tramsel\\lib\\CH341SER.exe")
    wine.press(second, 1)
    wine.wait_main_window()
