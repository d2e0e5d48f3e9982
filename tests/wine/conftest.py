import re

import pytest

from winehost import DIST, TESTBIN, WineSession, ensure_base_prefix, start_xvfb


@pytest.fixture(scope="session")
def display():
    if not (DIST / "Tramsel.exe").exists() or not (TESTBIN / "windriver.exe").exists():
        pytest.fail("build the Windows tree first (make)")
    number, process = start_xvfb()
    yield number
    process.terminate()
    process.wait()


@pytest.fixture(scope="session")
def base_prefix(display):
    return ensure_base_prefix(display)


@pytest.fixture
def wine(base_prefix, display, tmp_path, request):
    name = re.sub(r"[^A-Za-z0-9_.-]+", "_", request.node.name)
    session = WineSession(base_prefix, tmp_path, display, name)
    yield session
    session.close()
