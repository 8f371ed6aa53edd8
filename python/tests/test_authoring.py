"""Scenes built in Python from records and numpy arrays: every field taken as given, arrays
copied, and what cannot be a field refused with the field named."""

import os
import subprocess

import numpy as np
import pytest
import sceneio

from conftest import SAMPLE, program

FIELDS = {  # record type -> every attribute of a loaded sample record
    sceneio.Light: lambda s: s.lights[0],
    sceneio.Camera: lambda s: s.camera,
    sceneio.Material: lambda s: s.materials[0],
    sceneio.Body: lambda s: s.objects[0],
}


def attributes(record):
    return [name for name, value in vars(type(record)).items() if isinstance(value, property)]


def same(a, b):
    if isinstance(a, np.ndarray) or isinstance(b, np.ndarray):
        return a is not None and b is not None and a.dtype == b.dtype and np.array_equal(a, b)
    if hasattr(a, "first_name"):
        return all(same(getattr(a, n), getattr(b, n)) for n in attributes(a))
    return a == b


@pytest.mark.parametrize("kind", FIELDS, ids=lambda k: k.__name__)
def test_a_record_built_from_a_loaded_ones_fields_equals_it(kind):
    loaded = FIELDS[kind](sceneio.load(SAMPLE))
    built = kind(**{name: getattr(loaded, name) for name in attributes(loaded)})
    for name in attributes(loaded):
        assert same(getattr(built, name), getattr(loaded, name)), name


def test_a_built_scene_draws_as_the_loaded_one():
    loaded = sceneio.load(SAMPLE)
    built = sceneio.Scene(lights=list(loaded.lights), camera=loaded.camera,
                          materials=list(loaded.materials), objects=list(loaded.objects))
    assert built.files == sceneio.Files(None, None, None, None, None)
    # Dressed alike (glass has no texture, which the built scene has no folder to find in).
    glass = {"materials": {"cube": "glass", "pyramid": "glass"}}
    assert np.array_equal(sceneio.render(built, 120, 90, **glass),
                          sceneio.render(loaded, 120, 90, **glass))
    # The built scene has no group file: its bodies wear nothing until told.
    assert built.body_materials() == []
    assert not np.array_equal(sceneio.render(built, 120, 90),
                              sceneio.render(built, 120, 90, **glass))


@pytest.mark.parametrize("records,shown", [
    ({}, "0 lights, no camera, 0 materials, 0 objects"),
    ({"lights": [sceneio.Light(name="sun")], "camera": sceneio.Camera(),
      "materials": [sceneio.Material(name='"a"'), sceneio.Material(name='"b"')]},
     "1 light, a camera, 2 materials, 0 objects"),
])
def test_a_scene_shows_what_it_holds(records, shown):
    assert repr(sceneio.Scene(**records)) == f"<sceneio.Scene: {shown}>"


def test_arrays_are_copied_in():
    vertices = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0]], np.float64)
    body = sceneio.Body(name='"t"', vertices=vertices, faces=np.zeros((1, 3, 3), np.int64))
    vertices[0, 0] = 5
    assert body.vertices[0, 0] == 0 and body.vertices.dtype == np.float32
    assert body.faces.dtype == np.int32 and not body.faces.flags.writeable
    assert body.normals is None
    assert sceneio.Body(uvs=[]).uvs.shape == (0, 2)
    scene = sceneio.Scene(objects=[body], lights=None)
    assert not np.shares_memory(scene.objects[0].vertices, body.vertices)
    assert len(scene.lights) == 0 and scene.camera is None


@pytest.mark.parametrize("build,exception,words", [
    (lambda: sceneio.Body(vertices=[[1, 2]]), TypeError, "vertices"),
    (lambda: sceneio.Body(vertices=np.zeros((2, 3, 1))), TypeError, "vertices"),
    (lambda: sceneio.Body(faces=np.zeros((1, 3, 3))), TypeError, "faces"),
    (lambda: sceneio.Body(faces=np.full((1, 3, 3), 2**40)), ValueError, "faces"),
    (lambda: sceneio.Body(uvs=[["a", "b"]]), TypeError, "uvs"),
    (lambda: sceneio.Body(face_parts=3), TypeError, "face_parts"),
    (lambda: sceneio.Body(name=3), TypeError, "name"),
    (lambda: sceneio.Body(colour=3), TypeError, "colour"),
    (lambda: sceneio.Light(direction=(1, 2)), TypeError, "direction"),
    (lambda: sceneio.Light(direction="abc"), TypeError, "direction"),
    (lambda: sceneio.Light(extra_flag=256), ValueError, "extra_flag"),
    (lambda: sceneio.Light(extra_int=True), TypeError, "extra_int"),
    (lambda: sceneio.Material(reserved=1), TypeError, "reserved"),
    (lambda: sceneio.FaceParts(reserved=-1), ValueError, "reserved"),
    (lambda: sceneio.Camera(view_angle="45"), TypeError, "view_angle"),
    (lambda: sceneio.Scene(lights=[sceneio.Camera()]), TypeError, "lights"),
    (lambda: sceneio.Scene(camera=sceneio.Light()), TypeError, "camera"),
    (lambda: sceneio.Scene(sceneio.Light()), TypeError, ""),
], ids=lambda v: v if isinstance(v, str) else "")
def test_what_cannot_be_a_field_is_refused_by_name(build, exception, words):
    with pytest.raises(exception) as raised:
        build()
    assert words in str(raised.value)


