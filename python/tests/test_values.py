"""Every value sceneio gives equals what the C++ load leaves in memory, as scene-inspect --json
dumps it: conformance scenes, generated scenes and scenes written here for the edges (names
that are not UTF-8, absent versus empty arrays, infinities, negative zero, a failed load)."""

import json
import os
import re
from pathlib import Path

import numpy as np
import pytest
import sceneio

from conftest import SAMPLE, f32, make_scene, program, write_scene
import subprocess


class Num(str):
    """A JSON number kept as its text, so that -0 keeps its sign."""


def dump_of(group, cwd):
    done = subprocess.run([program("SCENEIO_SCENE_INSPECT"), "--json", str(group)], cwd=cwd,
                          capture_output=True, check=False)
    assert done.returncode in (0, 1), done.stderr
    return json.loads(done.stdout, parse_float=Num, parse_int=Num)


def snake(name):
    return re.sub(r"[A-Z]", lambda m: "_" + m.group(0).lower(), name)


def flat(items):
    for item in items:
        if isinstance(item, list):
            yield from flat(item)
        else:
            yield item


def expect_array(view, dumped, where):
    if dumped["items"] is None:
        assert view is None, where
        return
    assert isinstance(view, np.ndarray), where
    assert view.shape[0] == int(dumped["count"]), where
    values = list(flat(dumped["items"]))
    if view.dtype == np.float32:
        want = np.array([f32(v) for v in values], dtype=np.uint32)
        assert np.array_equal(view.reshape(-1).view(np.uint32), want), where
    else:
        assert view.dtype == np.int32, where
        assert np.array_equal(view.reshape(-1), np.array([int(v) for v in values], np.int32)), where


def expect_value(value, dumped, where):
    """`value` from sceneio against its dump; the Python value's type says how they compare."""
    if isinstance(value, float):
        assert f32(value) == f32(dumped), where
    elif isinstance(value, bool) or isinstance(value, int):
        assert value == int(dumped), where
    elif isinstance(value, str):
        assert value.encode("utf-8", "surrogateescape") == dumped.encode("latin-1"), where
        assert os.fsencode(value) == dumped.encode("latin-1"), where
    elif isinstance(value, tuple):
        assert len(value) == len(dumped), where
        for i, (v, d) in enumerate(zip(value, dumped)):
            expect_value(v, d, f"{where}[{i}]")
    elif value is None or isinstance(value, np.ndarray):
        expect_array(value, dumped, where)
    else:
        expect_record(value, dumped, where)


def expect_record(record, dumped, where):
    for key, field in dumped.items():
        expect_value(getattr(record, snake(key)), field, f"{where}.{snake(key)}")


def expect_scene(scene, dump):
    files = dump["files"]
    for kind in ("group", "light", "camera", "material", "object"):
        got, want = getattr(scene.files, kind), files[kind]
        if want is None:
            assert got is None, kind
            continue
        assert os.fsencode(got.path) == want["path"].encode("latin-1").replace(b"\\", b"/")
        assert got.base_name == want["baseName"] and got.extension == want["extension"]
        assert got.read == want["read"] and got.size == int(want["size"]), kind
    for kind in ("lights", "materials", "objects"):
        records, want = getattr(scene, kind), dump[kind]
        assert len(records) == (int(want["count"]) if want["items"] is not None else 0), kind
        for i, record in enumerate(records):
            expect_record(record, want["items"][i], f"{kind}[{i}]")
    camera = dump["camera"]
    if camera["items"]:
        expect_record(scene.camera, camera["items"][0], "camera")
    else:
        assert scene.camera is None


def conformance_scenes():
    folder = os.environ.get("SCENEIO_CONFORMANCE_DIR", "")
    scenes = Path(folder) / "scenes"
    return sorted(p for p in scenes.iterdir() if p.is_dir()) if scenes.is_dir() else []


@pytest.mark.parametrize("scene_dir", conformance_scenes(), ids=lambda p: p.name)
def test_conformance_scene_equals_the_cpp_load(scene_dir, monkeypatch):
    monkeypatch.chdir(scene_dir)
    expect_scene(sceneio.load("dork/dork.grp"), dump_of("dork/dork.grp", scene_dir))


def test_sample_equals_the_cpp_load(monkeypatch):
    monkeypatch.chdir(SAMPLE.parent.parent)
    expect_scene(sceneio.load("dork/dork.grp"), dump_of("dork/dork.grp", SAMPLE.parent.parent))


