// sceneio.write() and Scene.body_materials(): a scene back to its five files, with the group
// file's body-material entries carried over unless the caller gives others.
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "bindings.h"
#include "io/names.h"
#include "sceneio/body_materials.h"
#include "sceneio/writer.h"

namespace sceneio::python {

std::vector<BodyMaterial> GroupEntries(const Scene& scene) {
  std::vector<BodyMaterial> entries;
  if (GroupBodyMaterials(scene, entries).code == StatusCode::kOutOfMemory) throw std::bad_alloc();
  return entries;
}

namespace {

py::list BodyMaterials(const std::shared_ptr<Scene>& scene) {
  py::list out;
  for (const BodyMaterial& entry : GroupEntries(*scene)) {
    out.append(py::make_tuple(Text(entry.body), Text(entry.material)));
  }
  return out;
}

// The one material token `name` stands for; ValueError when none or several.
std::string OneMaterialToken(const Scene& scene, const std::string& name) {
  const std::vector<std::string> tokens = MaterialTokens(scene, name, TypedNames::kHeldOrShown);
  if (tokens.empty()) {
    throw py::value_error("body_materials: the scene has no material " + ShownBytes(name));
  }
  if (tokens.size() > 1) {
    throw py::value_error("body_materials: " + ShownBytes(name) + " stands for " +
                          std::to_string(tokens.size()) +
                          " material names; give the name as the record holds it");
  }
  return tokens.front();
}

// {body: material} or pairs, names as the records hold them or as scene-inspect shows them.
std::vector<BodyMaterial> GivenBodyMaterials(const Scene& scene, const py::object& given) {
  const py::object pairs = py::isinstance<py::dict>(given) ? given.attr("items")() : given;
  std::vector<BodyMaterial> out;
  for (const py::handle pair : pairs) {
    const py::tuple names = py::tuple(py::reinterpret_borrow<py::object>(pair));
    if (names.size() != 2) {
      throw py::value_error("body_materials: each entry is a (body, material) pair");
    }
    const std::string material = OneMaterialToken(scene, Bytes(names[1]));
    // Every body shown by the name: their tokens may differ ("cube" and cube).
    const std::string body = Bytes(names[0]);
    std::vector<std::string> bodies = BodyTokens(scene, body, TypedNames::kHeldOrShown);
    if (bodies.empty()) {
      throw py::value_error("body_materials: the scene has no body " + ShownBytes(body));
    }
    for (std::string& token : bodies) out.push_back({std::move(token), material});
  }
  return out;
}

py::object Write(const std::shared_ptr<Scene>& scene, const py::object& path,
                 const py::object& given) {
  WriteOptions options;
  options.bodyMaterials =
      given.is_none() ? GroupEntries(*scene) : GivenBodyMaterials(*scene, given);
  const std::string output = NativeOutputPath(path);
  Status status;
  {
    py::gil_scoped_release release;
    status = WriteScene(*scene, output, options);
  }
  RaiseFailure(status, output);
  return Report(status);
}

constexpr const char* kWriteDoc = R"(Writes `scene` as its five files: `path` (ending in .grp) and,
beside it, the light, camera, material and object files named after it (out/a.grp ->
out/a.lgt, a.cam, a.gmf, a.gof). They load back as the same scene, field for field.

`body_materials` are the group file's body-material entries: None carries the scene's own
(Scene.body_materials()); a {body: material} dict or (body, material) pairs are written in
their place, names as the records hold them, without their quotes, or as scene-inspect
prints them.
Textures the materials name are copied beside the output when it goes to another folder.
Every file is written beside its place and all are put in place together: on failure
nothing new is left. Returns sceneio.Report(warnings, notes).

Raises ValueError when the scene holds a value that would not load back the same (NaN,
a field no keyword of the files fills...: the message names the record and the field),
for a bad path ending or a name that matches nothing; sceneio.FileError (an OSError)
when a file cannot be written.)";

constexpr const char* kBodyMaterialsDoc =
    R"(The group file's body-material entries: a list of (body, material) names as the files
hold them, quotes and all, in file order. Empty for a scene built in Python.)";

}  // namespace

void DefineWriting(py::module_& module) {
  py::class_<Scene, std::shared_ptr<Scene>> scene = module.attr("Scene");
  scene.def("body_materials", &BodyMaterials, kBodyMaterialsDoc);
  module.def("write", &Write, py::arg("scene"), py::arg("path"), py::kw_only(),
             py::arg("body_materials") = py::none(), kWriteDoc);
}

}  // namespace sceneio::python
