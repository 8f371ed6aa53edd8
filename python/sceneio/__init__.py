"""Scenes of five plain-text files (group, lights, camera, materials, objects) in Python.

load() reads a scene into a Scene whose records are views of the loaded data: the
arrays of each Body are read-only numpy views of the loaded arrays, with no copy, and
they keep the scene's memory alive as long as they are used.

    >>> import sceneio
    >>> scene = sceneio.load("examples/dork/dork.grp")
    >>> [body.name for body in scene.objects]
    ['"cube"', '"pyramid"']
    >>> scene.objects[0].vertices.shape
    (8, 3)
    >>> scene.camera.view_angle
    45.0

Names are str decoded from the files' bytes as UTF-8, every byte that is not valid UTF-8
kept as a surrogate (os.fsencode(name) gives the bytes back); quotes stay as the files
hold them. Attributes are the library's field names in snake_case.

check() lists what the files hold that the load passes over; convert() writes glTF or a
PNG picture; render() draws the scene into a numpy array; write() writes the five files,
of a loaded scene or of one built from records (Scene(lights=..., camera=..., ...)). A load that stops raises
LoadError (an OSError naming the file); an output that cannot be written raises FileError
(an OSError too); bad options raise ValueError.
"""

from collections.abc import Sequence as _Sequence

from ._types import File, Files, Finding, LoadError, Report, FileError
from ._sceneio import (
    Body,
    BodyList,
    Camera,
    FaceParts,
    Light,
    LightList,
    Material,
    MaterialList,
    Scene,
    check,
    convert,
    load,
    load_partial,
    render,
    write,
)

for _records in (BodyList, LightList, MaterialList):
    _Sequence.register(_records)

__all__ = [
    "load",
    "load_partial",
    "check",
    "convert",
    "render",
    "write",
    "LoadError",
    "FileError",
    "Scene",
    "Light",
    "Camera",
    "Material",
    "Body",
    "FaceParts",
    "LightList",
    "MaterialList",
    "BodyList",
    "File",
    "Files",
    "Finding",
    "Report",
]
