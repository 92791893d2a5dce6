"""The floors of the source tree and what each may include (docs/ARCHITECTURE.md).

Each floor of src/ includes only itself and the floors below it; only the
binding sees the runtime's C interface; Python's headers stay on the Python
floor; GEOS, PROJ and GeographicLib stay in the runtime, which includes
nothing of src/.  The check reads the #include lines of the sources.
"""
import pathlib
import re

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SRC = ROOT / "src"
RUNTIME = ROOT / "runtime"

# The floors of src/, each with the project folders it may include.
# "vaskelith" is the runtime's C interface (runtime/include/vaskelith).
MAY_INCLUDE = {
    "core": {"core"},
    "binding": {"core", "binding", "vaskelith"},
    "model": {"core", "binding", "model"},
    "geomio": {"core", "geomio"},
    "python": {"core", "binding", "model", "geomio", "python"},
}
PROJECT_FOLDERS = set(MAY_INCLUDE) | {"vaskelith"}

# System headers that belong to one place only.
PYTHON_HEADERS = {"Python.h"}
ENGINE_HEADER = re.compile(r"^(geos_c\.h|geos/|proj\.h|proj/|GeographicLib/)")

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8"))


def sources(folder):
    return sorted(p for p in folder.rglob("*") if p.suffix in (".hpp", ".cpp", ".h", ".c") and p.is_file())


def test_the_floors_are_where_they_are_said_to_be():
    floors = {p.name for p in SRC.iterdir() if p.is_dir()}
    assert floors == set(MAY_INCLUDE)


@pytest.mark.parametrize("floor", sorted(MAY_INCLUDE))
def test_each_floor_includes_only_floors_below_it(floor):
    wrong = []
    for path in sources(SRC / floor):
        rel = path.relative_to(ROOT).as_posix()
        for bracket, target in includes(path):
            top = target.split("/", 1)[0] if "/" in target else None
            if bracket == '"' and top in PROJECT_FOLDERS and top not in MAY_INCLUDE[floor]:
                wrong.append(f"{rel} includes {target}")
            if target in PYTHON_HEADERS and floor != "python":
                wrong.append(f"{rel} includes <{target}>")
            if ENGINE_HEADER.match(target):
                wrong.append(f"{rel} includes <{target}>, which only the runtime may use")
    assert not wrong, "\n".join(wrong)


def test_no_include_climbs_out_of_its_folder():
    # A path through "../" would reach a floor without naming it.
    wrong = [
        f"{path.relative_to(ROOT).as_posix()} includes {target}"
        for path in sources(SRC) + sources(RUNTIME)
        for _, target in includes(path)
        if target.startswith("../") or "/../" in target
    ]
    assert not wrong, "\n".join(wrong)


# What reaches the runtime's functions: the table entry, the call macros and
# their helpers, or an export's name.
RUNTIME_CALL = re.compile(r"\bQX\s*\(|\bOSTREL_RT_CALL\w*|\brt::detail::|\bQX_[A-Z]\w*_\w+")
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)


@pytest.mark.parametrize("floor", sorted(set(MAY_INCLUDE) - {"binding"}))
def test_only_the_binding_calls_the_runtime(floor):
    wrong = []
    for path in sources(SRC / floor):
        code = COMMENT.sub("", path.read_text(encoding="utf-8"))
        for n, line in enumerate(code.splitlines(), 1):
            if RUNTIME_CALL.search(line):
                wrong.append(f"{path.relative_to(ROOT).as_posix()}: {line.strip()}")
    assert not wrong, "\n".join(wrong)


def test_the_runtime_includes_nothing_of_the_module():
    wrong = []
    for path in sources(RUNTIME):
        rel = path.relative_to(ROOT).as_posix()
        for bracket, target in includes(path):
            top = target.split("/", 1)[0] if "/" in target else None
            if top in MAY_INCLUDE or target in PYTHON_HEADERS:
                wrong.append(f"{rel} includes {target}")
    assert not wrong, "\n".join(wrong)
