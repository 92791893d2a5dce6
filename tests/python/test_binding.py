"""The runtime binding as Python sees it: loading the library, runtime error
texts, text handed to the runtime, and the runtime's own JSON."""
import os
import shutil
import subprocess
import sys

import pytest

import ostrel_geometry as og

RUNTIME = os.path.join(sys.prefix, "libvaskelith.so")
needs_runtime = pytest.mark.skipif(not os.path.isfile(RUNTIME), reason="runtime library not installed")


def _no_prefix_library(tmp_path):
    return f"import sys; sys.prefix = {str(tmp_path)!r}\n"


def _first_call_outcome(python_run, tmp_path, env):
    """Imports without a library under sys.prefix and makes two runtime calls,
    each on a new point (a fatal error poisons the model lock of the point it
    passed through)."""
    code = """
    import ostrel_geometry as og
    for _ in range(2):
        try:
            print("ok", og.Point({"x": 1, "y": 2}).JSON)
        except BaseException as e:
            print(type(e).__name__, "|", e)
    """
    r = python_run(code, prefix_code=_no_prefix_library(tmp_path), env=env)
    assert r.returncode == 0, r.stderr
    return r.stdout.splitlines()[-2:]


@pytest.fixture
def compiler():
    cc = shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        pytest.skip("no C compiler")
    return cc


def _shared_library(compiler, tmp_path, name, source):
    src = tmp_path / f"{name}.c"
    src.write_text(source)
    out = tmp_path / f"lib{name}.so"
    # A sanitizer runtime preloaded for the interpreter is not meant for the compiler.
    env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}
    subprocess.run([compiler, "-shared", "-fPIC", "-o", str(out), str(src)], check=True, env=env)
    return out


@needs_runtime
def test_search_takes_environment_variable(python_run, tmp_path):
    first, second = _first_call_outcome(python_run, tmp_path, {"GEOMETRY_LIB_PATH": RUNTIME})
    assert first == second == 'ok {"x":1,"y":2}'


def test_missing_environment_path_is_skipped_silently(python_run, tmp_path):
    # Nothing qualifies anywhere: the bare name is left to the dynamic loader,
    # and the failed load poisons the one-time initialisation for later calls.
    first, second = _first_call_outcome(python_run, tmp_path, {"GEOMETRY_LIB_PATH": str(tmp_path / "missing.so")})
    assert first.startswith("PanicException | Failed to load vaskelith library at libvaskelith.so: "
                            "Could not open library: libvaskelith.so: cannot open shared object file")
    assert second == "PanicException | Once instance has previously been poisoned"


def test_library_lacking_a_name_is_refused(python_run, tmp_path, compiler):
    # Only the first name of the load order: the second one is reported.
    lib = _shared_library(compiler, tmp_path, "lacking", "void QX_Segment_destroy(void) {}\n")
    first, _ = _first_call_outcome(python_run, tmp_path, {"GEOMETRY_LIB_PATH": str(lib)})
    assert first == (f"PanicException | Failed to load vaskelith library at {lib}: Could not obtain symbol from the "
                     f"library: {lib}: undefined symbol: QX_Segment_getEndPoint")


def test_name_at_address_zero_is_refused(python_run, tmp_path, compiler):
    lib = _shared_library(compiler, tmp_path, "nullname",
                          "void QX_Segment_destroy(void) {}\n"
                          '__asm__(".globl QX_Segment_getEndPoint\\n.set QX_Segment_getEndPoint, 0\\n");\n')
    first, _ = _first_call_outcome(python_run, tmp_path, {"GEOMETRY_LIB_PATH": str(lib)})
    assert first == f"PanicException | Failed to load vaskelith library at {lib}: The symbol is NULL"


@needs_runtime
@pytest.mark.parametrize("text, message", [
    ("{bad", "Vaskelith library error: 'Invalid JSON text: At offset 1: expected a member name'"),
    ('{"x": 1}', "Vaskelith library error: 'Invalid geometry JSON: A point needs \"y\"'"),
])
def test_runtime_errors_reach_python_as_normalised_text(text, message):
    # The runtime's message and additional message, trailing full stops
    # removed and first letters upper-cased, joined by ": ".
    with pytest.raises(Exception) as info:
        og.Geometry(text)
    assert str(info.value) == message


@needs_runtime
def test_nul_byte_in_user_text_is_an_ordinary_error():
    point = og.Point({"x": 1, "y": 2, "spatialReference": {"wkt": "GEOGCS\0"}})
    for _ in range(2):  # the point is not poisoned by the first failure
        with pytest.raises(Exception) as info:
            point.JSON
        assert type(info.value) is Exception
        assert str(info.value) == (
            "Vaskelith library error: 'Invalid well-known text: The text contains a NUL character'"
        )
    assert str(point).startswith("{")
    # runtime JSON text given as a geometry, alone or as a collection item
    message = "Vaskelith library error: 'Invalid JSON text: At offset 2: a NUL character'"
    with pytest.raises(Exception) as info:
        og.Geometry('{"\0x": 1}')
    assert type(info.value) is Exception and str(info.value) == message
    with pytest.raises(Exception) as info:
        og.length_collection([b'{"\0x": 1}'])
    assert type(info.value) is Exception and str(info.value) == message


@needs_runtime
@pytest.mark.parametrize("source", [
    {"x": 1.5, "y": -2, "z": 3, "spatialReference": {"wkid": 4326}},
    {"points": [[0, 0], [1e300, 5e-324]]},
    {"paths": [[[0, 0], [3, 4]], [[5, 5], [6, 6]]]},
    {"rings": [[[0, 0], [0, 1], [1, 1], [1, 0], [0, 0]]]},
])
def test_runtime_json_round_trips(source):
    first = og.Geometry(source).JSON
    assert og.Geometry(first).JSON == first
