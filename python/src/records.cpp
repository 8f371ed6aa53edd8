// The Python classes of a scene: Scene, its records and their sequences. Every record object
// holds a shared_ptr that points at the record and owns the whole Scene, and every array is a
// numpy view whose base owns it too: nothing is copied, and a record or a view stays valid
// after the Scene object it came from is gone. Attributes come from the field tables in
// sceneio/fields.h, so a field added there is an attribute here with no other change.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "bindings.h"
#include "sceneio/fields.h"

namespace sceneio::python {
namespace {

// The views read the records' arrays as plain rows of scalars.
static_assert(sizeof(Vector3) == 3 * sizeof(float) && std::is_standard_layout_v<Vector3>);
static_assert(sizeof(Vector2) == 2 * sizeof(float) && std::is_standard_layout_v<Vector2>);
static_assert(sizeof(Face) == 9 * sizeof(int32_t) && std::is_standard_layout_v<Face>);

// "textureBitsPerChannel" -> "texture_bits_per_channel", "extraColor1" -> "extra_color1".
std::string SnakeCase(std::string_view name) {
  std::string snake;
  for (const char ch : name) {
    if (ch >= 'A' && ch <= 'Z') {
      snake.push_back('_');
      snake.push_back(static_cast<char>(ch - 'A' + 'a'));
    } else {
      snake.push_back(ch);
    }
  }
  return snake;
}

// A read-only numpy view of `array` as rows of `inner` scalars, whose base keeps `owner` (and so
// the array) alive; None when the array is absent.
template <typename Scalar, typename Element>
py::object View(const std::shared_ptr<const void>& owner, const CountedArray<Element>& array,
                std::initializer_list<py::ssize_t> inner) {
  if (!array.items) return py::none();
  std::vector<py::ssize_t> shape = {array.count};
  shape.insert(shape.end(), inner.begin(), inner.end());
  auto* kept = new std::shared_ptr<const void>(owner);
  py::capsule base(kept,
                   [](void* held) { delete static_cast<std::shared_ptr<const void>*>(held); });
  py::array_t<Scalar> view(shape, reinterpret_cast<const Scalar*>(array.items.get()), base);
  py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  return view;
}

// A field's value as Python sees it; `owner` is the record's, for views and nested records.
struct ToPython {
  std::shared_ptr<const void> owner;

  py::object operator()(const std::string& value) const { return Text(value); }
  py::object operator()(float value) const { return py::float_(value); }
  py::object operator()(int32_t value) const { return py::int_(value); }
  py::object operator()(uint32_t value) const { return py::int_(value); }
  py::object operator()(uint8_t value) const { return py::int_(value); }
  py::object operator()(const Vector3& v) const { return py::make_tuple(v.x, v.y, v.z); }
  py::object operator()(const Color3& c) const { return py::make_tuple(c.r, c.g, c.b); }
  py::object operator()(const Vector2& v) const { return py::make_tuple(v.u, v.v); }
  py::object operator()(const CountedArray<Vector3>& a) const { return View<float>(owner, a, {3}); }
  py::object operator()(const CountedArray<Vector2>& a) const { return View<float>(owner, a, {2}); }
  py::object operator()(const CountedArray<Face>& a) const {
    return View<int32_t>(owner, a, {3, 3});
  }
  py::object operator()(const CountedArray<int32_t>& a) const {
    return View<int32_t>(owner, a, {});
  }
  py::object operator()(const FacePartSet& parts) const {
    return py::cast(std::shared_ptr<FacePartSet>(owner, const_cast<FacePartSet*>(&parts)));
  }
};

// Python values into record fields, for records built in Python. Arrays are copied: the
// records own theirs.
struct FromPython {
  py::handle value;
  std::string_view field;

