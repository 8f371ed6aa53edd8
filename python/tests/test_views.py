"""The arrays of a Body are views of the loaded arrays: their types and shapes, read-only, no
copy, alive after the Scene is gone; loads in a loop give their memory back; the GIL is free
while a load runs."""

import gc
import os
import threading
import time

import numpy as np
import pytest
import sceneio

from conftest import SAMPLE, make_scene

ARRAYS = [  # attribute path, dtype, shape after the count
    ("vertices", np.float32, (3,)),
    ("normals", np.float32, (3,)),
    ("uvs", np.float32, (2,)),
    ("faces", np.int32, (3, 3)),
    ("face_parts.indices", np.int32, ()),
]


def array_of(body, path):
    value = body
    for name in path.split("."):
        value = getattr(value, name)
    return value


@pytest.fixture(scope="module")
def generated(tmp_path_factory):
    return make_scene(tmp_path_factory.mktemp("views"), "--triangles", 3000, "--bodies", 3)


@pytest.mark.parametrize("path,dtype,inner", ARRAYS, ids=[a[0] for a in ARRAYS])
def test_view_type_shape_and_read_only(generated, path, dtype, inner):
    for body in sceneio.load(generated).objects:
        view = array_of(body, path)
        assert view.dtype == dtype and view.shape[1:] == inner and view.ndim == 1 + len(inner)
        assert view.flags.c_contiguous and not view.flags.writeable and not view.flags.owndata
        with pytest.raises(ValueError):
            view[0] = 0
        with pytest.raises(ValueError):
            view.setflags(write=True)


@pytest.mark.parametrize("path", [a[0] for a in ARRAYS])
def test_views_share_the_loaded_memory(generated, path):
    # Two reads of one array are two views of the same bytes: nothing was copied into either.
    body = sceneio.load(generated).objects[1]
    first, second = array_of(body, path), array_of(body, path)
    assert first is not second
    assert first.__array_interface__["data"][0] == second.__array_interface__["data"][0]
    assert np.shares_memory(first, second)
    # Bodies are views into one scene: their arrays are distinct memory.
    other = array_of(sceneio.load(generated).objects[1], path)
    assert not np.shares_memory(first, other)


def test_views_outlive_the_scene_and_its_records(generated):
    scene = sceneio.load(generated)
    kept = {path: array_of(scene.objects[2], path) for path, _, _ in ARRAYS}
    copies = {path: view.copy() for path, view in kept.items()}
    camera, material, parts = scene.camera, scene.materials[0], scene.objects[0].face_parts
    expected = (camera.location, material.name, parts.first_name)
    del scene
    gc.collect()
    # Memory the scene gave back would be taken by these loads and scribbled over.
    churn = [sceneio.load(generated) for _ in range(3)]
    filler = [np.full(1 << 16, 7, np.int32) for _ in range(64)]
    for path, view in kept.items():
        assert np.array_equal(view, copies[path]), path
    assert (camera.location, material.name, parts.first_name) == expected
    del churn, filler


def test_a_record_keeps_its_scene(generated):
    body = sceneio.load(generated).objects[0]
    gc.collect()
    assert body.vertices.shape[0] > 0 and body.name


def rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_a_thousand_loads_do_not_grow_resident_memory(generated):
    def one_load():
        scene = sceneio.load(generated)
        views = [array_of(body, path) for body in scene.objects for path, _, _ in ARRAYS]
        names = [light.name for light in scene.lights] + [m.name for m in scene.materials]
        return len(views) + len(names)

    for _ in range(100):
        one_load()
    gc.collect()
    before = rss_bytes()
    for _ in range(1000):
        one_load()
    gc.collect()
    grown = rss_bytes() - before
    # One load of this scene holds about 0.5 MB; a leak of one load per iteration would be 500 MB.
    assert grown < 16 << 20, f"resident memory grew by {grown} bytes over 1000 loads"


def test_the_gil_is_free_while_a_load_runs(tmp_path):
    group = make_scene(tmp_path, "--bytes", "24M", "--bodies", 2)
    started = time.perf_counter()
    sceneio.load(group)
    alone = time.perf_counter() - started

    worker = threading.Thread(target=sceneio.load, args=(group,))
    ticks = []
    worker.start()
    while worker.is_alive():
        ticks.append(time.perf_counter())
    worker.join()
    gaps = np.diff(ticks) if len(ticks) > 1 else np.array([alone])
    # Holding the GIL would stop this thread for the whole load.
    assert gaps.max() < alone / 2, (gaps.max(), alone)
