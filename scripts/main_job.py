"""The main job: sends the sample program from the program under Wine to the
simulated transmitter.

A fresh Wine prefix gets a socat pty pair mapped to COM5, with tramsel-txsim on
the other end and the test stand-in of the CH341 library saying COM5 is the
adapter. The program starts (on the user's display when there is one,
otherwise under Xvfb), receives "3B Code\\sample.3b" by WM_COPYDATA as the CAM
program sends it, and "直传到单板机" is pressed. The job waits for
"恭喜\\r\\n代码传送成功!", saves screenshots to build/main-job/ and prints the
program the simulator received.
"""

import os
import shutil
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))
from transmitter import Transmitter  # noqa: E402
from winehost import BUILD, MAIN_TITLE, WineSession, ensure_base_prefix, poll, start_xvfb  # noqa: E402

OUT = BUILD / "main-job"
SAMPLE = ("3B Code", "sample.3b")
SUCCESS = "恭喜\r\n代码传送成功!"


def main():
    user_display = os.environ.get("DISPLAY")
    xvfb = None
    display = user_display
    if not user_display:
        display, xvfb = start_xvfb()
    OUT.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="tramsel-main-"))
    session = WineSession(ensure_base_prefix(display), work, display, "main-job")
    line = None
    try:
        line = Transmitter(session, work)
        app = session.start_app_and_wait()
        print(f"主窗口已启动: {MAIN_TITLE}")
        session.copydata("--text", session.windows_path(*SAMPLE))
        poll(lambda: session.text(1044) == SAMPLE[-1])
        print(f"已打开: {session.windows_path(*SAMPLE)}")
        session.click(1001)
        box = session.wait_box(120000)
        keep(session.screenshot("message"), "message.png")
        print(f"消息 [{box['caption']}]: {box['text']!r}")
        session.press(box, 1)
        poll(lambda: not session.boxes())
        if box["text"] != SUCCESS:
            sys.exit("The transfer did not succeed.")
        keep(session.screenshot("main-window"), "main-window.png")
        print("传送器收到的程序:")
        print("\n".join(line.received_lines()))
        print(f"Screenshots: {OUT}")
        if user_display:
            print("Close the program's window to finish.")
            app.wait()
        else:
            session.driver_one("close", MAIN_TITLE)
            app.wait(timeout=60)
    finally:
        if line:
            line.stop()
        session.close()
        shutil.rmtree(work, ignore_errors=True)
        if xvfb:
            xvfb.terminate()
            xvfb.wait()


def keep(shot, name):
    if shot.exists():
        shutil.copy(shot, OUT / name)


if __name__ == "__main__":
    main()
