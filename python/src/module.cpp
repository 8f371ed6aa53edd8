// sceneio._sceneio: the functions of the Python module (load, check, convert, render) and the
// translation of the library's outcomes into Python's exceptions. The GIL is released whenever
// the library reads or writes files.
#include <fcntl.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "bindings.h"
#include "sceneio/convert.h"
#include "sceneio/diagnostics.h"
#include "sceneio/scene.h"

namespace sceneio::python {

py::str Text(std::string_view bytes) {
  PyObject* text =
      PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

std::string Bytes(const py::handle& text) {
  if (PyUnicode_Check(text.ptr())) {
    PyObject* encoded = PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape");
    if (encoded == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::bytes>(encoded).cast<std::string>();
  }
  return py::module_::import("os").attr("fsencode")(text).cast<std::string>();
}

namespace {

std::string PathBytes(const py::handle& path) {
  std::string bytes = py::module_::import("os").attr("fsencode")(path).cast<std::string>();
  if (bytes.find('\0') != std::string::npos) throw py::value_error("embedded null byte in path");
  return bytes;
}

}  // namespace

std::string GroupPath(const py::handle& path) {
  std::string group = PathBytes(path);
  for (char& ch : group) {
    if (ch == '/') ch = '\\';
  }
  return group;
}

std::string NativeOutputPath(const py::handle& path) {
  return PathBytes(path);
}

py::object PythonType(const char* name) {
  return py::module_::import("sceneio._types").attr(name);
}

namespace {

[[noreturn]] void Raise(const py::object& type, const py::object& error) {
  PyErr_SetObject(type.ptr(), error.ptr());
  throw py::error_already_set();
}

[[noreturn]] void RaiseOsError(const std::string& message, const std::string& path) {
  const py::object type = PythonType("FileError");
  Raise(type, type(py::none(), Text(message), Text(path)));
}

int32_t ThreadCount(const py::handle& threads) {
  if (threads.is_none()) return LoadOptions{}.threads;
  if (!PyLong_Check(threads.ptr()) || PyBool_Check(threads.ptr())) {
    throw py::type_error("threads must be an int or None");
  }
  const long long count = threads.cast<long long>();
  // 0 is one thread per core, as scene-inspect --threads 0 and scene-convert take it.
  if (count < 0 || count > 1024) throw py::value_error("threads must be from 0 to 1024");
  return static_cast<int32_t>(count);
}

// The load of `group` into `scene`, with the GIL released.
Status LoadInto(Scene& scene, const std::string& group, int32_t threads) {
  LoadOptions options;
  options.threads = threads;
  py::gil_scoped_release release;
  return LoadScene(scene, group.c_str(), options);
}

// The buffers in the order the load makes them: the first unread one stopped it.
constexpr std::unique_ptr<FileBuffer> Scene::*kLoadOrder[] = {
    &Scene::groupFile, &Scene::lightFile, &Scene::cameraFile, &Scene::materialFile,
    &Scene::objectFile};

// sceneio.LoadError for a load of `group` that stopped, with the library's message, naming the
// file that stopped it (the group file when that file names no data file of a kind);
// MemoryError when memory ran out.
[[noreturn]] void RaiseLoadError(const Scene& scene, const std::string& group,
                                 const Status& status) {
  const FileBuffer* stopped = nullptr;
  for (const auto member : kLoadOrder) {
    const FileBuffer* file = (scene.*member).get();
    if (file != nullptr && file->data == nullptr) {
      stopped = file;
      break;
    }
  }
  if (status.code == StatusCode::kOutOfMemory || stopped == nullptr) {
    PyErr_SetString(PyExc_MemoryError,
                    ("loading " + NativePath(group) + ": " + status.message).c_str());
    throw py::error_already_set();
  }
  const std::string path = NativePath(stopped->path.empty() ? group : stopped->path);
  // Why the file could not be opened, when that is why, so callers can tell a missing file
  // (ENOENT) from an unreadable one (EACCES).
  py::object error_number = py::none();
  if (!stopped->path.empty()) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error_number = py::int_(errno);
    } else {
      close(fd);
    }
  }
  const py::object type = PythonType("LoadError");
  Raise(type, type(error_number, Text(status.message), Text(path)));
}

std::shared_ptr<Scene> Load(const py::object& path, const py::object& threads) {
  const std::string group = GroupPath(path);
  const int32_t threadCount = ThreadCount(threads);
  auto scene = std::make_shared<Scene>();
  const Status status = LoadInto(*scene, group, threadCount);
  if (!status.ok()) RaiseLoadError(*scene, group, status);
  return scene;
}

py::tuple LoadPartial(const py::object& path, const py::object& threads) {
  const std::string group = GroupPath(path);
  const int32_t threadCount = ThreadCount(threads);
  auto scene = std::make_shared<Scene>();
  const int32_t result = LoadInto(*scene, group, threadCount).ok() ? 0 : -1;
  return py::make_tuple(result, scene);
}

py::list Check(const py::object& path) {
  const std::string group = GroupPath(path);
  std::vector<Finding> findings;
  {
    py::gil_scoped_release release;
    Scene scene;
    // A load that stops is a finding too: the list is the answer either way.
    (void)CheckLoad(scene, group.c_str(), findings);
  }
  const py::object finding = PythonType("Finding");
  py::list out;
  for (const Finding& f : findings) {
    out.append(
        finding(Text(f.path), f.line, f.column, f.error ? "error" : "warning", Text(f.message)));
  }
  return out;
}

struct RoleWord {
  std::string_view word;
  TripleRole role;
};

constexpr RoleWord kRoleWords[] = {
    {"position", TripleRole::kPosition},
    {"normal", TripleRole::kNormal},
    {"uv", TripleRole::kUv},
    {"none", TripleRole::kNone},
};

// faces="position,normal,uv" or ("position", "normal", "uv").
std::array<TripleRole, 3> FaceRoles(const py::handle& faces) {
  std::vector<std::string> words;
  if (PyUnicode_Check(faces.ptr())) {
    std::string text = faces.cast<std::string>();
    size_t start = 0;
    while (true) {
      const size_t comma = text.find(',', start);
      words.push_back(text.substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  } else {
    for (const py::handle word : faces) words.push_back(py::str(word).cast<std::string>());
  }
  if (words.size() != 3) throw py::value_error("faces: three roles are needed, one per triple");
  std::array<TripleRole, 3> roles{};
  int seen[4] = {0, 0, 0, 0};
  for (size_t t = 0; t < 3; ++t) {
    const RoleWord* row = nullptr;
    for (const RoleWord& candidate : kRoleWords) {
      if (candidate.word == words[t]) row = &candidate;
    }
    if (row == nullptr) {
      throw py::value_error("faces: \"" + words[t] + "\" is not one of position, normal, uv, none");
    }
    roles[t] = row->role;
    ++seen[static_cast<int>(row->role)];
  }
  if (seen[0] != 1) throw py::value_error("faces: position must appear exactly once");
  if (seen[1] > 1 || seen[2] > 1) {
    throw py::value_error("faces: normal and uv may appear at most once each");
  }
  return roles;
}

void CheckSide(int32_t side, const char* which) {
  if (side < kMinPictureSide || side > kMaxPictureSide) {
    throw py::value_error(std::string(which) + " must be from " + std::to_string(kMinPictureSide) +
                          " to " + std::to_string(kMaxPictureSide) + ", not " +
                          std::to_string(side));
  }
}

// The keyword options of convert() and render(); `sizeAllowed` for convert's size=.
ConvertOptions ReadOptions(const py::kwargs& options, const char* function, bool sizeAllowed) {
  ConvertOptions out;
  out.names = TypedNames::kHeldOrShown;
  for (const auto& [key, value] : options) {
    const std::string name = py::str(key).cast<std::string>();
    if (name == "faces") {
      out.faces = FaceRoles(value);
    } else if (name == "index_base") {
      if (!PyLong_Check(value.ptr())) throw py::type_error("index_base must be 0 or 1");
      const long long base = value.cast<long long>();
      if (base != 0 && base != 1) throw py::value_error("index_base must be 0 or 1");
      out.indexBase = static_cast<int32_t>(base);
    } else if (name == "materials") {
      const py::dict pairs = py::dict(py::reinterpret_borrow<py::object>(value));
      for (const auto& [body, material] : pairs)
        out.materials.emplace_back(Bytes(body), Bytes(material));
    } else if (name == "up") {
      const std::string axis = py::str(value).cast<std::string>();
      if (!PyUnicode_Check(value.ptr()) || (axis != "y" && axis != "z")) {
        throw py::value_error("up must be \"y\" or \"z\"");
      }
      out.up = axis == "z" ? UpAxis::kZ : UpAxis::kY;
    } else if (name == "size" && sizeAllowed) {
      if (PyUnicode_Check(value.ptr())) {
        if (!ParsePictureSize(value.cast<std::string>(), out.width, out.height)) {
          throw py::value_error("size must be WIDTHxHEIGHT, each from " +
                                std::to_string(kMinPictureSide) + " to " +
                                std::to_string(kMaxPictureSide));
        }
      } else {
        const auto [w, h] = value.cast<std::pair<int32_t, int32_t>>();
        CheckSide(w, "width");
        CheckSide(h, "height");
        out.width = w;
        out.height = h;
      }
    } else {
      throw py::type_error(std::string(function) + "() got an unexpected keyword argument '" +
                           name + "'");
    }
  }
  return out;
}

// What a conversion or a picture starts from: the Scene given, a group file loaded as load()
// loads it, or a model brought in; and the body-material entries it came with.
class Source {
 public:
  explicit Source(const py::object& source) {
    if (py::isinstance<Scene>(source)) {
      loaded_ = source.cast<std::shared_ptr<Scene>>();
    } else if (const std::string input = GroupPath(source);
               ConvertInputOf(NativePath(input)) == ConvertInput::kGroup) {
      loaded_ = Load(source, py::none());
    } else {
      {
        py::gil_scoped_release release;
        read_ = ReadConvertSource(input, 0, model_);
      }
      RaiseFailure(read_, NativePath(input));
      return;
    }
    entries_ = GroupEntries(*loaded_);
  }
  const Scene& scene() const { return loaded_ ? *loaded_ : model_.scene(); }
  const std::vector<BodyMaterial>& entries() const {
    return loaded_ ? entries_ : model_.bodyMaterials();
  }
  // What bringing a model in said (nothing for a Scene or a group file).
  const Status& read() const { return read_; }

 private:
  std::shared_ptr<Scene> loaded_;
  std::vector<BodyMaterial> entries_;
  ConvertSource model_;
  Status read_;
};

}  // namespace

void RaiseFailure(const Status& status, const std::string& path) {
  switch (status.code) {
    case StatusCode::kOk:
      return;
    case StatusCode::kBadOptions:
    case StatusCode::kInvalidScene:
      throw py::value_error(status.message);
    case StatusCode::kOutOfMemory:
      throw std::bad_alloc();
    case StatusCode::kLoadFailed:
    case StatusCode::kInvalidInput:
    case StatusCode::kWriteFailed:
      RaiseOsError(status.message, path);
  }
  RaiseOsError(status.message, path);
}

py::object Report(const Status& result) {
  py::list warnings, notes;
  for (const std::string& line : result.warnings) warnings.append(Text(line));
  for (const std::string& line : result.notes) notes.append(Text(line));
  return PythonType("Report")(warnings, notes);
}

namespace {

py::object Convert(const py::object& source, const py::object& destination,
                   const py::kwargs& kwargs) {
  const ConvertOptions options = ReadOptions(kwargs, "convert", true);
  const std::string output = NativeOutputPath(destination);
  const Source from(source);
  Status result;
  {
    py::gil_scoped_release release;
    result = sceneio::Convert(from.scene(), from.entries(), output, options);
  }
  RaiseFailure(result, output);
  return Report(std::move(result).After(from.read()));
}

py::array Render(const py::object& source, int32_t width, int32_t height,
                 const py::kwargs& kwargs) {
  ConvertOptions options = ReadOptions(kwargs, "render", false);
  CheckSide(width, "width");
  CheckSide(height, "height");
  options.width = width;
  options.height = height;
  const Source from(source);
  auto picture = std::make_unique<Picture>();
  Status result;
  {
    py::gil_scoped_release release;
    result = RenderConverted(from.scene(), from.entries(), options, *picture);
  }
  RaiseFailure(result, "");
  // The array takes the picture's bytes over: no copy.
  Picture* held = picture.release();
  py::capsule base(held, [](void* p) { delete static_cast<Picture*>(p); });
  return py::array_t<uint8_t>({py::ssize_t{height}, py::ssize_t{width}, py::ssize_t{3}},
                              held->rgb.data(), base);
}

constexpr const char* kLoadDoc = R"(Loads the scene whose group file is `path` and returns a Scene.

`path` is a str, bytes or os.PathLike; "/" and "\" both separate directories. The
group file names the four data files, which are read from its folder.
`threads` bounds how many threads read and parse: an int from 1, 0 for one thread per
core, or None for the library's default (one). Any number gives the same Scene.

Raises sceneio.LoadError (an OSError) when a file is not named or cannot be read: its
message says why and its `filename` is the file that stopped the load (the group file
when it names no file of a kind). MemoryError when memory runs out. Nothing inside a
data file fails the load: use check() to see what was passed over.)";

constexpr const char* kLoadPartialDoc = R"(Loads as load() does, but never raises for a failed load.

Returns (result, scene): result is 0 when all five files were read, -1 when the load
stopped (a file not named or not read, or memory running out); scene holds what was
read before that.)";

constexpr const char* kCheckDoc =
    R"(Lists what the scene's files hold that the load passes over, fails at or never reads.

Returns a list of sceneio.Finding(file, line, column, severity, message), severity being
"error" or "warning", in file order (group, light, camera, material, object). An empty
list means the files are clean. The same findings as `scene-inspect --check`.)";

constexpr const char* kConvertDoc =
    R"(Writes the scene `src` (a path or a Scene) to `dst`, as scene-convert does.

`src` is a group file, or a model to bring in: a glTF 2.0 .gltf or .glb, or an OBJ .obj
(with its .mtl), its bodies dressed by its own materials. `dst` ending in .glb or .gltf
writes glTF 2.0, in .png a picture of the scene, in .grp the five files again (missing
folders made), with the body-material entries the scene came with and `materials`. Options:
  faces="position,normal,uv"  what each of a face's three triples indexes (or a sequence
                              of three of "position", "normal", "uv", "none")
  index_base=0                the index of each array's first element in the file, 0 or 1
  materials={body: material}  the material of a body's triangles, over the group file's
                              body-material entries (or a model's own materials), which
                              dress the bodies by default
                              (names as Body.name and Material.name give them, without
                              their quotes, or as scene-inspect prints them)
  up="y"                      the scene's up axis: with "z" it is turned so that +Z is up
  size="800x600"              the picture's size, also (width, height)
The file is written beside `dst` and renamed into place only when complete.
Returns sceneio.Report(warnings, notes). Raises ValueError for bad options or a scene
that cannot be converted under them, sceneio.FileError (an OSError) when the output
cannot be written or a model cannot be brought in, LoadError when a group file cannot be
loaded, TypeError for an unknown option.)";

