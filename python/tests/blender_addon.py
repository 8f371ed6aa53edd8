"""The Blender add-on, headless: imports the sample scene through File > Import > Scene group and
checks what Blender holds against sceneio's load of the same files; then exports it back and
checks that the C++ loader reads the written scene with the same geometry.

    blender -b --factory-startup --python-exit-code 1 --python blender_addon.py -- \\
        PYTHONPATH_DIR ADDON_DIR SAMPLE_GRP OUT_DIR SCENE_INSPECT

Any failed check raises, and --python-exit-code turns that into Blender's exit status.
"""

import json
import math
import os
import subprocess
import sys

package_dir, addon_dir, sample, out_dir, scene_inspect = sys.argv[sys.argv.index("--") + 1:]
sys.path[:0] = [package_dir, addon_dir]

import bpy  # noqa: E402
import numpy as np  # noqa: E402
from mathutils import Vector  # noqa: E402

import sceneio  # noqa: E402
import sceneio_blender  # noqa: E402
from sceneio_blender import scene_import  # noqa: E402


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def close(a, b, tolerance=1e-5):
    return np.allclose(np.asarray(a, np.float64), np.asarray(b, np.float64), atol=tolerance)


def loops_of(mesh, attribute, width):
    values = np.zeros(len(mesh.loops) * width, np.float32)
    mesh.loops.foreach_get(attribute, values)
    return values.reshape(-1, width)


def check_imported(scene):
    objects = {o.name: o for o in bpy.data.objects}
    meshes = [o for o in objects.values() if o.type == "MESH"]
    check(len(meshes) == len(scene.objects), f"{len(meshes)} meshes for {len(scene.objects)}")
    for body in scene.objects:
        made = objects[scene_import.unquoted(body.name)]
        mesh = made.data
        co = np.zeros(len(mesh.vertices) * 3, np.float32)
        mesh.vertices.foreach_get("co", co)
        check(np.array_equal(co.reshape(-1, 3), body.vertices), f"{body.name}: positions")
        check(len(mesh.polygons) == len(body.faces), f"{body.name}: polygons")
        check(all(len(p.vertices) == 3 for p in mesh.polygons), f"{body.name}: triangles")
        corners = np.zeros(len(mesh.loops), np.int32)
        mesh.loops.foreach_get("vertex_index", corners)
        check(np.array_equal(corners, body.faces[:, 0, :].reshape(-1)), f"{body.name}: corners")
        layer = mesh.uv_layers["UVMap"].data
        uvs = np.zeros(len(layer) * 2, np.float32)
        layer.foreach_get("uv", uvs)
        want = body.uvs[body.faces[:, 2, :].reshape(-1)].astype(np.float64)
        want[:, 1] = 1 - want[:, 1]
        check(close(uvs.reshape(-1, 2), want), f"{body.name}: uvs")
        mesh.calc_normals_split()
        normals = body.normals[body.faces[:, 1, :].reshape(-1)].astype(np.float64)
        normals /= np.linalg.norm(normals, axis=1)[:, None]
        check(close(loops_of(mesh, "normal", 3), normals, 1e-3), f"{body.name}: normals")
        check(made.matrix_world.to_3x3().col[2][1] == -1.0, f"{body.name}: Y-up to Z-up")

    assigned = dict(scene.body_materials())
    check(assigned, "the sample's group file assigns materials")
    for body in scene.objects:
        worn = [m.name for m in objects[scene_import.unquoted(body.name)].data.materials]
        check(worn == [scene_import.unquoted(assigned[body.name])], f"{body.name} wears {worn}")

    materials = {m.name: m for m in bpy.data.materials}
    for material in scene.materials:
        made = materials[scene_import.unquoted(material.name)]
        bsdf = made.node_tree.nodes["Principled BSDF"].inputs
        check(close(bsdf["Roughness"].default_value,
                    math.sqrt(2 / (material.shininess + 2))), f"{material.name}: roughness")
        check(close(bsdf["Alpha"].default_value, material.opacity), f"{material.name}: alpha")
        check(close(bsdf["Emission"].default_value[:3], material.extra_color1),
              f"{material.name}: emission")
        texture = [n for n in made.node_tree.nodes if n.type == "TEX_IMAGE"]
        if material.texture_name:
            image = texture[0].image if len(texture) == 1 else None
            check(image is not None and image.size[0] > 0 and os.path.basename(image.filepath)
                  == scene_import.unquoted(material.texture_name), f"{material.name}: texture")
            check(bsdf["Base Color"].links[0].from_node == texture[0], "texture feeds the colour")
        else:
            check(not texture and close(bsdf["Base Color"].default_value[:3], material.diffuse),
                  f"{material.name}: base colour")
        check((made.blend_method == "BLEND") == (material.opacity < 1), f"{material.name}: blend")

    suns = [o for o in objects.values() if o.type == "LIGHT"]
    check(len(suns) == len(scene.lights), "one sun per light")
    for light in scene.lights:
        sun = objects[light.name]
        check(sun.data.type == "SUN" and close(sun.data.energy, light.brightness), light.name)
        d = np.array(light.direction, np.float64)
        d = np.array([d[0], -d[2], d[1]]) / np.linalg.norm(d)
        down = sun.matrix_world.to_3x3() @ Vector((0, 0, -1))
        check(close(down, d, 1e-5), f"{light.name}: direction")

    camera = bpy.context.scene.camera
    check(camera is not None and camera.type == "CAMERA", "the scene camera")
    check(close(math.degrees(camera.data.angle_y), scene.camera.view_angle, 1e-4), "view angle")
    x, y, z = scene.camera.location
    check(close(camera.matrix_world.translation, (x, -z, y)), "camera location")
    check(close((camera.data.clip_start, camera.data.clip_end),
                (scene.camera.hither, scene.camera.yon)), "clip planes")


