"""Import-time behaviour: finding the runtime, warnings, module attributes."""
import importlib.metadata
import os
import pathlib
import re
import sys

import pytest

import ostrel_geometry as og

# The version is set once, in pyproject.toml; the installed metadata carries it.
VERSION = importlib.metadata.version("ostrel_geometry")

# The module's names are listed once, in module.cpp, which start-up holds the
# registered definitions against; the tests read that list.
MODULE_SOURCE = pathlib.Path(__file__).resolve().parents[2] / "src" / "python" / "module.cpp"
LISTED = {
    m.group(1): re.findall(r'"([^"]*)"', m.group(2))
    for m in re.finditer(r"constexpr const char\* k(\w+)\[\] = \{(.*?)\};", MODULE_SOURCE.read_text(), re.S)
}
FUNCTIONS = LISTED["Functions"]
CLASSES = LISTED["Classes"]


def test_all_lists_everything_in_registration_order():
    assert (len(FUNCTIONS), len(CLASSES)) == (35, 23)
    # Byte-wise ascending: "remove_z_and_m_collection" before "remove_z_collection".
    for names in (FUNCTIONS, CLASSES):
        assert names == sorted(names, key=str.encode)
    assert og.__all__ == FUNCTIONS + CLASSES + ["projection", "utils", "__version__"]
    assert all(type(getattr(og, n)).__name__ == "builtin_function_or_method" for n in FUNCTIONS)
    assert all(isinstance(getattr(og, n), type) for n in CLASSES)


def test_version():
    assert og.__version__ == VERSION


def test_submodules_are_importable_by_dotted_name():
    import ostrel_geometry.projection as projection
    import ostrel_geometry.utils as utils
    from ostrel_geometry import utils as utils2

    assert projection is og.projection and utils is og.utils is utils2
    assert sys.modules["ostrel_geometry.utils"] is og.utils
    assert og.utils.__all__ == LISTED["UtilsFunctions"]
    assert og.projection.__all__ == LISTED["ProjectionFunctions"] + LISTED["ProjectionClasses"]
    assert (len(og.utils.__all__), len(og.projection.__all__)) == (5, 6)
    assert og.utils.__doc__ == "Utility functions for Ostrel geometries"


def test_hidden_classes_are_not_attributes():
    for name in ("QXCGeo", "PartIterator", "CurvePartIterator", "MultipartIterator"):
        assert not hasattr(og, name)


def test_classes_are_mutable_and_only_some_subclassable():
    og.Point.some_new_attribute = 1
    del og.Point.some_new_attribute
    for name in ("Geometry", "Point", "MultiPoint", "Polyline", "Polygon", "Envelope", "Segment", "CurveSegment"):
        type("Sub", (getattr(og, name),), {})
    for name in ("Part", "CurvePart", "Multipart", "CurveMultipart", "Coord", "Linear", "SpatialReference", "AreaUnit"):
        with pytest.raises(TypeError):
            type("Sub", (getattr(og, name),), {})
    assert og.Point.__module__ == "ostrel_geometry"


def test_import_prints_no_warning_when_installed(python_run):
    r = python_run("import ostrel_geometry")
    assert r.returncode == 0, r.stderr
    assert r.stdout == ""


def _prefix_code(prefix):
    return f"import sys; sys.prefix = {prefix!r}\n"


def test_prefix_without_library_warns_and_imports(python_run, tmp_path):
    r = python_run("import ostrel_geometry as og; print(og.__version__)", prefix_code=_prefix_code(str(tmp_path)))
    assert r.returncode == 0, r.stderr
    path = f"{tmp_path}/libvaskelith.so"
    assert r.stdout == f"Warning: was unable to find vaskelith lib in sys.prefix.\n Path: {path}\n{VERSION}\n"


@pytest.mark.parametrize("prefix_code", ["import sys; del sys.prefix\n", "import sys; sys.prefix = 42\n"])
def test_unreadable_prefix_warns(python_run, prefix_code):
    r = python_run("import ostrel_geometry as og; print(og.__version__)", prefix_code=prefix_code)
    assert r.returncode == 0, r.stderr
    assert r.stdout == f"Warning: could not find sys prefix while loading ostrelmod module\n{VERSION}\n"


