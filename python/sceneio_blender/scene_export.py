"""A sceneio.Scene from Blender data, written with sceneio.write. Arrays come out of Blender
whole, through foreach_get: no Python loop runs per vertex, corner or face."""

import math
import os
import re
import shutil

import bpy
import numpy as np

import sceneio

from .scene_import import FILE_TO_BLENDER

BLENDER_TO_FILE = np.array(FILE_TO_BLENDER.inverted(), np.float64)


def token(name):
    """A Blender name as a quoted name token: what would end the token becomes '_'."""
    return '"' + re.sub(r'[\s"\\]', "_", name) + '"'


def bare(name):
    """A light's name, which the light file quotes itself."""
    return re.sub(r'[\s"\\]', "_", name)


def unique_rows(rows):
    """The distinct rows and, for each row given, the index of its distinct row."""
    if len(rows) == 0:
        return rows, np.zeros(0, np.int32)
    distinct, inverse = np.unique(rows, axis=0, return_inverse=True)
    return distinct, inverse.reshape(-1).astype(np.int32)


def to_file(obj_matrix):
    """The 4x4 matrix taking an object's coordinates to the files' axes. Blender keeps an
    object's turn as angles and rebuilds its matrix from them, so the import's quarter turn
    comes back with cos(pi/2) = 4e-8 where 0 was: entries that near 0 or 1 are taken as
    exact, and an object the import placed is written back with its values untouched."""
    matrix = BLENDER_TO_FILE @ np.array(obj_matrix, np.float64)
    turn = matrix[:3, :3]
    for exact in (0.0, 1.0, -1.0):
        turn[np.abs(turn - exact) < 1e-6] = exact
    return matrix


def transformed(points, matrix):
    if np.array_equal(matrix, np.eye(4)):
        return points
    return (points.astype(np.float64) @ matrix[:3, :3].T + matrix[:3, 3]).astype(np.float32)


def get(collection, attribute, width, dtype):
    values = np.empty(len(collection) * width, dtype)
    collection.foreach_get(attribute, values)
    return values.reshape(-1, width) if width > 1 else values


def body_of(obj, depsgraph, apply_modifiers, report):
    source = obj.evaluated_get(depsgraph) if apply_modifiers else obj
    mesh = source.to_mesh()
    try:
        mesh.calc_loop_triangles()
        mesh.calc_normals_split()
        matrix = to_file(obj.matrix_world)
        vertices = transformed(get(mesh.vertices, "co", 3, np.float32), matrix)
        corners = get(mesh.loop_triangles, "vertices", 3, np.int32)
        loops = get(mesh.loop_triangles, "loops", 3, np.int32)
        normals = get(mesh.loops, "normal", 3, np.float32)[loops.reshape(-1)]
        if not np.array_equal(matrix, np.eye(4)):
            normals = normals.astype(np.float64) @ np.linalg.inv(matrix[:3, :3])
            normals /= np.maximum(np.linalg.norm(normals, axis=1), 1e-30)[:, None]
        normals, normal_index = unique_rows(normals.astype(np.float32))
        faces = np.zeros((len(corners), 3, 3), np.int32)
        faces[:, 0, :] = corners
        faces[:, 1, :] = normal_index.reshape(-1, 3)
        uvs = None
        layer = mesh.uv_layers.active
        if layer is not None:
            uvs = get(layer.data, "uv", 2, np.float32)[loops.reshape(-1)]
            uvs[:, 1] = 1.0 - uvs[:, 1]  # back to the files' (glTF's) v, down the image
            uvs, uv_index = unique_rows(uvs)
            faces[:, 2, :] = uv_index.reshape(-1, 3)
        used = {p.material_index for p in mesh.polygons}
        if len(used) > 1:
            report.append(f"object {obj.name}: only its first material is written")
        return sceneio.Body(name=token(obj.name), vertices=vertices, normals=normals, uvs=uvs,
                            faces=faces)
    finally:
        source.to_mesh_clear()


def principled(material):
    if not material.use_nodes:
        return None
    return next((n for n in material.node_tree.nodes if n.type == "BSDF_PRINCIPLED"), None)


