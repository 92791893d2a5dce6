"""Random mutations of the seed corpus through the four conversion functions.

The libFuzzer harnesses check the readers alone; this drives the dictionary
builders too, in the installed module, with every event order the readers can
produce.  Any outcome other than a dictionary, RuntimeError or IndexError
"empty stack" (or a crash of the interpreter) is a fault.

    python tests/fuzz/fuzz_builders.py [seconds per reader] [seed]
"""

import pathlib
import random
import sys
import time

from ostrel_geometry import utils

HERE = pathlib.Path(__file__).resolve().parent
WKT_TOKENS = ["POINT", "LINESTRING", "POLYGON", "MULTIPOINT", "MULTILINESTRING", "MULTIPOLYGON",
              "GEOMETRYCOLLECTION", "EMPTY", " Z ", " M ", " ZM ", "(", ")", ",", " 0 ", " 1 ", "-2.5", "nan"]


def mutate(rng, data, tokens):
    data = bytearray(data)
    for _ in range(rng.choice((1, 1, 1, 2, 3))):
        op = rng.random()
        pos = rng.randint(0, len(data))
        if op < 0.3 and data:
            data[min(pos, len(data) - 1)] = rng.randrange(256)
        elif op < 0.5:
            del data[pos : pos + rng.randint(1, 8)]
        elif op < 0.7 and tokens:
            data[pos:pos] = rng.choice(tokens)
        elif op < 0.85 and data:
            start = rng.randint(0, len(data) - 1)
            data[pos:pos] = data[start : start + rng.randint(1, 32)]
        else:
            del data[pos:]
    return bytes(data)


def run(kind, seconds, rng):
    seeds = [p.read_bytes() for p in sorted((HERE / "corpus" / kind).iterdir())]
    if kind == "wkt":
        fns = (utils.wkt_to_zorvjson_dict, utils.wkt_to_geojson_dict)
        tokens = [t.encode() for t in WKT_TOKENS]
        prepare = lambda b: b.decode("utf-8", "replace")
    else:
        fns = (utils.wkb_to_zorvjson_dict, utils.wkb_to_geojson_dict)
        tokens = [bytes([0]), bytes([1]), b"\x00\x00\x00\x00", b"\xff\xff\xff\x7f", b"\x00\x00\xf8\x7f"]
        prepare = lambda b: b
    pool = list(seeds)
    counts = {"dict": 0, "RuntimeError": 0, "IndexError": 0}
    end = time.monotonic() + seconds
    execs = 0
    while time.monotonic() < end:
        data = mutate(rng, rng.choice(pool), tokens)
        arg = prepare(data)
        for fn in fns:
            execs += 1
            try:
                result = fn(arg)
            except RuntimeError:
                counts["RuntimeError"] += 1
                continue
            except IndexError as e:
                assert str(e) == "empty stack", (fn.__name__, data, e)
                counts["IndexError"] += 1
                continue
            except BaseException as e:
                raise AssertionError(f"{fn.__name__}({data!r}) raised {type(e).__name__}: {e}") from e
            assert type(result) is dict, (fn.__name__, data, result)
            counts["dict"] += 1
            # inputs that still convert are worth mutating further
            if len(pool) < 5000:
                pool.append(data)
            else:
                pool[rng.randrange(len(seeds), len(pool))] = data
    print(f"{kind}: {execs} executions in {seconds} s, {len(pool)} inputs kept, outcomes {counts}")


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    for kind in ("wkt", "wkb"):
        run(kind, seconds, rng)


if __name__ == "__main__":
    main()