@pytest.mark.parametrize("args,threads", [
    (["--triangles", 600, "--bodies", 3], None),
    (["--triangles", 300, "--bodies", 2, "--no-normals", "--seed", 3], None),
    (["--triangles", 300, "--bodies", 2, "--no-uvs", "--index-base", 1], None),
    (["--triangles", 200, "--bodies", 4, "--faces", "uv,position,normal"], None),
    (["--triangles", 8000, "--bodies", 3, "--seed", 5], 2),
    (["--triangles", 3000, "--bodies", 1, "--seed", 6], 3),
    (["--triangles", 3000, "--bodies", 2, "--seed", 8], 0),
], ids=["plain", "no-normals", "no-uvs-base-1", "uv-first", "two-threads", "three-threads",
        "thread-per-core"])
def test_generated_scene_equals_the_cpp_load(tmp_path, monkeypatch, args, threads):
    make_scene(tmp_path, *args)
    monkeypatch.chdir(tmp_path)
    # The C++ side loads in one thread: a load with several must give the same scene.
    expect_scene(sceneio.load("dork/dork.grp", threads=threads), dump_of("dork/dork.grp", tmp_path))


def sample_files(**changes):
    """The sample's five files as bytes, each changed by (old, new) byte replacements."""
    files = {p.name: p.read_bytes() for p in SAMPLE.parent.iterdir() if p.suffix != ".png"}
    for name, pairs in changes.items():
        for old, new in pairs:
            assert old in files[name.replace("_", ".")], (name, old)
            files[name.replace("_", ".")] = files[name.replace("_", ".")].replace(old, new)
    return files


EDGE_SCENES = {
    "names that are not UTF-8": sample_files(
        dork_gof=[(b'"cube"', b'"c\xffube\xc3\xa9"'), (b'"sides"', b'"\x80\x01"')],
        dork_gmf=[(b'"brick"', b'"br\xe9ck"')],
        dork_lgt=[(b'"key"', b'"\xfe"')]),
    "infinity, negative zero, subnormal": sample_files(
        dork_lgt=[(b"direction -0.5 -1 -0.25", b"direction -0 1e39 1.4e-45")],
        dork_gof=[(b"v 1 -1 -1,", b"v -0 -1e39 1e-40,")],
        dork_cam=[(b"yon 1000", b"yon 1e39")]),
    "empty sections are present, missing ones absent": sample_files(
        dork_gof=[(b"uv-array[] <\n    uv (0 v0) 0 0 1\n    uv (1 v0) 0 0 1\n"
                   b"    uv (1 v1) 0 0 1\n    uv (0 v1) 0 0 1\n  >", b"uv-array[] < >"),
                  (b"  uv-array[] <\n    uv (0 v0) 0 0 1\n    uv (1 v0) 0 0 1\n"
                   b"    uv (0.5 v1) 0 0 1\n  >\n", b""),
                  (b'  face-parts[] < 2 "base" - "apex" 2 : 0, 1, >) end\n', b"")]),
    "no camera block": sample_files(
        dork_cam=[(b"(\n  view-angle", b"view-angle"), (b"0 1 0\n)", b"0 1 0\n")]),
}


@pytest.mark.parametrize("files", EDGE_SCENES.values(), ids=EDGE_SCENES.keys())
def test_edge_scene_equals_the_cpp_load(tmp_path, monkeypatch, files):
    write_scene(tmp_path, files)
    monkeypatch.chdir(tmp_path)
    expect_scene(sceneio.load("dork/dork.grp"), dump_of("dork/dork.grp", tmp_path))


def test_empty_and_absent_arrays_differ(tmp_path):
    scene = sceneio.load(write_scene(tmp_path, EDGE_SCENES["empty sections are present, "
                                                           "missing ones absent"]))
    cube, pyramid = scene.objects
    assert cube.uvs is not None and cube.uvs.shape == (0, 2) and cube.uvs.dtype == np.float32
    assert pyramid.uvs is None and pyramid.face_parts.indices is None
    assert cube.face_parts.indices.shape == (12,)


def test_partial_load_equals_the_cpp_load(tmp_path, monkeypatch):
    files = sample_files(dork_grp=[(b'"dork.gmf"', b'"missing.gmf"')])
    write_scene(tmp_path, files)
    monkeypatch.chdir(tmp_path)
    result, scene = sceneio.load_partial("dork/dork.grp")
    dump = dump_of("dork/dork.grp", tmp_path)
    assert result == -1 and int(dump["result"]) == -1
    expect_scene(scene, dump)
    assert scene.files.material.read is False and scene.files.object is None