def material_of(material, report):
    """A Material record, and the image file its colour comes from (or None)."""
    bsdf = principled(material)
    image = None
    if bsdf is not None:
        inputs = bsdf.inputs
        colour = tuple(inputs["Base Color"].default_value)[:3]
        alpha = inputs["Alpha"].default_value
        roughness = inputs["Roughness"].default_value
        emission = tuple(inputs["Emission"].default_value)[:3]
        specular = inputs["Specular"].default_value
        links = inputs["Base Color"].links
        if links and links[0].from_node.type == "TEX_IMAGE" and links[0].from_node.image:
            image = links[0].from_node.image
    else:
        colour, alpha = tuple(material.diffuse_color)[:3], material.diffuse_color[3]
        roughness, emission, specular = material.roughness, (0, 0, 0), material.specular_intensity
    # The inverse of the import's roughness sqrt(2 / (s + 2)).
    roughness = min(max(roughness, 0.01), 1.0)
    fields = dict(name=token(material.name), diffuse=colour, specular=(specular,) * 3,
                  extra_color1=emission, opacity=alpha, shininess=2 / roughness**2 - 2)
    texture = None
    if image is not None:
        texture = bpy.path.abspath(image.filepath, library=image.library)
        if not os.path.isfile(texture):
            report.append(f"material {material.name}: image {image.name} is not a file: left out")
            texture = None
        else:
            fields.update(texture_name=token(os.path.basename(texture)),
                          texture_width=image.size[0], texture_height=image.size[1],
                          texture_channels=image.channels, texture_bits_per_channel=8)
    return sceneio.Material(**fields), texture


def light_of(obj):
    down = to_file(obj.matrix_world)[:3, :3] @ np.array([0.0, 0.0, -1.0])
    down /= np.linalg.norm(down)
    return sceneio.Light(name=bare(obj.name), brightness=obj.data.energy,
                         rgb=tuple(obj.data.color), direction=tuple(down))


def camera_of(obj, scene):
    matrix = to_file(obj.matrix_world)
    location = matrix[:3, 3]
    forward = matrix[:3, :3] @ np.array([0.0, 0.0, -1.0])
    up = matrix[:3, :3] @ np.array([0.0, 1.0, 0.0])
    data = obj.data
    # angle_y is the vertical angle only when the sensor fits vertically or the picture is
    # wider than tall; otherwise the horizontal angle and the aspect give it.
    width = scene.render.resolution_x * scene.render.pixel_aspect_x
    height = scene.render.resolution_y * scene.render.pixel_aspect_y
    if data.sensor_fit == "VERTICAL" or (data.sensor_fit == "AUTO" and width >= height):
        view = data.angle_y if data.sensor_fit == "VERTICAL" else 2 * math.atan(
            math.tan(data.angle_x / 2) * height / width)
    else:
        view = 2 * math.atan(math.tan(data.angle_x / 2) * height / width)
    return sceneio.Camera(view_angle=math.degrees(view), hither=data.clip_start,
                          yon=data.clip_end, location=tuple(location),
                          aim=tuple(location + forward / np.linalg.norm(forward)),
                          lookup_vector=tuple(up / np.linalg.norm(up)))


def export_scene(context, path, use_selection, apply_modifiers):
    """Writes the mesh objects (the selected ones, or all), their materials, the suns and the
    scene camera to `path`; returns the warnings."""
    report = []
    depsgraph = context.evaluated_depsgraph_get()
    chosen = [o for o in context.scene.objects if not use_selection or o.select_get()]
    bodies, materials, pairs, textures = [], {}, [], []
    for obj in chosen:
        if obj.type != "MESH":
            continue
        body = body_of(obj, depsgraph, apply_modifiers, report)
        bodies.append(body)
        material = obj.active_material
        if material is None:
            continue
        if material.name not in materials:
            record, texture = material_of(material, report)
            materials[material.name] = record
            if texture is not None:
                textures.append(texture)
        pairs.append((body.name, materials[material.name].name))
    lights = [light_of(o) for o in chosen if o.type == "LIGHT" and o.data.type == "SUN"]
    skipped = [o.name for o in chosen if o.type == "LIGHT" and o.data.type != "SUN"]
    if skipped:
        report.append("only suns are lights of the format: left out " + ", ".join(skipped))
    camera = context.scene.camera
    scene = sceneio.Scene(
        lights=lights, materials=list(materials.values()), objects=bodies,
        camera=camera_of(camera, context.scene) if camera and camera.type == "CAMERA" else None)
    report += sceneio.write(scene, path, body_materials=pairs).warnings
    folder = os.path.dirname(os.path.abspath(path))
    for texture in textures:
        target = os.path.join(folder, os.path.basename(texture))
        if not os.path.exists(target):
            shutil.copyfile(texture, target)
    return report
