"""Runs the Windows program and its test driver under Wine for the tests.

One Xvfb display and one freshly booted base prefix serve the whole session;
every test gets its own copy of the prefix (the bulky system32 folder is
hard-linked, everything Wine writes is copied), its own `wineserver -p`, and
its own copy of the program folder at C:\\Tramsel.
"""

import json
import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build"
DIST = BUILD / "win64" / "dist"
TESTBIN = BUILD / "win64" / "testbin"
ARTIFACTS = BUILD / "test-artifacts"
BASE_PREFIX = BUILD / "wine" / "base-prefix"

MAIN_TITLE = "@Vorlane 3BTramsel(在线版)-Halvercot"
APP_NAME = "Tramsel"
DRIVER_KEY = "HKLM\\SOFTWARE\\WinChipHead\\IC\\CH341SER"
# The program's own dialogs share the message boxes' window class.
DIALOG_CAPTIONS = (MAIN_TITLE, "传送中.....", "机台配置", "系统设定", "机台选择", "代码预览")


def wine_environment(prefix, display):
    env = dict(os.environ)
    env.update(
        WINEPREFIX=str(prefix),
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml=",
        LANG="zh_CN.UTF-8",
        LC_ALL="zh_CN.UTF-8",
        DISPLAY=display,
    )
    return env