def test_folder_in_place_of_library(python_run, tmp_path):
    (tmp_path / "libvaskelith.so").mkdir()
    r = python_run("import ostrel_geometry", prefix_code=_prefix_code(str(tmp_path)))
    assert r.returncode == 0, r.stderr
    assert r.stdout == f"Warning: vaskelith lib at {tmp_path}/libvaskelith.so was not a file\n"


def test_broken_link_warns(python_run, tmp_path):
    os.symlink(tmp_path / "missing.so", tmp_path / "libvaskelith.so")
    r = python_run("import ostrel_geometry", prefix_code=_prefix_code(str(tmp_path)))
    assert r.returncode == 0, r.stderr
    assert "Warning: was unable to find vaskelith lib in sys.prefix." in r.stdout


def test_link_to_real_library_loads(python_run, tmp_path):
    os.symlink(os.path.join(sys.prefix, "libvaskelith.so"), tmp_path / "libvaskelith.so")
    r = python_run("import ostrel_geometry", prefix_code=_prefix_code(str(tmp_path)))
    assert r.returncode == 0, r.stderr
    assert r.stdout == ""


def test_file_that_is_no_library_panics(python_run, tmp_path):
    (tmp_path / "libvaskelith.so").write_bytes(b"not a library")
    code = """
    import sys
    try:
        import ostrel_geometry
    except BaseException as e:
        assert not isinstance(e, Exception)
        print(type(e).__name__, "|", e)
    print("ostrel_geometry" in sys.modules)
    """
    r = python_run(code, prefix_code=_prefix_code(str(tmp_path)))
    assert r.returncode == 0, r.stderr
    name, message = r.stdout.splitlines()[0].split(" | ", 1)
    assert name == "PanicException"
    assert message.startswith(f"Failed to load vaskelith library at {tmp_path}/libvaskelith.so: Could not open library: ")
    assert r.stdout.splitlines()[1] == "False"
    assert "Failed to load vaskelith library" in r.stderr  # the report comes first, on stderr


def test_library_search_uses_environment_variable(python_run, tmp_path):
    """Without a library under sys.prefix, the first runtime call searches GEOMETRY_LIB_PATH."""
    code = """
    import ostrel_geometry as og
    p = og.Point({"x": 1, "y": 2})
    print(p.JSON is not None)
    """
    r = python_run(code, prefix_code=_prefix_code(str(tmp_path)),
                   env={"GEOMETRY_LIB_PATH": os.path.join(sys.prefix, "libvaskelith.so")})
    assert r.returncode == 0, r.stderr
    assert r.stdout.splitlines()[-1] == "True"


def test_failed_search_poisons_later_calls(python_run, tmp_path):
    bad = tmp_path / "bad.so"
    bad.write_bytes(b"junk")
    code = """
    import ostrel_geometry as og
    for _ in range(2):
        try:
            og.Point({"x": 1, "y": 2}).JSON
        except BaseException as e:
            print(type(e).__name__, "|", e)
    """
    r = python_run(code, prefix_code=_prefix_code(str(tmp_path)), env={"GEOMETRY_LIB_PATH": str(bad)})
    lines = r.stdout.splitlines()[2:]  # after the two-line warning
    assert lines[0].startswith(f"PanicException | Failed to load vaskelith library at {bad}: Could not open library:")
    # the runtime stays unusable: the environment set-up that failed with the load is poisoned too
    assert lines[1] in (
        "PanicException | LazyLock instance has previously been poisoned",
        "PanicException | Once instance has previously been poisoned",
    )


def test_geometry_without_argument_uses_the_factory():
    with pytest.raises(TypeError, match="^Geometry expects 1 argument$"):
        og.Geometry()


def test_second_interpreter_is_refused_and_reimport_gives_the_same_module(python_run):
    code = """
    import sys
    import ostrel_geometry
    try:
        import _interpreters as si            # 3.13 and later
    except ImportError:
        import _xxsubinterpreters as si
    interp = si.create()
    try:
        # newer interpreters return the failure instead of raising it
        failure = si.run_string(interp, "import ostrel_geometry")
    except Exception as e:
        failure = e
    print("ImportError" in repr(failure) + str(failure) if failure else "imported")
    del sys.modules["ostrel_geometry"]
    import ostrel_geometry as again
    print(again is ostrel_geometry)
    """
    r = python_run(code)
    assert r.returncode == 0, r.stderr
    assert r.stdout.split() == ["True", "True"]