constexpr const char* kRenderDoc = R"(Draws the scene `src` (a path or a Scene) at width x height.

Returns a (height, width, 3) uint8 array of RGB rows from the top: exactly the pixels
scene-convert writes to a .png of that size with the same options (faces, index_base,
materials, up, as for convert()); `src` may be a model as for convert(). Each side is
from 16 to 8192 (ValueError otherwise).)";

constexpr const char* kModuleDoc = R"(The compiled half of sceneio; use the package sceneio.)";

}  // namespace
}  // namespace sceneio::python

PYBIND11_MODULE(_sceneio, module) {
  using namespace sceneio::python;
  module.doc() = kModuleDoc;
  DefineRecords(module);
  DefineWriting(module);
  module.def("load", &Load, py::arg("path"), py::kw_only(), py::arg("threads") = py::none(),
             kLoadDoc);
  module.def("load_partial", &LoadPartial, py::arg("path"), py::kw_only(),
             py::arg("threads") = py::none(), kLoadPartialDoc);
  module.def("check", &Check, py::arg("path"), kCheckDoc);
  module.def("convert", &Convert, py::arg("src"), py::arg("dst"), kConvertDoc);
  module.def("render", &Render, py::arg("src"), py::arg("width"), py::arg("height"), kRenderDoc);
}
