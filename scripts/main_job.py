"""The main job: runs the program under Wine in a fresh prefix.

On the user's display when there is one (until the window is closed);
otherwise under Xvfb, saving a screenshot to build/main-job/.
"""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))
from winehost import BUILD, MAIN_TITLE, WineSession, ensure_base_prefix, start_xvfb  # noqa: E402

OUT = BUILD / "main-job"


def main():
    user_display = os.environ.get("DISPLAY")
    xvfb = None
    display = user_display
    if not user_display:
        display, xvfb = start_xvfb()
    OUT.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="tramsel-main-"))
    session = WineSession(ensure_base_prefix(display), work, display, "main-job")
    try:
        app = session.start_app()
        state = session.wait_main_window()
        print(f"主窗口已启动: {MAIN_TITLE} (visible={state['visible']})")
        if user_display:
            print("Close the program's window to finish.")
            app.wait()
        else:
            shot = session.screenshot("main-window")
            shutil.copy(shot, OUT / "main-window.png")
            print(f"Screenshot: {OUT / 'main-window.png'}")
            session.driver_one("close", MAIN_TITLE)
            app.wait(timeout=60)
        config = session.app_file("Vorlane.cfg")
        if config.exists():
            shutil.copy(config, OUT / "Vorlane.cfg")
            print(f"Configuration written: {OUT / 'Vorlane.cfg'}")
    finally:
        session.close()
        shutil.rmtree(work, ignore_errors=True)
        if xvfb:
            xvfb.terminate()
            xvfb.wait()


if __name__ == "__main__":
    main()
