"""The type stubs installed with the module say what the module has: every
name, every class member, and every parameter in its order, with a default
where the module has one.  mypy --strict accepts the tour against them."""
import ast
import importlib.util
import inspect
import pathlib
import subprocess
import sys

import pytest

import ostrel_geometry as og

ROOT = pathlib.Path(__file__).resolve().parents[2]
STUBS = ROOT / "src" / "python" / "stubs" / "ostrel_geometry"
INSTALLED = pathlib.Path(importlib.util.find_spec("ostrel_geometry").origin).parent / "ostrel_geometry"
MODULES = {"__init__": og, "projection": og.projection, "utils": og.utils}

# The slots that stand for an operator or a protocol the stubs describe; the
# others (__new__ aside) are object's own.
PROTOCOL = {"__iter__", "__len__", "__getitem__", "__setitem__", "__delitem__", "__int__", "__or__", "__ror__",
            "__and__", "__rand__", "__invert__"}


def stub_tree(name):
    return ast.parse((STUBS / f"{name}.pyi").read_text(encoding="utf-8"))


def is_alias(node):
    return isinstance(node, ast.AnnAssign) and ast.unparse(node.annotation) == "TypeAlias"


def top_level(tree):
    names = {}
    for node in tree.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            names[node.name] = node
        elif isinstance(node, ast.AnnAssign) and not is_alias(node):
            names[node.target.id] = node
        elif isinstance(node, ast.ImportFrom):
            # "import x as x" is how a stub says that it re-exports a name.
            for a in node.names:
                if a.asname == a.name:
                    names[a.name] = node
    return names


def members(cls_node, classes):
    # Its own and those of its bases in the stub, the nearest first.
    out = {}
    for node in cls_node.body:
        if isinstance(node, ast.FunctionDef):
            out.setdefault(node.name, node)
        elif isinstance(node, ast.AnnAssign):
            out[node.target.id] = node
    for base in cls_node.bases:
        if isinstance(base, ast.Name) and base.id in classes:
            for name, node in members(classes[base.id], classes).items():
                out.setdefault(name, node)
    return out


def live_names(module):
    if module is og:
        return set(og.__all__)
    return {n for n in dir(module) if not n.startswith("_")}


def live_members(cls):
    names = set()
    for klass in cls.__mro__[:-1]:
        for name in vars(klass):
            if not name.startswith("__") or name in PROTOCOL:
                names.add(name)
    names.discard("__qxc_geo")
    return names


def stub_params(fn):
    args = fn.args
    positional = args.posonlyargs + args.args
    defaults = [None] * (len(positional) - len(args.defaults)) + list(args.defaults)
    params = [(a.arg, d is not None) for a, d in zip(positional, defaults)]
    params += [(a.arg, d is not None) for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    if params and params[0][0] in ("self", "cls"):
        params = params[1:]
    return params


def live_params(obj):
    try:
        sig = inspect.signature(obj)
    except (TypeError, ValueError):
        return None
    return [(p.name, p.default is not inspect.Parameter.empty) for p in sig.parameters.values()
            if p.name not in ("self", "cls")]


def test_the_installed_stubs_are_the_tree_s():
    for path in STUBS.iterdir():
        assert (INSTALLED / path.name).read_bytes() == path.read_bytes(), path.name


@pytest.mark.parametrize("module_name", sorted(MODULES))
def test_every_name_of_the_module_is_in_its_stub(module_name):
    module = MODULES[module_name]
    stub = top_level(stub_tree(module_name))
    expected = live_names(module) | ({"__version__", "projection", "utils"} if module is og else set())
    assert set(stub) == expected


def stub_classes_and_functions():
    for module_name, module in MODULES.items():
        for name, node in top_level(stub_tree(module_name)).items():
            if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
                yield pytest.param(module, name, node, id=f"{module_name}.{name}")


@pytest.mark.parametrize("module, name, node", list(stub_classes_and_functions()))
def test_members_and_parameters_match(module, name, node):
    live = getattr(module, name)
    if isinstance(node, ast.FunctionDef):
        assert stub_params(node) == live_params(live)
        return
    classes = {n: c for n, c in top_level(stub_tree("__init__")).items() if isinstance(c, ast.ClassDef)}
    stub = members(node, classes)
    assert set(stub) - {"__new__"} == live_members(live)
    for member, fn in stub.items():
        if not isinstance(fn, ast.FunctionDef) or any(ast.unparse(d) == "property" or ".setter" in ast.unparse(d)
                                                       for d in fn.decorator_list):
            continue
        if member == "__new__":
            # A class's own signature is its constructor's; the factory of
            # Geometry states none.
            expected = live_params(live) if live.__text_signature__ not in (None, "()") else None
        else:
            expected = live_params(inspect.getattr_static(live, member).__get__(None, live)
                                   if isinstance(inspect.getattr_static(live, member), staticmethod)
                                   else getattr(live, member))
        if expected is not None and member not in PROTOCOL:
            assert stub_params(fn) == expected, member


def test_the_stubs_are_well_formed_under_mypy_strict():
    run = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--cache-dir", "/dev/null",
                          "-p", "ostrel_geometry"], cwd=STUBS.parent, capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr


def test_mypy_strict_accepts_the_tour():
    # The installed stubs are what a user's checker finds.
    run = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--cache-dir", "/dev/null",
                          str(ROOT / "examples" / "tour.py")], capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
