#!/usr/bin/python3
"""Host turnaround of tramsel-cli.exe under Wine, measured as bench_link.py
measures the Linux tool: tramsel-cli.exe send --port COM5 against
tramsel-txsim, which answers at once, on a socat pty pair mapped to COM5;
per block, the time from the simulator writing its reply asking for block
k+1 to its reading block k+1 (an upper bound of the host's turnaround: it
includes both pty hops and Wine's serial path).

Needs both trees built (make native win64). Not a test: it prints numbers.

usage: bench_link_wine.py [--blocks N]
"""
import argparse
import pathlib
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tests" / "wine"))
import bench_link  # noqa: E402
from transmitter import Transmitter  # noqa: E402
from winehost import WineSession, ensure_base_prefix, start_xvfb  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--blocks", type=int, default=1000)
    args = parser.parse_args()
    display, xvfb = start_xvfb()
    try:
        base = ensure_base_prefix(display)
        with tempfile.TemporaryDirectory() as d:
            folder = pathlib.Path(d)
            wine = WineSession(base, folder, display, "bench")
            try:
                transmitter = Transmitter(wine, folder)
                wine.app_file("bench.3b").write_bytes(bench_link.program(args.blocks))
                done = wine.run(wine.app_file("tramsel-cli.exe"), "send", "--port", "COM5",
                                wine.windows_path("bench.3b"), timeout=3600)
                transmitter.stop()
                if done.returncode != 0:
                    raise SystemExit("transfer failed:\n" + done.stdout.decode("utf-8", "replace"))
                if len(transmitter.received_lines()) != 4 * args.blocks:
                    raise SystemExit("the program did not arrive whole")
                bench_link.report_turnaround(bench_link.frames(transmitter.frames))
            finally:
                wine.close()
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
