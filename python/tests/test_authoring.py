"""Scenes built in Python from records and numpy arrays: every field taken as given, arrays
copied, and what cannot be a field refused with the field named."""

import numpy as np
import pytest
import sceneio

from conftest import SAMPLE

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
    assert np.array_equal(sceneio.render(built, 120, 90), sceneio.render(loaded, 120, 90))


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
