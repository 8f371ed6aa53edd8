"""Blender add-on: File > Import and File > Export > Scene group (.grp), through sceneio.

The import makes one mesh object per body, a Principled BSDF material per material, a sun per
light and the camera (made the scene's camera); the export writes mesh objects, their
materials, suns and the scene camera back through sceneio.write(). Both map the files' Y-up
axes to Blender's Z-up the way the glTF export and its viewers place them.
"""

bl_info = {
    "name": "Scene group (.grp) format",
    "author": "sceneio",
    "version": (0, 1, 0),
    "blender": (3, 4, 0),
    "location": "File > Import-Export > Scene group (.grp)",
    "description": "Import and export scenes of five plain-text files through sceneio",
    "category": "Import-Export",
}

import bpy
from bpy.props import BoolProperty, EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

FACE_ORDERS = [
    ("position,normal,uv", "Position, normal, uv", "As the sample and most files write them"),
    ("position,uv,normal", "Position, uv, normal", ""),
    ("normal,position,uv", "Normal, position, uv", ""),
    ("normal,uv,position", "Normal, uv, position", ""),
    ("uv,position,normal", "Uv, position, normal", ""),
    ("uv,normal,position", "Uv, normal, position", ""),
    ("position,normal,none", "Position, normal", "The third triple indexes nothing"),
    ("position,none,none", "Position only", "Normals and uvs are not read"),
]


def run_reporting(operator, work):
    """Runs `work`, which returns the lines to warn of; its OSError or ValueError becomes the
    operator's error and cancels it."""
    try:
        report = work()
    except (OSError, ValueError) as error:
        operator.report({"ERROR"}, str(error))
        return {"CANCELLED"}
    for line in report:
        operator.report({"WARNING"}, line)
    return {"FINISHED"}


class ImportSceneGroup(bpy.types.Operator, ImportHelper):
    """Load a scene group file (.grp) and the four files it names"""

    bl_idname = "import_scene.sceneio"
    bl_label = "Import Scene Group"
    bl_options = {"REGISTER", "UNDO", "PRESET"}

    filename_ext = ".grp"
    filter_glob: StringProperty(default="*.grp", options={"HIDDEN"})
    faces: EnumProperty(name="Face triples", items=FACE_ORDERS,
                        description="Which array each of a face's three triples indexes")
    index_base: IntProperty(name="Index base", min=0, max=1, default=0,
                            description="The index in the file of each array's first element")

    def execute(self, context):
        from . import scene_import

        return run_reporting(self, lambda: scene_import.import_scene(
            context, self.filepath, self.faces.split(","), self.index_base))


class ExportSceneGroup(bpy.types.Operator, ExportHelper):
    """Write mesh objects, their materials, suns and the scene camera as a scene group (.grp)"""

    bl_idname = "export_scene.sceneio"
    bl_label = "Export Scene Group"
    bl_options = {"PRESET"}

    filename_ext = ".grp"
    filter_glob: StringProperty(default="*.grp", options={"HIDDEN"})
    use_selection: BoolProperty(name="Selected only", default=False,
                                description="Write only the selected mesh objects and suns")
    apply_modifiers: BoolProperty(name="Apply modifiers", default=True,
                                  description="Write each mesh as its modifiers leave it")

    def execute(self, context):
        from . import scene_export

        return run_reporting(self, lambda: scene_export.export_scene(
            context, self.filepath, self.use_selection, self.apply_modifiers))


def menu_import(self, context):
    self.layout.operator(ImportSceneGroup.bl_idname, text="Scene group (.grp)")


def menu_export(self, context):
    self.layout.operator(ExportSceneGroup.bl_idname, text="Scene group (.grp)")


CLASSES = (ImportSceneGroup, ExportSceneGroup)


def register():
    for cls in CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)
    bpy.types.TOPBAR_MT_file_export.append(menu_export)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(menu_export)
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(CLASSES):
        bpy.utils.unregister_class(cls)