  [[noreturn]] void Wrong(const std::string& wanted) const {
    throw py::type_error(std::string(field) + " must be " + wanted + ", not " +
                         py::str(value.get_type().attr("__name__")).cast<std::string>());
  }
  double Number() const {
    if (!PyFloat_Check(value.ptr()) && !PyLong_Check(value.ptr())) Wrong("a number");
    return value.cast<double>();
  }
  template <typename Int>
  Int Integer() const {
    if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr())) Wrong("an int");
    const long long number = value.cast<long long>();
    if (number < std::numeric_limits<Int>::min() || number > std::numeric_limits<Int>::max()) {
      throw py::value_error(std::string(field) + " is out of range: " + std::to_string(number));
    }
    return static_cast<Int>(number);
  }
  std::vector<float> Floats(size_t n) const {
    std::vector<float> out;
    if (PyUnicode_Check(value.ptr()) || !py::isinstance<py::sequence>(value)) {
      Wrong(std::to_string(n) + " numbers");
    }
    const py::sequence items = py::reinterpret_borrow<py::sequence>(value);
    if (items.size() != n) Wrong(std::to_string(n) + " numbers");
    for (const py::handle item : items)
      out.push_back(static_cast<float>(FromPython{item, field}.Number()));
    return out;
  }
  // `value` as a C-contiguous array of `shape` (-1: any count) of Scalar; integers must be
  // integers and fit.
  template <typename Scalar>
  py::array_t<Scalar> Array(std::initializer_list<py::ssize_t> inner) const {
    const py::module_ numpy = py::module_::import("numpy");
    py::array given = numpy.attr("asarray")(value);
    const char kind = given.dtype().kind();
    if constexpr (std::is_integral_v<Scalar>) {
      if (kind != 'i' && kind != 'u' && !(kind == 'f' && given.size() == 0)) Wrong("integers");
      if (given.size() > 0 && (given.attr("min")().cast<double>() < INT32_MIN ||
                               given.attr("max")().cast<double>() > INT32_MAX)) {
        throw py::value_error(std::string(field) + " holds an index outside 32 bits");
      }
    } else if (kind != 'f' && kind != 'i' && kind != 'u') {
      Wrong("numbers");
    }
    if (given.ndim() == 1 && given.size() == 0) {
      py::list empty;
      empty.append(0);
      for (const py::ssize_t side : inner) empty.append(side);
      given = numpy.attr("zeros")(py::tuple(empty));
    }
    bool fits = given.ndim() == static_cast<py::ssize_t>(1 + inner.size());
    for (size_t d = 0; fits && d < inner.size(); ++d) {
      fits = given.shape(static_cast<py::ssize_t>(d + 1)) == inner.begin()[d];
    }
    if (!fits) {
      std::string shape = "(n";
      for (const py::ssize_t side : inner) shape += ", " + std::to_string(side);
      Wrong("an array of shape " + shape + (inner.size() == 0 ? ",)" : ")"));
    }
    if (given.shape(0) > INT32_MAX) throw py::value_error(std::string(field) + " is too long");
    return py::array_t<Scalar, py::array::c_style | py::array::forcecast>::ensure(given);
  }
  template <typename Element, typename Scalar>
  void Fill(CountedArray<Element>& target, std::initializer_list<py::ssize_t> inner) const {
    if (value.is_none()) {
      target = CountedArray<Element>();
      return;
    }
    const py::array_t<Scalar> rows = Array<Scalar>(inner);
    if (!target.Allocate(static_cast<int32_t>(rows.shape(0)))) throw std::bad_alloc();
    std::memcpy(static_cast<void*>(target.items.get()), rows.data(),
                static_cast<size_t>(rows.shape(0)) * sizeof(Element));
  }

  void operator()(std::string& target) const {
    if (!PyUnicode_Check(value.ptr()) && !PyBytes_Check(value.ptr())) Wrong("a str");
    target = Bytes(value);
  }
  void operator()(float& target) const { target = static_cast<float>(Number()); }
  void operator()(int32_t& target) const { target = Integer<int32_t>(); }
  void operator()(uint32_t& target) const { target = Integer<uint32_t>(); }
  void operator()(uint8_t& target) const { target = Integer<uint8_t>(); }
  void operator()(Vector3& target) const {
    const auto v = Floats(3);
    target = {v[0], v[1], v[2]};
  }
  void operator()(Color3& target) const {
    const auto v = Floats(3);
    target = {v[0], v[1], v[2]};
  }
  void operator()(Vector2& target) const {
    const auto v = Floats(2);
    target = {v[0], v[1]};
  }
  void operator()(CountedArray<Vector3>& target) const { Fill<Vector3, float>(target, {3}); }
  void operator()(CountedArray<Vector2>& target) const { Fill<Vector2, float>(target, {2}); }
  void operator()(CountedArray<Face>& target) const { Fill<Face, int32_t>(target, {3, 3}); }
  void operator()(CountedArray<int32_t>& target) const { Fill<int32_t, int32_t>(target, {}); }
  void operator()(FacePartSet& target) const;
};

// A deep copy through the field table: arrays are copied element for element.
template <typename Record, size_t n>
void CopyRecord(const Record& from, Record& to, const Field<Record> (&fields)[n]);