def corners(body, triple, values):
    """A body's `values` at each corner of its faces, through triple `triple`'s indices."""
    return values[body.faces[:, triple, :].reshape(-1)]


def check_exported(source, written):
    """The written files load (in C++ and here) as the source's geometry, materials and
    assignments; the export is free to number normals and uvs its own way."""
    done = subprocess.run([scene_inspect, "--json", written], capture_output=True, text=True)
    check(done.returncode == 0, done.stderr)
    dump = json.loads(done.stdout)
    check([b["name"] for b in dump["objects"]["items"]] == [b.name for b in source.objects],
          "bodies written, in order, under their names")
    back = sceneio.load(written)
    for body, again in zip(source.objects, back.objects):
        check(np.array_equal(again.vertices, body.vertices), f"{body.name}: positions bit for bit")
        check(np.array_equal(again.faces[:, 0, :], body.faces[:, 0, :]), f"{body.name}: faces")
        check(close(corners(again, 2, again.uvs), corners(body, 2, body.uvs)), f"{body.name}: uvs")
        want = corners(body, 1, body.normals).astype(np.float64)
        want /= np.linalg.norm(want, axis=1)[:, None]
        check(close(corners(again, 1, again.normals), want, 1e-3), f"{body.name}: normals")
    check(sorted(back.body_materials()) == sorted(source.body_materials()),
          f"assignments {back.body_materials()} for {source.body_materials()}")
    for material, again in zip(source.materials, back.materials):
        check(again.name == material.name, f"{material.name}: name")
        check(close(again.opacity, material.opacity), f"{material.name}: opacity")
        check(close(again.shininess, material.shininess, 1e-2 * max(1, material.shininess)),
              f"{material.name}: shininess through roughness")
        check(again.texture_name == material.texture_name, f"{material.name}: texture")
        if material.texture_name:
            copied = os.path.join(os.path.dirname(written), scene_import.unquoted(again.texture_name))
            check(os.path.isfile(copied), f"{material.name}: texture file beside the output")
    check(len(back.lights) == len(source.lights), "lights written")
    for light, again in zip(source.lights, back.lights):
        check(close(again.direction, np.array(light.direction) / np.linalg.norm(light.direction)),
              f"{light.name}: direction")
        check(close(again.brightness, light.brightness), f"{light.name}: brightness")
    check(close(back.camera.location, source.camera.location, 1e-4), "camera location")
    check(close(back.camera.view_angle, source.camera.view_angle, 1e-3), "camera angle")


def check_failures():
    """A scene the load cannot read, and an output under a regular file, end each operator
    cancelled with the library's message as its error."""
    missing = os.path.join(out_dir, "missing.grp")
    for run, path, named in ((bpy.ops.import_scene.sceneio, missing, "missing.grp"),
                             (bpy.ops.export_scene.sceneio, os.path.join(sample, "x.grp"), "")):
        try:
            outcome = run(filepath=path)
        except RuntimeError as error:  # how Blender raises an operator's error report
            check(named in str(error) and len(str(error).strip()) > len("Error: "), str(error))
        else:
            raise AssertionError(f"{run.idname()} on {path}: {outcome}, not an error")


def main():
    for thing in list(bpy.data.objects):
        bpy.data.objects.remove(thing)
    sceneio_blender.register()
    check(bpy.ops.import_scene.sceneio(filepath=sample) == {"FINISHED"}, "import finished")
    check_imported(sceneio.load(sample))
    print("blender add-on: import checked")

    written = os.path.join(out_dir, "blender", "dork.grp")
    os.makedirs(os.path.dirname(written), exist_ok=True)
    check(bpy.ops.export_scene.sceneio(filepath=written) == {"FINISHED"}, "export finished")
    check_exported(sceneio.load(sample), written)
    print("blender add-on: export checked")
    check_failures()
    print("blender add-on: failures checked")
    print("blender add-on: all checked")


main()