def start_xvfb():
    """Starts Xvfb on the first free display from :90; answers (display, process)."""
    for number in range(90, 140):
        if Path(f"/tmp/.X11-unix/X{number}").exists() or Path(f"/tmp/.X{number}-lock").exists():
            continue
        process = subprocess.Popen(
            ["Xvfb", f":{number}", "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if Path(f"/tmp/.X11-unix/X{number}").exists():
                return f":{number}", process
            if process.poll() is not None:
                break
            time.sleep(0.05)
        process.kill()
    raise RuntimeError("no free X display for Xvfb")


# Bumped whenever the base prefix's set-up changes, so stale ones are rebuilt.
BASE_PREFIX_VERSION = "2"


def ensure_base_prefix(display):
    """Boots the base prefix once per build folder; later sessions reuse it.

    It carries the USB-serial driver's registry key (64-bit view), as a shop
    PC with the driver installed does; tests of a missing driver delete it.
    """
    marker = BASE_PREFIX / ".tramsel-ready"
    if marker.exists() and marker.read_text().strip() == BASE_PREFIX_VERSION:
        return BASE_PREFIX
    shutil.rmtree(BASE_PREFIX, ignore_errors=True)
    BASE_PREFIX.parent.mkdir(parents=True, exist_ok=True)
    env = wine_environment(BASE_PREFIX, display)
    subprocess.run(["wineboot", "-i"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    subprocess.run(["wine", "reg", "add", DRIVER_KEY, "/f", "/reg:64"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=300)
    marker.write_text(BASE_PREFIX_VERSION + "\n")
    return BASE_PREFIX


def copy_prefix(base, target):
    system32 = Path("drive_c") / "windows" / "system32"

    def ignore(directory, names):
        return ["system32"] if Path(directory) == base / system32.parent else []

    shutil.copytree(base, target, symlinks=True, ignore=ignore)
    subprocess.run(["cp", "-al", str(base / system32), str(target / system32)], check=True)


class WineSession:
    """One test's prefix with its wineserver, program folder and driver."""

    def __init__(self, base, work, display, name):
        self.prefix = work / "prefix"
        copy_prefix(base, self.prefix)
        self.display = display
        self.env = wine_environment(self.prefix, display)
        self.name = name
        self.app_dir = self.prefix / "drive_c" / "Tramsel"
        shutil.copytree(DIST, self.app_dir)
        self.processes = []
        self.server = subprocess.Popen(["wineserver", "-p", "-f"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # --- paths ---
    @staticmethod
    def windows_path(*parts):
        return "C:\\Tramsel" + "".join("\\" + part for part in parts)

    def app_file(self, *parts):
        return self.app_dir.joinpath(*parts)

    # --- processes ---
    def start(self, program, *args, stdin=None, stderr=subprocess.DEVNULL):
        """Starts a Windows program (a path inside the prefix or a Linux path)."""
        process = subprocess.Popen(["wine", str(program), *map(str, args)], env=self.env,
                                   stdin=stdin, stdout=subprocess.PIPE, stderr=stderr)
        self.processes.append(process)
        return process

    def start_app(self, *args):
        return self.start(self.app_file("Tramsel.exe"), *args)

    def run(self, program, *args, timeout=60, stderr=subprocess.DEVNULL):
        return subprocess.run(["wine", str(program), *map(str, args)], env=self.env,
                              stdout=subprocess.PIPE, stderr=stderr, timeout=timeout)

    def driver(self, *args, timeout=60):
        """Runs the test driver; answers the JSON objects it printed."""
        result = self.run(TESTBIN / "windriver.exe", *args, timeout=timeout)
        lines = result.stdout.decode("utf-8").splitlines()
        return [json.loads(line) for line in lines if line.strip()]

    def driver_one(self, *args, timeout=60):
        objects = self.driver(*args, timeout=timeout)
        assert len(objects) == 1, objects
        return objects[0]

    def wait_main_window(self, timeout=30.0):
        """Waits until the main window is up and visible (its initialisation done)."""
        def visible():
            state = self.driver_one("state", MAIN_TITLE)
            return state if state["found"] and state["visible"] else None
        return poll(visible, timeout=timeout, interval=0.2)

    def text(self, control_id, caption=MAIN_TITLE):
        return self.driver_one("text", caption, str(control_id))["text"]

    def click(self, control_id, caption=MAIN_TITLE):
        self.driver_one("click", caption, str(control_id))

    def post(self, message, wparam=0, lparam=0, caption=MAIN_TITLE):
        self.driver_one("post", caption, str(message), str(wparam), str(lparam))

    def copydata(self, *args):
        """WM_COPYDATA to the main window: --text T, --cb N, --no-nul, --null-data."""
        return self.driver_one("copydata", MAIN_TITLE, *args)

    def copydata_async(self, *args):
        """WM_COPYDATA whose handling shows a box or dialog: the sender waits
        in the background while the test answers it."""
        return self.start(TESTBIN / "windriver.exe", "copydata", MAIN_TITLE, *args)

    def choose_file(self, caption, windows_path, timeout=30.0):
        """Answers the system's open or save dialog with a file name."""
        poll(lambda: self.driver_one("state", caption)["found"], timeout=timeout)
        self.driver_one("settext", caption, "1148", windows_path)
        self.driver_one("click", caption, "1")

    def cancel_dialog(self, caption, timeout=30.0):
        poll(lambda: self.driver_one("state", caption)["found"], timeout=timeout)
        self.driver_one("click", caption, "2")

    def start_app_and_wait(self, *args):
        app = self.start_app(*args)
        self.wait_main_window()
        return app

    def tray_icon_shown(self):
        """Wine shows its tray window exactly while it holds an icon."""
        state = self.driver_one("state", "Wine System Tray")
        return state["found"] and state["visible"]

    def wait_box(self, timeout_ms=30000):
        """The first message box that is open, waiting for one up to the time-out."""
        args = ["wait-box", "--timeout", str(timeout_ms)]
        for caption in DIALOG_CAPTIONS:
            args += ["--skip", caption]
        return self.driver_one(*args)

    def boxes(self):
        args = ["boxes"]
        for caption in DIALOG_CAPTIONS:
            args += ["--skip", caption]
        return self.driver(*args)

    def press(self, box, button_id):
        self.driver_one("press-box", str(box["box"]), str(button_id))

    def screenshot(self, label):
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        path = ARTIFACTS / f"{self.name}-{label}.png"
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)],
                       check=False, timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def map_com_ports(self, ports, timeout=60):
        """Maps COM ports to Linux devices ({"COM5": "/tmp/x/tty"}) in the prefix's
        HKLM\\Software\\Wine\\Ports and restarts its wineserver, so that Wine itself
        creates dosdevices/comN and the SerialComm values at its next start."""
        for name, path in ports.items():
            subprocess.run(["wine", "reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", name,
                            "/t", "REG_SZ", "/d", str(path), "/f"], env=self.env, check=True,
                           timeout=timeout, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=timeout,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.server.wait(timeout=timeout)
        self.server = subprocess.Popen(["wineserver", "-p", "-f"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def listed():
            result = subprocess.run(
                ["wine", "reg", "query", "HKLM\\Hardware\\DeviceMap\\SerialComm"], env=self.env,
                timeout=timeout, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            values = result.stdout.decode("ascii", "replace").split()
            return all(name in values for name in ports)

        poll(listed, timeout=timeout, interval=0.5)

    def wait_exit(self, process, timeout=60):
        return process.wait(timeout=timeout)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.wait()
        try:
            self.server.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.server.send_signal(signal.SIGKILL)
            self.server.wait()


FIRST_MACHINE = "机台1@2@1@高电平同步@标准@10@0@64"


def configuration_bytes(folder, monitor, machines=(FIRST_MACHINE,)):
    """The configuration file as the program writes it, in code page 936."""
    lines = [
        "Vorlane 线切割TramselV0.2配置文件",
        *["联系方式:如需技术支持,请与您的设备供应商联系"] * 4,
        "默认端口:_Defaultport@COM0",
        f"默认文件夹路径:_filepath@{folder}",
        f"监控文件夹:_MonDir@{monitor}",
        "联动文件夹自动变更:_ChangeMonDir@FALSE",
        "自动下载文件:_AutoDown@TRUE",
        "自动传送:_AutoTrans@FALSE",
        "自动传送模式:_AutoTransMode@1",
        "下载前询问:_AutoDownASK@1",
        "当前机台:_CurMacNum@1",
        *[f"机台配置:_MacCFG@{machine}" for machine in machines],
        "行数统计方式:_LinCounterType@0",
        "跳步代码处理方式:_JmpCodeProcessType@0",
        "End of Cfgfile",
    ]
    return "\r\n".join(lines).encode("cp936")


def poll(condition, timeout=30.0, interval=0.1):
    """Waits until condition() answers something true; answers it (or fails)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(f"condition not met within {timeout} s")
        time.sleep(interval)