struct CopyField {
  template <typename T>
  void operator()(const T& from, T& to) const {
    to = from;
  }
  template <typename T>
  void operator()(const CountedArray<T>& from, CountedArray<T>& to) const {
    to = CountedArray<T>();
    if (!from.items) return;
    if (!to.Allocate(from.count)) throw std::bad_alloc();
    std::copy(from.begin(), from.end(), to.begin());
  }
  void operator()(const FacePartSet& from, FacePartSet& to) const {
    CopyRecord(from, to, kFacePartFields);
  }
};

template <typename Record, size_t n>
void CopyRecord(const Record& from, Record& to, const Field<Record> (&fields)[n]) {
  for (const Field<Record>& field : fields) {
    std::visit([&](auto member) { CopyField{}(from.*member, to.*member); }, field.member);
  }
}

void FromPython::operator()(FacePartSet& target) const {
  if (value.is_none()) {
    target = FacePartSet();
    return;
  }
  if (!py::isinstance<FacePartSet>(value)) Wrong("a FaceParts");
  CopyRecord(*value.cast<std::shared_ptr<FacePartSet>>(), target, kFacePartFields);
}

// The constructor of a record from keyword arguments, one per field; the rest keep their
// defaults.
template <typename Record, size_t n>
std::shared_ptr<Record> MakeRecord(const py::kwargs& values, const Field<Record> (&fields)[n],
                                   const char* type) {
  auto record = std::make_shared<Record>();
  for (const auto& [key, value] : values) {
    const std::string name = py::str(key).cast<std::string>();
    const Field<Record>* field = nullptr;
    for (const Field<Record>& candidate : fields) {
      if (SnakeCase(candidate.name) == name) field = &candidate;
    }
    if (field == nullptr) {
      throw py::type_error(std::string(type) + "() got an unexpected keyword argument '" + name +
                           "'");
    }
    std::visit([&](auto member) { FromPython{value, name}((*record).*member); }, field->member);
  }
  return record;
}

// What a field of type T is, for its docstring.
template <typename T>
constexpr const char* Kind() {
  if constexpr (std::is_same_v<T, std::string>) return "str";
  if constexpr (std::is_same_v<T, float>) return "float";
  if constexpr (std::is_integral_v<T>) return "int";
  if constexpr (std::is_same_v<T, Vector3>) return "(x, y, z) floats";
  if constexpr (std::is_same_v<T, Color3>) return "(r, g, b) floats";
  if constexpr (std::is_same_v<T, Vector2>) return "(u, v) floats";
  if constexpr (std::is_same_v<T, CountedArray<Vector3>>) {
    return "read-only float32 array of shape (n, 3), or None when absent";
  }
  if constexpr (std::is_same_v<T, CountedArray<Vector2>>) {
    return "read-only float32 array of shape (n, 2), or None when absent";
  }
  if constexpr (std::is_same_v<T, CountedArray<Face>>) {
    return "read-only int32 array of shape (n, 3, 3): each face's three triples, or None when "
           "absent";
  }
  if constexpr (std::is_same_v<T, CountedArray<int32_t>>) {
    return "read-only int32 array of shape (n,), or None when absent";
  }
  if constexpr (std::is_same_v<T, FacePartSet>) return "FaceParts";
  return "";
}

template <typename Record>
std::string FieldDoc(const Field<Record>& field, const char* kind) {
  std::string doc = std::string(kind) + ": `" + std::string(field.name) + "`, ";
  if (field.keyword.empty()) {
    doc += "which no keyword of the files fills";
  } else {
    doc += "from the keyword '" + std::string(field.keyword) + "'";
    if (!field.block.empty()) doc += " in '" + std::string(field.block) + "'";
  }
  return doc + ".";
}

template <typename Record>
using RecordClass = py::class_<Record, std::shared_ptr<Record>>;

template <typename Record, size_t n>
void AddFields(RecordClass<Record>& cls, const Field<Record> (&fields)[n]) {
  for (const Field<Record>& field : fields) {
    std::visit(
        [&](auto member) {
          using T = std::remove_cvref_t<decltype(std::declval<Record&>().*member)>;
          cls.def_property_readonly(
              SnakeCase(field.name).c_str(),
              [member](const std::shared_ptr<Record>& self) {
                return ToPython{self}(self.get()->*member);
              },
              FieldDoc(field, Kind<T>()).c_str());
        },
        field.member);
  }
}

