"""Blender data from a loaded scene. Every array goes to Blender whole, through foreach_set or a
single call: no Python loop runs per vertex, corner or face."""

import math
import os

import bpy
import numpy as np
from mathutils import Matrix, Vector

import sceneio

# The files are Y-up and Blender is Z-up: a file's (x, y, z) is Blender's (x, -z, y), as glTF
# importers place the glTF export of the same scene. The entries are exact, so the export's
# inverse gives the file's floats back bit for bit; the mesh data keeps the file's values and
# the objects carry this matrix.
FILE_TO_BLENDER = Matrix(((1, 0, 0, 0), (0, 0, -1, 0), (0, 1, 0, 0), (0, 0, 0, 1)))


def unquoted(name):
    """A name token without one pair of surrounding double quotes."""
    return name[1:-1] if len(name) >= 2 and name[0] == '"' and name[-1] == '"' else name


def display_name(name, fallback):
    return unquoted(name) or fallback


def unit(values):
    return tuple(min(max(float(v), 0.0), 1.0) if math.isfinite(v) else 0.0 for v in values)


def roughness_of(shininess):
    """The export's rule, Phong exponent to roughness: sqrt(2 / (s + 2)); 1 below 0 or NaN."""
    return math.sqrt(2.0 / (shininess + 2.0)) if shininess >= 0 else 1.0


def corner_indices(faces, roles, role, base, count):
    """The (faces, 3) indices of `role` into an array of `count`, or None when any is outside."""
    indices = faces[:, roles.index(role), :].astype(np.int64) - base
    if indices.size and (indices.min() < 0 or indices.max() >= count):
        return None
    return indices


def make_mesh(body, roles, base, report):
    name = display_name(body.name, "body")
    mesh = bpy.data.meshes.new(name)
    vertices = body.vertices if body.vertices is not None else np.zeros((0, 3), np.float32)
    mesh.vertices.add(len(vertices))
    mesh.vertices.foreach_set("co", vertices.reshape(-1))
    faces = body.faces
    if faces is None or len(faces) == 0 or len(vertices) == 0:
        mesh.update()
        return mesh
    corners = corner_indices(faces, roles, "position", base, len(vertices))
    if corners is None:
        raise ValueError(f"body {body.name}: a position index is outside its {len(vertices)} "
                         f"vertices (faces {','.join(roles)}, index base {base}): try the "
                         "other settings")
    # Blender has no triangle with a corner twice.
    keep = ((corners[:, 0] != corners[:, 1]) & (corners[:, 1] != corners[:, 2])
            & (corners[:, 2] != corners[:, 0]))
    if not keep.all():
        report.append(f"body {body.name}: {int((~keep).sum())} faces with a repeated corner "
                      "left out")
        faces, corners = faces[keep], corners[keep]
    count = len(corners)
    mesh.loops.add(3 * count)
    mesh.loops.foreach_set("vertex_index", corners.reshape(-1).astype(np.int32))
    mesh.polygons.add(count)
    mesh.polygons.foreach_set("loop_start", np.arange(0, 3 * count, 3, dtype=np.int32))
    mesh.polygons.foreach_set("loop_total", np.full(count, 3, np.int32))
    mesh.update(calc_edges=True)
    add_uvs(mesh, body, faces, roles, base, report)
    add_normals(mesh, body, faces, corners, roles, base, report)
    return mesh


def add_uvs(mesh, body, faces, roles, base, report):
    if "uv" not in roles or body.uvs is None:
        return
    indices = corner_indices(faces, roles, "uv", base, len(body.uvs))
    if indices is None:
        report.append(f"body {body.name}: a uv index is outside its {len(body.uvs)} uvs: "
                      "no uv layer")
        return
    uvs = body.uvs[indices.reshape(-1)]
    # Blender's v runs up the image, the files' (as glTF's) down it.
    uvs[:, 1] = 1.0 - uvs[:, 1]
    mesh.uv_layers.new(name="UVMap").data.foreach_set("uv", uvs.reshape(-1))


def add_normals(mesh, body, faces, corners, roles, base, report):
    if "normal" not in roles or body.normals is None:
        return
    indices = corner_indices(faces, roles, "normal", base, len(body.normals))
    if indices is None:
        report.append(f"body {body.name}: a normal index is outside its {len(body.normals)} "
                      "normals: Blender's own normals are kept")
        return
    normals = body.normals.astype(np.float64)
    lengths = np.linalg.norm(normals, axis=1)
    used = np.unique(indices)
    if not (np.isfinite(lengths[used]).all() and (lengths[used] > 0).all()):
        report.append(f"body {body.name}: a normal is zero or not finite: Blender's own "
                      "normals are kept")
        return
    normals /= np.where(lengths > 0, lengths, 1.0)[:, None]
    mesh.polygons.foreach_set("use_smooth", np.ones(len(faces), bool))
    mesh.use_auto_smooth = True
    # No edge split by its angle: the custom normals decide where shading breaks (setting them
    # marks the edges whose corners differ), and fewer fans are quicker to evaluate.
    mesh.auto_smooth_angle = math.pi
    if np.array_equal(indices, corners) and len(body.normals) == len(mesh.vertices):
        # One normal per vertex, as generated meshes mostly have: the shorter array.
        mesh.normals_split_custom_set_from_vertices(normals)
    else:
        mesh.normals_split_custom_set(normals[indices.reshape(-1)])


