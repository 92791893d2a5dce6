"""Geodesic areas and buffers of many polygons, spread over worker processes.

Every call into ostrel_geometry holds the interpreter lock, so threads do not
add speed: many cores mean many processes.  This example hands batches of
WKB to the workers of a Dask cluster and gets plain values back: geometries
cannot be pickled, while WKB bytes and dictionaries travel anywhere.

    python examples/scale_out.py [polygons] [workers]

It starts a local cluster of worker processes.  The same `measure_all` runs
unchanged against a cluster of machines: pass it a `Client` connected to that
cluster's scheduler (each machine needs ostrel_geometry installed).  Dask is
an optional dependency: `pip install "dask[distributed]"`.
"""
from __future__ import annotations

import json
import math
import random
import struct
import sys
from typing import Any

import ostrel_geometry as og

# What each polygon is measured with (numbers only at module level: a worker
# receives the functions of a script by value, with the globals they use,
# and the module's own objects do not pickle).
BUFFER_METERS = 500.0
MAX_DEVIATION_METERS = 1.0


def sample_wkb(count: int, seed: int = 7) -> list[bytes]:
    """`count` small quadrilaterals scattered over the land of the world, as
    little-endian WKB polygons in longitude and latitude."""
    rng = random.Random(seed)
    out = []
    for _ in range(count):
        lon, lat = rng.uniform(-170, 170), rng.uniform(-60, 70)
        dx, dy = rng.uniform(0.01, 0.2), rng.uniform(0.01, 0.2)
        ring = [(lon, lat), (lon, lat + dy), (lon + dx, lat + dy), (lon + dx, lat), (lon, lat)]
        out.append(struct.pack("<BIII", 1, 3, 1, len(ring)) + b"".join(struct.pack("<2d", *p) for p in ring))
    return out


def measure(wkb: bytes) -> dict[str, Any]:
    """The geodesic area (m²) of one WKB polygon, and its buffer as a
    zorvjson dictionary with the buffer's own area."""
    curve = og.GeodeticCurveType.Geodesic
    # The utils dictionaries hold tuples; constructors take lists.
    polygon = og.Geometry(json.loads(json.dumps(og.utils.wkb_to_zorvjson_dict(wkb))))
    buffered = polygon.buffer(BUFFER_METERS, og.LinearUnitId.Meters, MAX_DEVIATION_METERS, curve)
    return {
        "area": polygon.calculate_area(curve),
        "buffer_area": buffered.calculate_area(curve),
        "buffer": buffered.to_dict(),
    }


def measure_batch(batch: list[bytes]) -> list[dict[str, Any]]:
    return [measure(wkb) for wkb in batch]


def measure_all(wkbs: list[bytes], client: Any = None, batch_size: int = 64) -> list[dict[str, Any]]:
    """Every polygon measured, in input order: in this process without a
    client, else in batches on the client's workers."""
    if client is None:
        return measure_batch(wkbs)
    batches = [wkbs[i:i + batch_size] for i in range(0, len(wkbs), batch_size)]
    futures = client.map(measure_batch, batches, pure=False)
    return [result for batch in client.gather(futures) for result in batch]


def local_client(workers: int) -> Any:
    """A client of a cluster of `workers` processes on this machine, one
    thread each (a second thread would only wait for the interpreter lock)."""
    from dask.distributed import Client, LocalCluster

    cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None)
    return Client(cluster)


def main() -> None:
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    workers = int(sys.argv[2]) if len(sys.argv) > 2 else 2
    wkbs = sample_wkb(count)
    with local_client(workers) as client:
        results = measure_all(wkbs, client)
    total = math.fsum(r["area"] for r in results)
    buffered = math.fsum(r["buffer_area"] for r in results)
    print(f"{len(results)} polygons on {workers} workers: {total / 1e6:.3f} km², "
          f"{buffered / 1e6:.3f} km² with a {BUFFER_METERS:g} m buffer")


if __name__ == "__main__":
    main()
