"""The dynamic symbol tables of the installed module and runtime: each file
exports its interface and nothing of the C++ library it was built with."""

import os
import re
import shutil
import subprocess
import sys

import pytest

import ostrel_geometry

RUNTIME = os.path.join(sys.prefix, "libvaskelith.so")
NAMES_H = os.path.join(os.path.dirname(__file__), "..", "..", "runtime", "include", "vaskelith", "names.h")
INTERNAL_NAMES_H = os.path.join(os.path.dirname(NAMES_H), "internal_names.h")

pytestmark = pytest.mark.skipif(shutil.which("nm") is None, reason="nm (binutils) is not installed")


def exported(path):
    out = subprocess.run(["nm", "-D", "--defined-only", path], check=True, capture_output=True, text=True).stdout
    return {line.split()[-1] for line in out.splitlines() if line.strip()}


def test_the_module_exports_its_entry_point_only():
    assert exported(ostrel_geometry.__file__) == {"PyInit_ostrel_geometry"}


def test_the_runtime_exports_its_interface_only():
    if not os.path.isfile(RUNTIME):
        pytest.skip(f"runtime library not found at {RUNTIME}")
    with open(NAMES_H) as f:
        interface = set(re.findall(r"^X\((QX_\w+)\)", f.read(), re.M))
    with open(INTERNAL_NAMES_H) as f:
        internal = set(re.findall(r"^X\((vaskelith_\w+)\)", f.read(), re.M))
    assert interface and internal
    assert exported(RUNTIME) == interface | internal | {"vaskelith_live_handle_count"}