def scene_convert(*args):
    done = subprocess.run([program("SCENEIO_SCENE_CONVERT"), *map(str, args)],
                          capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr


def group_entries(group):
    """The body-material entries of a group file, read here word by word."""
    words = group.read_bytes().split()
    return [(words[i + 1], words[i + 2]) for i, w in enumerate(words[:-2]) if w == b"body-material"]


def test_write_gives_the_files_scene_convert_writes(tmp_path):
    (tmp_path / "cli").mkdir()
    (tmp_path / "py").mkdir()
    scene_convert(SAMPLE, tmp_path / "cli" / "dork.grp")
    report = sceneio.write(sceneio.load(SAMPLE), tmp_path / "py" / "dork.grp")
    assert report.warnings == []
    cli = sorted(p.name for p in (tmp_path / "cli").iterdir())
    assert sorted(p.name for p in (tmp_path / "py").iterdir()) == cli
    assert len(cli) >= 5  # the five files and the texture copied beside them
    for name in cli:
        assert (tmp_path / "py" / name).read_bytes() == (tmp_path / "cli" / name).read_bytes(), name


def test_body_materials_are_the_group_files_entries():
    loaded = sceneio.load(SAMPLE)
    entries = [(os.fsdecode(b), os.fsdecode(m)) for b, m in group_entries(SAMPLE)]
    assert entries and loaded.body_materials() == entries
    assert sceneio.Scene(objects=list(loaded.objects)).body_materials() == []


ASSIGNED = {  # body_materials= -> the entries written, as tokens
    "as records name them": ({'"cube"': '"glass"'}, [('"cube"', '"glass"')]),
    "as scene-inspect shows them, as pairs": ([("pyramid", "brick"), ("cube", "brick")],
                                              [('"pyramid"', '"brick"'), ('"cube"', '"brick"')]),
    "none at all": ({}, []),
}


@pytest.mark.parametrize("given,entries", ASSIGNED.values(), ids=ASSIGNED.keys())
def test_given_body_materials_replace_the_group_files(tmp_path, given, entries):
    sceneio.write(sceneio.load(SAMPLE), tmp_path / "a.grp", body_materials=given)
    assert sceneio.load(tmp_path / "a.grp").body_materials() == entries


def test_a_scene_built_from_arrays_loads_back_field_for_field(tmp_path):
    rng = np.random.default_rng(7)
    body = sceneio.Body(name='"tri\xe9"', vertices=rng.normal(size=(30, 3)),
                        normals=rng.normal(size=(5, 3)), uvs=rng.random((4, 2)),
                        faces=rng.integers(0, 4, size=(20, 3, 3)))
    built = sceneio.Scene(
        lights=[sceneio.Light(name="sun", brightness=2.5, rgb=(1, 0.5, 0.25),
                              direction=(0, -1, -1e-30))],
        camera=sceneio.Camera(view_angle=40, location=(0, 1, 5), aim=(0, 0, 0),
                              lookup_vector=(0, 1, 0), hither=0.1, yon=100),
        materials=[sceneio.Material(name='"red"', diffuse=(1, 0, 0), opacity=0.5,
                                    shininess=-0.0)],
        objects=[body, sceneio.Body(name='"empty"', vertices=np.zeros((0, 3)))])
    sceneio.write(built, tmp_path / "b.grp", body_materials={"tri\xe9": "red"})
    back = sceneio.load(tmp_path / "b.grp")
    for kind in ("lights", "materials", "objects"):
        assert len(getattr(back, kind)) == len(getattr(built, kind))
        for a, b in zip(getattr(back, kind), getattr(built, kind)):
            for name in attributes(a):
                assert same(getattr(a, name), getattr(b, name)) or (
                    isinstance(getattr(a, name), float) and
                    np.float32(getattr(a, name)).tobytes() == np.float32(getattr(b, name)).tobytes()
                ), f"{kind} {name}"
    for name in attributes(back.camera):
        assert same(getattr(back.camera, name), getattr(built.camera, name)), name
    assert back.body_materials() == [('"tri\xe9"', '"red"')]


NAN = float("nan")
REFUSED = {  # a scene, the path, body_materials= -> the exception and the words it holds
    "NaN position": (lambda: sceneio.Scene(objects=[sceneio.Body(
        name='"b"', vertices=[[0, NAN, 0]])]), "a.grp", None, ValueError, "vertices"),
    "NaN brightness": (lambda: sceneio.Scene(lights=[sceneio.Light(
        name="l", brightness=NAN)]), "a.grp", None, ValueError, "brightness"),
    "field no keyword fills": (lambda: sceneio.Scene(lights=[sceneio.Light(
        name="l", extra_int=3)]), "a.grp", None, ValueError, "extraInt"),
    "name of two tokens": (lambda: sceneio.Scene(materials=[sceneio.Material(
        name="two words")]), "a.grp", None, ValueError, "name"),
    "not a group file": (sceneio.Scene, "a.txt", None, ValueError, ".grp"),
    "no such body": (lambda: sceneio.load(SAMPLE), "a.grp", {"ball": "brick"}, ValueError,
                     "ball"),
    "no such material": (lambda: sceneio.load(SAMPLE), "a.grp", {"cube": "gold"}, ValueError,
                         "gold"),
    "not pairs": (lambda: sceneio.load(SAMPLE), "a.grp", ["cube"], ValueError, "pair"),
    "folder missing": (sceneio.Scene, "none/a.grp", None, sceneio.FileError, "cannot write"),
}


@pytest.mark.parametrize("make,path,given,exception,words", REFUSED.values(), ids=REFUSED.keys())
def test_what_cannot_be_written_is_refused_and_nothing_is_left(tmp_path, make, path, given,
                                                              exception, words):
    with pytest.raises(exception) as raised:
        sceneio.write(make(), tmp_path / path, body_materials=given)
    assert words in str(raised.value)
    assert list(tmp_path.iterdir()) == []
