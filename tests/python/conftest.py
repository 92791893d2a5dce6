import ctypes
import os
import subprocess
import sys
import textwrap

import pytest

RUNTIME_PATH = os.path.join(sys.prefix, "libvaskelith.so")


def _live_counter():
    if not os.path.isfile(RUNTIME_PATH):
        return None
    lib = ctypes.CDLL(RUNTIME_PATH)
    fn = lib.vaskelith_live_handle_count
    fn.restype = ctypes.c_int64
    fn.argtypes = []
    return fn


_COUNTER = _live_counter()


@pytest.fixture(autouse=True)
def no_leaked_runtime_handles():
    """Every test must release every runtime handle it caused to be made.

    Geometries that outlive a test (parameters, module data) may keep the
    runtime forms the test built for them: that cache is emptied first."""
    import ostrel_geometry as og

    limit = og.get_cache_limit()
    og.set_cache_limit(0)
    og.set_cache_limit(limit)
    before = _COUNTER() if _COUNTER else 0
    yield
    if _COUNTER:
        import gc

        gc.collect()
        og.set_cache_limit(0)
        og.set_cache_limit(limit)
        after = _COUNTER()
        assert after == before, f"{after - before} runtime handle(s) left alive"


def run_python(code, *, cwd=None, env=None, prefix_code=""):
    """Runs `code` in a fresh interpreter; returns the completed process."""
    full_env = dict(os.environ)
    full_env.pop("GEOMETRY_LIB_PATH", None)
    if env:
        full_env.update(env)
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(prefix_code) + textwrap.dedent(code)],
        capture_output=True,
        text=True,
        cwd=cwd,
        env=full_env,
        timeout=120,
    )


@pytest.fixture
def python_run():
    return run_python
