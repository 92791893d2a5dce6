"""What the README, the architecture notes and the tour tell a reader holds:
the README's Python runs and prints what its comments say, the tour prints
what its labels promise, and every file the documents name is in the tree."""
import ast
import contextlib
import io
import json
import math
import pathlib
import re
import subprocess
import sys
import tokenize

import pytest
from geographiclib.geodesic import Geodesic
from pyproj import Transformer

ROOT = pathlib.Path(__file__).resolve().parents[2]
DOCS = [ROOT / "README.md", ROOT / "docs" / "ARCHITECTURE.md"]


def code_blocks(path, language):
    return re.findall(rf"^```{language}\n(.*?)^```", path.read_text(encoding="utf-8"), re.S | re.M)


def one_degree_cell_km2():
    """The area of the cell (0..1, 0..1) in longitude and latitude on WGS 84."""
    cell = Geodesic.WGS84.Polygon()
    for lat, lon in [(0, 0), (1, 0), (1, 1), (0, 1)]:
        cell.AddPoint(lat, lon)
    return abs(cell.Compute()[2]) / 1e6


def run_printing(source):
    """Runs `source`; the lines it prints, and for each `print(` line of the
    source the comment it carries (or None), in order."""
    comments = {}
    for tok in tokenize.generate_tokens(io.StringIO(source).readline):
        if tok.type == tokenize.COMMENT:
            comments[tok.start[0]] = tok.string.lstrip("# ")
    prints = [comments.get(i) for i, line in enumerate(source.splitlines(), 1) if line.startswith("print(")]
    out = io.StringIO()
    namespace = {}
    with contextlib.redirect_stdout(out):
        exec(compile(source, "README.md", "exec"), namespace)
    namespace.clear()  # the geometries go with the test
    return out.getvalue().splitlines(), prints


def test_the_readme_python_prints_what_its_comments_say():
    (block,) = code_blocks(ROOT / "README.md", "python")
    lines, comments = run_printing(block)
    assert len(lines) == len(comments)
    # A number in a comment is the value printed, to the digits it shows.
    for line, comment in zip(lines, comments):
        number = re.search(r"-?\d+\.(\d+)", comment or "")
        if number:
            assert round(float(line), len(number.group(1))) == float(number.group(0)), (line, comment)

    # And the values themselves, against the references.
    area, geodesic_km2, projected, geojson = lines
    assert float(area) == 1.0
    assert float(geodesic_km2) == pytest.approx(one_degree_cell_km2(), rel=1e-12)
    to_mercator = Transformer.from_crs(4326, 3857, always_xy=True)
    ring = json.loads(projected)["rings"][0]
    expected = [to_mercator.transform(x, y) for x, y in [(0, 0), (0, 1), (1, 1), (1, 0)]]
    assert ring == [pytest.approx(p, rel=1e-12, abs=1e-9) for p in expected]
    assert ast.literal_eval(geojson)["coordinates"] == [(30.0, 10.0), (10.0, 30.0), (40.0, 40.0)]


def test_the_tour_prints_what_its_labels_promise():
    run = subprocess.run([sys.executable, str(ROOT / "examples" / "tour.py")], capture_output=True, text=True,
                         timeout=300)
    assert run.returncode == 0, run.stderr
    said = {}
    for line in run.stdout.splitlines():
        label, _, value = line.partition(": ")
        said[label] = value

    # Rings of results do not repeat their first vertex; to_dict closes them.
    ring = json.loads(said["intersection"])["rings"][0]
    assert ring[0] != ring[-1]
    assert said["intersection area"].split(" as dict: ")[1].count(str(ring[0])) == 2
    assert float(said["half disc area (pi/2)"]) == pytest.approx(math.pi / 2, rel=1e-15)
    equator = Geodesic.WGS84.Inverse(0, 0, 0, 1)["s12"]
    assert float(said["one degree along the equator (m)"]) == round(equator, 3)
    assert float(said["one-degree cell (km2)"]) == round(one_degree_cell_km2(), 3)
    # A flat disc of 10 km has the area the label quotes; the geodesic one,
    # inscribed within 1 m, a little less.
    disc_label = "geodetic 10 km buffer around Paris (km2; a flat disc has 314.16)"
    assert round(math.pi * 100, 2) == 314.16
    assert math.pi * 9.999**2 < float(said[disc_label]) < math.pi * 100
    x, y = Transformer.from_crs(4326, 32631, always_xy=True).transform(3, 45)
    utm = json.loads(said["in UTM zone 31N"])
    assert (utm["x"], utm["y"]) == (pytest.approx(x, abs=1e-6), pytest.approx(y, abs=1e-6))


# Named by the documents, but no file of the tree: what the build makes or
# the system holds, and the file a folder is said to lack.
NOT_IN_THE_TREE = {"Python.h", "__init__.py"}
# Where the documents' shortened paths start.
BASES = ["", "src", "src/python", "runtime", "runtime/src", "runtime/include"]
FILE = re.compile(r"\.(?:py|pyi|sh|md|c|cpp|hpp|h|typed)$")


def named_paths(text):
    code = re.findall(r"`([^`\n]+)`", text) + re.findall(r"^```\w*\n(.*?)^```", text, re.S | re.M)
    links = re.findall(r"\]\(([^)\s]+)\)", text)
    for token in " ".join(code + links).split():
        token = token.strip("\"'(),;:")
        if token.startswith(("-", "~", "<", "/", "$", ".venv", "build/", "http")) or "=" in token:
            continue
        if ("/" in token and re.fullmatch(r"[\w.\-/]+", token)) or FILE.search(token):
            yield token


@pytest.mark.parametrize("doc", DOCS, ids=lambda p: p.name)
def test_every_file_the_documents_name_is_in_the_tree(doc):
    tracked = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True)
    if tracked.returncode != 0:
        pytest.skip("not a git checkout")
    files = set(tracked.stdout.split())
    folders = {str(p) for f in files for p in pathlib.PurePosixPath(f).parents}
    names = {pathlib.PurePosixPath(f).name for f in files}
    missing = []
    for token in set(named_paths(doc.read_text(encoding="utf-8"))) - NOT_IN_THE_TREE:
        if "/" not in token:
            found = token in names
        else:
            path = token.rstrip("/")
            found = any(str(pathlib.PurePosixPath(base, path)) in (folders if token.endswith("/") else files | folders)
                        for base in BASES)
        if not found:
            missing.append(token)
    assert sorted(missing) == []
