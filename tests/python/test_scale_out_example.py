"""examples/scale_out.py gives on worker processes what it gives in one."""
import pathlib
import sys

import pytest

pytest.importorskip("dask.distributed")

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


@pytest.fixture
def scale_out(monkeypatch):
    # On sys.path for the workers too: they import the module by name.
    monkeypatch.syspath_prepend(str(EXAMPLES))
    import scale_out

    yield scale_out
    sys.modules.pop("scale_out", None)


def test_workers_give_what_one_process_gives(scale_out):
    wkbs = scale_out.sample_wkb(40)
    alone = scale_out.measure_all(wkbs)
    with scale_out.local_client(2) as client:
        spread = scale_out.measure_all(wkbs, client, batch_size=7)
    assert spread == alone
    # The numbers are the polygons' own: a buffer holds its polygon.
    assert all(r["buffer_area"] > r["area"] > 0 for r in alone)
