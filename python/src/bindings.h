// What the two halves of the Python module share: Python strings from the scene's bytes and
// back, paths handed to the library, and the Python types defined in sceneio/_types.py.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sceneio/body_materials.h"
#include "sceneio/scene.h"
#include "sceneio/status.h"

namespace sceneio::python {

namespace py = pybind11;

// A name as Python shows it: the bytes decoded as UTF-8, each byte that is not part of valid
// UTF-8 kept as a lone surrogate, as Python decodes file names; os.fsencode gives the bytes back.
py::str Text(std::string_view bytes);
// The bytes of a str (encoded the same way), of bytes, or of an os.PathLike.
std::string Bytes(const py::handle& text);

// A path as the caller gives it (str, bytes or os.PathLike) in the form Load takes: a forward
// slash becomes a backslash, so "a/b.grp" and "a\\b.grp" load the same scene and the data files
// are found beside the group file. ValueError for an embedded NUL.
std::string GroupPath(const py::handle& path);
// A path for the file system, as given.
std::string NativeOutputPath(const py::handle& path);

// The type `name` of sceneio/_types.py.
py::object PythonType(const char* name);

// Adds Scene, the record classes and their sequences to `module`.
void DefineRecords(py::module_& module);

// The Python object for `scene`, sharing its ownership.
py::object ScenePyObject(const std::shared_ptr<Scene>& scene);

// Adds write() and Scene.body_materials() (the scene's class must be defined).
void DefineWriting(py::module_& module);

// Raises what an entry point that did not write says: ValueError for bad options or a scene
// that cannot be written under them, MemoryError, OSError with `path` for the rest.
void RaiseFailure(const Status& status, const std::string& path);
// sceneio.Report(warnings, notes) of `result`.
py::object Report(const Status& result);

// The group file's complete body-material entries, as the load left its bytes (none for a scene
// built in Python).
std::vector<BodyMaterial> GroupEntries(const Scene& scene);

}  // namespace sceneio::python