// "Light(name='\"sun\"', brightness=1.0, ...)", every field in table order; an array shows its
// shape.
template <typename Record, size_t n>
void AddRepr(RecordClass<Record>& cls, const Field<Record> (&fields)[n]) {
  cls.def("__repr__", [&fields](const py::object& self) {
    std::string text = py::str(self.get_type().attr("__name__")).cast<std::string>() + "(";
    for (const Field<Record>& field : fields) {
      if (&field != fields) text += ", ";
      const std::string name = SnakeCase(field.name);
      py::object value = self.attr(name.c_str());
      if (py::isinstance<py::array>(value)) value = value.attr("shape");
      text += name + "=" + py::repr(value).cast<std::string>();
    }
    return text + ")";
  });
}

template <typename Record, size_t n>
RecordClass<Record> DefineRecord(py::module_& module, const char* name, const char* doc,
                                 const Field<Record> (&fields)[n]) {
  RecordClass<Record> cls(module, name, doc);
  cls.attr("__module__") = "sceneio";
  cls.def(py::init([&fields, name](const py::kwargs& values) {
            return MakeRecord(values, fields, name);
          }),
          (std::string("A new ") + name +
           " with the fields given by keyword (the attributes' names); the others keep "
           "their defaults (0, empty, absent). Arrays are copied.")
              .c_str());
  AddFields(cls, fields);
  AddRepr(cls, fields);
  return cls;
}

// One of a scene's collections as a read-only sequence of records.
template <typename Record>
struct Records {
  std::shared_ptr<Scene> scene;
  CountedArray<Record> Scene::*collection;

  py::ssize_t Size() const {
    const CountedArray<Record>& array = (*scene).*collection;
    return array.items ? array.count : 0;
  }
  std::shared_ptr<Record> At(py::ssize_t index) const {
    const py::ssize_t size = Size();
    if (index < 0) index += size;
    if (index < 0 || index >= size) throw py::index_error("record index out of range");
    return std::shared_ptr<Record>(scene, &((*scene).*collection).items[index]);
  }
};

template <typename Record>
void DefineRecords(py::module_& module, const char* name, const char* what) {
  py::class_<Records<Record>> cls(module, name,
                                  (std::string("The scene's ") + what +
                                   ": a read-only sequence (len, indexing, iteration). Each "
                                   "record keeps the scene alive.")
                                      .c_str());
  cls.attr("__module__") = "sceneio";
  cls.def("__len__", &Records<Record>::Size);
  cls.def("__getitem__", &Records<Record>::At, py::arg("index"));
  cls.def("__getitem__", [](const Records<Record>& records, const py::slice& slice) {
    size_t start = 0, stop = 0, step = 0, length = 0;
    if (!slice.compute(static_cast<size_t>(records.Size()), &start, &stop, &step, &length)) {
      throw py::error_already_set();
    }
    py::list picked;
    for (size_t i = 0; i < length; ++i) {
      picked.append(records.At(static_cast<py::ssize_t>(start + i * step)));
    }
    return picked;
  });
  cls.def("__repr__", [name](const Records<Record>& records) {
    return std::string(name) + " of " + std::to_string(records.Size());
  });
}

// A Scene buffer as sceneio.File, or None when the load never made it.
py::object FileOf(const std::unique_ptr<FileBuffer>& file) {
  if (!file) return py::none();
  return PythonType("File")(Text(NativePath(file->path)), Text(NativePath(file->directory)),
                            Text(file->baseName), Text(file->extension), file->data != nullptr,
                            file->size);
}

// A collection built from Python records, copied; None leaves it absent.
template <typename Record, size_t n>
void FillCollection(CountedArray<Record>& target, const py::handle& records,
                    const Field<Record> (&fields)[n], const char* what, const char* type) {
  if (records.is_none()) return;
  std::vector<std::shared_ptr<Record>> given;
  for (const py::handle record : py::iter(records)) {
    if (!py::isinstance<Record>(record)) {
      throw py::type_error(std::string(what) + " must hold sceneio." + type + " records");
    }
    given.push_back(record.cast<std::shared_ptr<Record>>());
  }
  if (given.size() > INT32_MAX || !target.Allocate(static_cast<int32_t>(given.size()))) {
    throw std::bad_alloc();
  }
  for (size_t i = 0; i < given.size(); ++i) CopyRecord(*given[i], target.items[i], fields);
}

std::shared_ptr<Scene> MakeScene(const py::object& lights, const py::object& camera,
                                 const py::object& materials, const py::object& objects) {
  auto scene = std::make_shared<Scene>();
  FillCollection(scene->lights, lights, kLightFields, "lights", "Light");
  if (!camera.is_none())
    FillCollection(scene->camera, py::make_tuple(camera), kCameraFields, "camera", "Camera");
  FillCollection(scene->materials, materials, kMaterialFields, "materials", "Material");
  FillCollection(scene->objects, objects, kBodyFields, "objects", "Body");
  return scene;
}

