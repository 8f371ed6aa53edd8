"""Shared pieces of the sceneio tests: the programs they compare with, scenes written for them,
and the C++ load's dump read back into plain values.

CTest runs these with PYTHONPATH pointing at the built package and SCENEIO_SCENE_INSPECT,
SCENEIO_SCENE_CONVERT, SCENEIO_SOURCE_DIR (and SCENEIO_CONFORMANCE_DIR) set.
"""

import json
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

SOURCE_DIR = Path(os.environ.get("SCENEIO_SOURCE_DIR", Path(__file__).resolve().parents[2]))
SAMPLE = SOURCE_DIR / "examples" / "dork" / "dork.grp"
MAKE_SCENE = SOURCE_DIR / "bench" / "make-scene"


def program(name):
    path = os.environ.get(name)
    if not path:
        pytest.fail(f"{name} is not set: run these tests through CTest")
    return path


def inspect_json(group, cwd=None):
    """The C++ load's dump of `group`, and scene-inspect's exit status."""
    done = subprocess.run([program("SCENEIO_SCENE_INSPECT"), "--json", str(group)], cwd=cwd,
                          capture_output=True, check=False)
    assert done.returncode in (0, 1), done.stderr
    return json.loads(done.stdout), done.returncode


def make_scene(out, *args):
    """A bench/make-scene scene in out/dork/; returns its group file, out/dork/dork.grp."""
    subprocess.run([sys.executable, str(MAKE_SCENE), "--out", str(Path(out) / "dork"),
                    *map(str, args)], check=True, capture_output=True)
    return Path(out) / "dork" / "dork.grp"


def write_scene(folder, files):
    """Writes {name: bytes or str} under folder/dork/ and returns the group file's path."""
    dork = Path(folder) / "dork"
    dork.mkdir(parents=True, exist_ok=True)
    for name, content in files.items():
        data = content.encode("latin-1") if isinstance(content, str) else content
        (dork / name).write_bytes(data)
    return dork / "dork.grp"


GROUP = 'group "t"\ninclude "t.lgt"\ninclude "t.cam"\ninclude "t.gmf"\ninclude "t.gof"\n'


def dump_bytes(text):
    """A dump string's bytes: each code point is one byte."""
    return text.encode("latin-1")


def f32(value):
    """The bit pattern of a float32, from a Python float or a dump float ("inf" and all)."""
    if isinstance(value, str):
        value = float(value)
    return int(np.array(value, dtype=np.float32).view(np.uint32))


@pytest.fixture
def sample():
    return SAMPLE