def texture_path(directory, name):
    """The texture's file when it is inside the material file's folder, as the export takes it."""
    relative = unquoted(name).replace("\\", "/")
    if not relative or relative.startswith("/") or ".." in relative.split("/"):
        return None
    path = os.path.join(directory, relative)
    return path if os.path.isfile(path) else None


def make_material(material, directory, report):
    result = bpy.data.materials.new(display_name(material.name, "material"))
    result.use_nodes = True
    nodes = result.node_tree.nodes
    bsdf = nodes["Principled BSDF"]
    diffuse = unit(material.diffuse)
    alpha = unit([material.opacity])[0]
    roughness = roughness_of(material.shininess)
    specular = unit(material.specular)
    bsdf.inputs["Base Color"].default_value = (*diffuse, 1.0)
    bsdf.inputs["Alpha"].default_value = alpha
    bsdf.inputs["Roughness"].default_value = roughness
    bsdf.inputs["Emission"].default_value = (*unit(material.extra_color1), 1.0)
    bsdf.inputs["Specular"].default_value = sum(specular) / 3.0
    result.diffuse_color = (*diffuse, alpha)
    result.roughness = roughness
    result.specular_intensity = sum(specular) / 3.0
    if alpha < 1.0:
        result.blend_method = "BLEND"
        result.shadow_method = "HASHED"
    if material.texture_name:
        path = texture_path(directory, material.texture_name)
        if path is None:
            report.append(f"material {material.name}: texture {material.texture_name} is not a "
                          "file inside the material file's folder: left out")
        else:
            image = nodes.new("ShaderNodeTexImage")
            image.image = bpy.data.images.load(path, check_existing=True)
            image.location = (bsdf.location.x - 300, bsdf.location.y)
            result.node_tree.links.new(image.outputs["Color"], bsdf.inputs["Base Color"])
    return result


def body_materials(scene, materials):
    """Raw body name -> Blender material: the group file's entries, else the only material."""
    chosen = {}
    if len(materials) == 1:
        chosen = {body.name: materials[0] for body in scene.objects}
    by_name = {material.name: made for material, made in zip(scene.materials, materials)}
    for body, material in scene.body_materials():
        if material in by_name:
            chosen[body] = by_name[material]
    return chosen


def finite(vector):
    return all(math.isfinite(v) for v in vector)


def make_sun(light, collection, report):
    direction = Vector(light.direction)
    if not finite(direction) or direction.length == 0 or not math.isfinite(light.brightness):
        report.append(f"light {light.name}: no usable direction or brightness: left out")
        return
    data = bpy.data.lights.new(display_name(light.name, "light"), "SUN")
    data.energy = max(light.brightness, 0.0)
    data.color = unit(light.rgb)
    sun = bpy.data.objects.new(data.name, data)
    sun.rotation_mode = "QUATERNION"
    sun.rotation_quaternion = (FILE_TO_BLENDER.to_3x3() @ direction.normalized()).to_track_quat(
        "-Z", "Y")
    collection.objects.link(sun)


def make_camera(camera, collection, report):
    location = FILE_TO_BLENDER.to_3x3() @ Vector(camera.location)
    aim = FILE_TO_BLENDER.to_3x3() @ Vector(camera.aim)
    up = FILE_TO_BLENDER.to_3x3() @ Vector(camera.lookup_vector)
    forward = aim - location
    usable = (0 < camera.view_angle < 180 and 0 < camera.hither < camera.yon
              and math.isfinite(camera.yon) and finite(location) and finite(aim) and finite(up)
              and forward.length > 0 and up.length > 0
              and forward.normalized().cross(up.normalized()).length >= 1e-6)
    if not usable:
        report.append("camera: its values make no usable camera: left out")
        return None
    data = bpy.data.cameras.new(display_name(camera.name, "camera"))
    data.sensor_fit = "VERTICAL"
    data.angle_y = math.radians(camera.view_angle)
    data.clip_start = camera.hither
    data.clip_end = camera.yon
    forward.normalize()
    right = forward.cross(up).normalized()
    frame = Matrix((right, right.cross(forward), -forward)).transposed().to_4x4()
    made = bpy.data.objects.new(data.name, data)
    made.matrix_world = Matrix.Translation(location) @ frame
    collection.objects.link(made)
    return made


def import_scene(context, path, roles, base):
    """Loads the scene at `path` into the current Blender scene; returns the warnings."""
    scene = sceneio.load(path)
    report = []
    collection = bpy.data.collections.new(scene.files.group.base_name or "scene")
    context.scene.collection.children.link(collection)
    materials = [make_material(m, scene.files.material.directory, report) for m in scene.materials]
    chosen = body_materials(scene, materials)
    for body in scene.objects:
        mesh = make_mesh(body, roles, base, report)
        if body.name in chosen:
            mesh.materials.append(chosen[body.name])
        made = bpy.data.objects.new(mesh.name, mesh)
        made.matrix_world = FILE_TO_BLENDER
        collection.objects.link(made)
    for light in scene.lights:
        make_sun(light, collection, report)
    if scene.camera is not None:
        camera = make_camera(scene.camera, collection, report)
        if camera is not None:
            context.scene.camera = camera
    return report
