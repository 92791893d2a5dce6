"""examples/scale_out.py gives on worker processes what it gives in one."""
import importlib.util
import json
import os
import pathlib
import subprocess
import sys

import pytest

# Found, not imported: the cluster lives in the child alone.
if importlib.util.find_spec("distributed") is None:
    pytest.skip("dask.distributed is not installed", allow_module_level=True)

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"

# The cluster runs in a child of its own: Dask's threads leave objects behind
# at exit that a leak checker would report, and they are not this module's.
SPREAD = """
import json, sys
import scale_out
with scale_out.local_client(2) as client:
    json.dump(scale_out.measure_all(scale_out.sample_wkb(40), client, batch_size=7), sys.stdout)
"""


@pytest.fixture
def scale_out(monkeypatch):
    monkeypatch.syspath_prepend(str(EXAMPLES))
    import scale_out

    yield scale_out
    sys.modules.pop("scale_out", None)


def test_workers_give_what_one_process_gives(scale_out):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [str(EXAMPLES), os.environ.get("PYTHONPATH")])))
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] += ":detect_leaks=0"
    run = subprocess.run([sys.executable, "-c", SPREAD], env=env, capture_output=True, text=True, timeout=600)
    assert run.returncode == 0, run.stderr[-3000:]
    spread = json.loads(run.stdout)
    alone = scale_out.measure_all(scale_out.sample_wkb(40))
    # Through JSON as the child's were: numbers keep every bit.
    assert spread == json.loads(json.dumps(alone))
    # The numbers are the polygons' own: a buffer holds its polygon.
    assert all(r["buffer_area"] > r["area"] > 0 for r in alone)
