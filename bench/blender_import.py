"""Run by bench/python-bench inside Blender (blender -b --factory-startup --python ...): imports a
scene through the add-on's operator several times, each into an empty file, and prints the wall
and CPU time of each import (the operator with the scene update that follows it) as one JSON
line.

    blender -b --factory-startup --python bench/blender_import.py -- PACKAGE_DIR ADDON_DIR GROUP N
"""

import json
import sys
import time

package_dir, addon_dir, group, runs = sys.argv[sys.argv.index("--") + 1:]
sys.path[:0] = [package_dir, addon_dir]

import bpy  # noqa: E402

import sceneio_blender  # noqa: E402

sceneio_blender.register()
times, cpu = [], []
for _ in range(int(runs)):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    started, started_cpu = time.perf_counter(), time.process_time()
    result = bpy.ops.import_scene.sceneio(filepath=group)
    times.append(time.perf_counter() - started)
    cpu.append(time.process_time() - started_cpu)
    assert result == {"FINISHED"}, result
meshes = [o for o in bpy.data.objects if o.type == "MESH"]
print("IMPORT-TIMES " + json.dumps({
    "seconds": times,
    "cpu": cpu,
    "objects": len(meshes),
    "polygons": sum(len(o.data.polygons) for o in meshes),
}))
