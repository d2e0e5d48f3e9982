"""Soak: many transfers over a lossy line. Every transfer ends either in its
success message with the program received exactly, or in the time-out
message; never in a wrong program. The faults are seeded, so a failing
transfer can be replayed with the seed it names."""
import concurrent.futures
import tempfile
import pathlib

from conftest import DATA, ROOT, TIMEOUT_MESSAGE, PtyPair, Simulator, messages, normalized_program, run_tramsel

TRANSFERS = 50
LINES = 4  # transfers at a time, each on its own pty pair
PROGRAMS = [DATA / "die.3b", ROOT / "tests" / "data" / "program.3b"]
SUCCESS = {"消息:\r\n文件传送完成!", "恭喜\r\n代码传送成功!"}


def transfer(seed):
    """One transfer with its own seed: what went wrong (or None), and how many
    replies the line lost or damaged."""
    program = PROGRAMS[seed % 2]
    store = ["--store"] if seed % 4 >= 2 else []
    with tempfile.TemporaryDirectory() as folder:
        folder = pathlib.Path(folder)
        pty = PtyPair(folder)
        try:
            sim = Simulator(pty, folder, "--seed", seed, "--drop", "5%", "--corrupt", "2%", "--done-delay", 50)
            try:
                status, shown, err = run_tramsel("send", "--port", pty.host, *store, program)
            finally:
                sim.stop()
            received = sim.received_lines()
            frames = sim.frames.read_text()
        finally:
            pty.close()
    faults = frames.count("(dropped)") + frames.count("(corrupted)")
    return check(seed, program, store, status, shown, err, received, frames), faults


def check(seed, program, store, status, shown, err, received, frames):
    shown_messages = messages(shown)
    expected = normalized_program(program)
    where = f"seed {seed}, {program.name}, {'store' if store else 'direct'}"
    # Whatever the transmitter took in as a whole program is the program.
    if received is not None and received != expected:
        return f"{where}: wrong program received: {received}"
    if status == 0:
        if not shown_messages or shown_messages[-1] not in SUCCESS or received != expected:
            return f"{where}: exit 0 without the program: {shown_messages}"
        return None
    if shown_messages[-1:] != [TIMEOUT_MESSAGE]:
        return f"{where}: ended with {shown_messages} {err}\n{frames}"
    return None


def test_lossy_line_never_gives_a_wrong_program():
    with concurrent.futures.ThreadPoolExecutor(max_workers=LINES) as pool:
        results = list(pool.map(transfer, range(1, TRANSFERS + 1)))
    assert [problem for problem, _ in results if problem] == []
    # The line did lose replies: about 7 % of some 1000.
    assert sum(faults for _, faults in results) > 20
