#!/usr/bin/python3
"""Link speed benchmark: tramsel send against tramsel-txsim over a socat pty.

  turnaround  the simulator answers at once; per block, the time from the
              simulator writing its reply asking for block k+1 to its reading
              block k+1 (an upper bound of the host's turnaround: it includes
              both pty hops)
  paced       the simulator takes 9600 baud wire time (10 bits a byte) for
              every frame; the transfer's time from the host's first byte to
              the last reply, against the wire time of all frames plus the
              link's fixed pauses (WaitPumping 200 ms after the connect reply,
              after 9, after 42 and after 44, 100 ms after 10: 900 ms direct)

usage: bench_link.py [--blocks N] [--bin DIR] [turnaround|paced ...]
"""
import argparse
import pathlib
import statistics
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tests" / "link_e2e"))
import conftest  # noqa: E402  (the e2e tests' pty pair and simulator)

FIXED_PAUSES_DIRECT_S = 0.9
BYTE_S = 10 / 9600


def program(blocks):
    """A program of distinct moves, four 14-byte code strings to a block at
    capacity 64."""
    lines = [f"B {1000 + i % 9000} B 0 B {1000 + i % 9000} GX L{1 + i // 9000 % 4}" for i in range(4 * blocks - 1)]
    return "\r\n".join(lines + ["DD", ""]).encode("ascii")


def frames(path):
    """(ms, from host, request number or 0, bytes) of every frame written or read."""
    out = []
    for line in path.read_text().splitlines():
        fields = line.split()
        t, direction = float(fields[0]), fields[1]
        rest = fields[2:]
        number = 0
        if rest and rest[0].startswith("#"):
            number = int(rest[0][1:])
            rest = rest[1:]
        data = []
        for f in rest:
            if f.startswith("("):
                break
            data.append(int(f, 16))
        if "(dropped)" in line:
            continue
        out.append((t, direction == "<", number, bytes(data)))
    return out


def send(folder, blocks, *sim_options):
    source = folder / "bench.3b"
    source.write_bytes(program(blocks))
    pty = conftest.PtyPair(folder)
    try:
        sim = conftest.Simulator(pty, folder, *sim_options)
        try:
            done = subprocess.run([str(conftest.TRAMSEL), "send", "--port", pty.host, str(source)],
                                  capture_output=True, text=True, timeout=3600)
        finally:
            sim.stop()
    finally:
        pty.close()
    if done.returncode != 0:
        raise SystemExit("transfer failed:\n" + done.stdout + done.stderr)
    received = sim.received_lines()
    if received is None or len(received) != 4 * blocks:
        raise SystemExit("the program did not arrive whole")
    return frames(sim.frames)


def turnaround(blocks):
    with tempfile.TemporaryDirectory() as d:
        log = send(pathlib.Path(d), blocks)
    report_turnaround(log)


def report_turnaround(log):
    """Prints the host's turnaround from the simulator's frame log."""
    waits = []
    for (t, from_host, _, data), (t_next, next_from_host, _, next_data) in zip(log, log[1:]):
        # A reply asking for a block, then the block itself.
        if not from_host and len(data) > 2 and data[2] == 25 and next_from_host and next_data[2] == 25:
            waits.append(t_next - t)
    waits.sort()
    p99 = waits[min(len(waits) - 1, int(len(waits) * 0.99))]
    print(f"turnaround over {len(waits)} blocks: median {statistics.median(waits):.3f} ms, "
          f"p99 {p99:.3f} ms, max {waits[-1]:.3f} ms")


def paced(blocks):
    with tempfile.TemporaryDirectory() as d:
        log = send(pathlib.Path(d), blocks, "--pace")
    wire = sum(len(data) for _, _, _, data in log) * BYTE_S
    first_t, _, _, first = log[0]
    start = first_t / 1000 - len(first) * BYTE_S  # the host wrote the first byte then
    end = log[-1][0] / 1000
    took = end - start
    bound = 1.02 * wire + FIXED_PAUSES_DIRECT_S
    print(f"paced transfer of {blocks} blocks: {took:.3f} s; wire time {wire:.3f} s + fixed pauses "
          f"{FIXED_PAUSES_DIRECT_S:.1f} s = {wire + FIXED_PAUSES_DIRECT_S:.3f} s; bound {bound:.3f} s; "
          f"ratio to wire + pauses {took / (wire + FIXED_PAUSES_DIRECT_S):.4f}; "
          f"{'within' if took <= bound else 'OVER'} the bound")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--blocks", type=int, default=1000)
    parser.add_argument("--bin", help="folder of tramsel and tramsel-txsim (default build/native/bin)")
    parser.add_argument("runs", nargs="*", default=["turnaround", "paced"])
    args = parser.parse_args()
    if args.bin:
        conftest.TRAMSEL = pathlib.Path(args.bin) / "tramsel"
        conftest.TXSIM = pathlib.Path(args.bin) / "tramsel-txsim"
    for run in args.runs:
        {"turnaround": turnaround, "paced": paced}[run](args.blocks)


if __name__ == "__main__":
    main()
