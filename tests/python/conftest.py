import ctypes
import os
import pathlib
import re
import subprocess
import sys
import textwrap

import pytest

RUNTIME_PATH = os.path.join(sys.prefix, "libvaskelith.so")

# The peer libraries some tests compare against (pyproj, Shapely) leave
# objects of their own unreleased at exit, which a leak checker counts.  The
# sanitized run therefore runs the files that use them apart, without the
# leak check: OSTREL_PEER_TESTS=without collects only the files that use
# neither (directly or through a helper module of this folder), =only the rest.
_PEER_USE = re.compile(r"^\s*(?:import|from)\s+(?:pyproj|shapely)\b|importorskip\(\s*[\"'](?:pyproj|shapely)", re.M)
_LOCAL_IMPORT = re.compile(r"^\s*(?:import|from)\s+(\w+)", re.M)


def _uses_peers(path, seen=()):
    text = path.read_text(encoding="utf-8")
    if _PEER_USE.search(text):
        return True
    for name in set(_LOCAL_IMPORT.findall(text)):
        helper = path.with_name(name + ".py")
        if helper.is_file() and helper not in seen and _uses_peers(helper, (*seen, path)):
            return True
    return False


def pytest_ignore_collect(collection_path, config):
    mode = os.environ.get("OSTREL_PEER_TESTS")
    path = pathlib.Path(collection_path)
    if mode not in ("without", "only") or path.suffix != ".py" or not path.name.startswith("test_"):
        return None
    return True if _uses_peers(path) == (mode == "without") else None


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