constexpr const char* kSceneInitDoc = R"(A scene built in Python, to write or draw.

lights, materials and objects are iterables of Light, Material and Body records (None
leaves the collection absent, as a file without its list would); camera is a Camera or
None. Every record and array is copied into the new scene.)";

std::string SceneRepr(const Scene& scene) {
  // "1 light", "0 lights", "2 lights".
  const auto count = [](const auto& array, const char* noun) {
    const size_t n = array.items ? array.count : 0;
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
  };
  std::string text = "<sceneio.Scene";
  if (scene.groupFile)
    text += " " + py::repr(Text(NativePath(scene.groupFile->path))).cast<std::string>();
  text += ": " + count(scene.lights, "light") + ", ";
  text += scene.camera.items && scene.camera.count > 0 ? "a camera, " : "no camera, ";
  text += count(scene.materials, "material") + ", ";
  return text + count(scene.objects, "object") + ">";
}

constexpr const char* kSceneDoc =
    R"(A loaded scene: lights, camera, materials and objects, and the five files.

Made by sceneio.load() (or load_partial()). Records and arrays are views into it:
nothing is copied, and each keeps the scene's memory alive after the Scene is gone.)";

constexpr const char* kBodyDoc = R"(A body of the object file: its name and arrays.

vertices, normals, uvs, faces and face_parts.indices are read-only numpy views of
the loaded arrays (no copy). An array the body's section never gave is None; a
section present but empty gives a view of length 0.)";

}  // namespace

py::object ScenePyObject(const std::shared_ptr<Scene>& scene) {
  return py::cast(scene);
}

void DefineRecords(py::module_& module) {
  DefineRecord(module, "Light", "A light of the light file.", kLightFields);
  DefineRecord(module, "Camera", "The camera of the camera file.", kCameraFields);
  DefineRecord(module, "Material", "A material of the material file.", kMaterialFields);
  DefineRecord(module, "FaceParts", "A body's face-part set: two names and its indices.",
               kFacePartFields);
  DefineRecord(module, "Body", kBodyDoc, kBodyFields);

  DefineRecords<Light>(module, "LightList", "lights");
  DefineRecords<Material>(module, "MaterialList", "materials");
  DefineRecords<Body>(module, "BodyList", "objects (bodies)");

  py::class_<Scene, std::shared_ptr<Scene>> scene(module, "Scene", kSceneDoc);
  scene.attr("__module__") = "sceneio";
  scene.def(py::init(&MakeScene), py::kw_only(), py::arg("lights") = py::tuple(),
            py::arg("camera") = py::none(), py::arg("materials") = py::tuple(),
            py::arg("objects") = py::tuple(), kSceneInitDoc);
  scene.def_property_readonly(
      "lights",
      [](const std::shared_ptr<Scene>& s) {
        return Records<Light>{s, &Scene::lights};
      },
      "The lights of the light file, in file order (a LightList of Light).");
  scene.def_property_readonly(
      "materials",
      [](const std::shared_ptr<Scene>& s) {
        return Records<Material>{s, &Scene::materials};
      },
      "The materials of the material file, in file order (a MaterialList of Material).");
  scene.def_property_readonly(
      "objects",
      [](const std::shared_ptr<Scene>& s) {
        return Records<Body>{s, &Scene::objects};
      },
      "The bodies of the object file, in file order (a BodyList of Body).");
  scene.def_property_readonly(
      "camera",
      [](const std::shared_ptr<Scene>& s) -> py::object {
        if (!s->camera.items || s->camera.count < 1) return py::none();
        return py::cast(std::shared_ptr<Camera>(s, &s->camera.items[0]));
      },
      "The Camera, or None when the load never read a camera file.");
  scene.def_property_readonly(
      "files",
      [](const std::shared_ptr<Scene>& s) {
        return PythonType("Files")(FileOf(s->groupFile), FileOf(s->lightFile),
                                   FileOf(s->cameraFile), FileOf(s->materialFile),
                                   FileOf(s->objectFile));
      },
      "The five files as sceneio.Files(group, light, camera, material, object): each a\n"
      "sceneio.File, or None when the load stopped before it.");
  scene.def("__repr__", [](const Scene& s) { return SceneRepr(s); });
}

}  // namespace sceneio::python
