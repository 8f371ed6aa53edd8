// OBJ text meshes in: tinyobjloader reads the text and its .mtl files (the latter only through
// a reader that keeps to the input's folder); this file splits the shapes into bodies and maps
// them and the materials onto a Scene.
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <istream>
#include <limits>
#include <map>
#include <new>
#include <streambuf>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/import_support.h"
#include "sceneio/import.h"

namespace sceneio {
namespace {

using import::Quoted;
using import::Shown;

// Reads bytes already in memory as a stream, without copying them.
class MemoryBuffer : public std::streambuf {
 public:
  MemoryBuffer(const char* data, size_t size) {
    char* begin = const_cast<char*>(data);  // only ever read
    setg(begin, begin, begin + size);
  }
};

// Reads an open file as a stream through a buffer of its own, as a file stream does: a large
// mesh is never held whole in memory beside what is made of it.
class FileStreamBuffer : public std::streambuf {
 public:
  explicit FileStreamBuffer(int fd) : fd_(fd), buffer_(kSize) {}
  ~FileStreamBuffer() override { ::close(fd_); }
  FileStreamBuffer(const FileStreamBuffer&) = delete;
  FileStreamBuffer& operator=(const FileStreamBuffer&) = delete;

  // The read error that ended the stream early, or 0.
  int error() const { return error_; }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    ssize_t got;
    do {
      got = ::read(fd_, buffer_.data(), buffer_.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      if (got < 0) error_ = errno;
      return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

 private:
  static constexpr size_t kSize = size_t{1} << 16;
  int fd_;
  std::vector<char> buffer_;
  int error_ = 0;
};

// A file the model names, read from the input's folder: its bytes, or a message naming it as
// `what` with why it was refused (the import stops) or is left out (a warning).
struct NamedFile {
  import::ReadResult result = import::ReadResult::kRead;
  std::vector<unsigned char> bytes;
  std::string message;
};

NamedFile ReadNamed(const import::InputFolder& folder, const std::string& name,
                    const std::string& what) {
  NamedFile file;
  std::string why;
  file.result = folder.Read(name, file.bytes, why);
  if (file.result == import::ReadResult::kRefused) file.message = what + " " + why;
  if (file.result == import::ReadResult::kUnreadable) file.message = what + " left out: it " + why;
  return file;
}

// Material files come from the input's folder only. A name that breaks the rules stops the
// import; one that simply is not there leaves the materials out, as it does for any reader.
class FolderMaterialReader : public tinyobj::MaterialReader {
 public:
  explicit FolderMaterialReader(const import::InputFolder& folder) : folder_(folder) {}

  bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                  std::map<std::string, int>* names, std::string* warn, std::string* err) override {
    const NamedFile file = ReadNamed(folder_, name, "mtllib " + Shown(name));
    if (file.result == import::ReadResult::kRefused && refusal.empty()) refusal = file.message;
    if (file.result == import::ReadResult::kUnreadable) missing.push_back(file.message);
    if (file.result != import::ReadResult::kRead) return false;
    MemoryBuffer buffer(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    std::istream stream(&buffer);
    tinyobj::LoadMtl(names, materials, &stream, warn, err);
    return true;
  }

  std::string refusal;
  std::vector<std::string> missing;

 private:
  const import::InputFolder& folder_;
};

// One body: a run of faces of one shape that share a material.
struct Run {
  const tinyobj::shape_t* shape;
  size_t firstFace;  // index into the shape's faces
  size_t faceCount;
  size_t firstIndex;  // index into the shape's corner list
  int material;
};

// Per global index of one kind: the body that last numbered it, and its number there. The
// body stamp saves clearing the whole table for every body.
struct Numbering {
  std::vector<int32_t> body;
  std::vector<int32_t> local;
  void Reset(size_t count) {
    body.assign(count, -1);
    local.assign(count, 0);
  }
};

class ObjImport {
 public:
  ObjImport(const tinyobj::attrib_t& attrib, const std::vector<tinyobj::shape_t>& shapes,
            const std::vector<tinyobj::material_t>& materials, const import::InputFolder& folder,
            ImportedScene& out, Status& status)
      : attrib_(attrib),
        shapes_(shapes),
        materials_(materials),
        folder_(folder),
        out_(out),
        status_(status) {}

  bool Run() {
    if (!MapMaterials()) return false;
    std::vector<struct Run> runs = Runs();
    std::vector<Body> bodies;
    bodies.reserve(runs.size());
    positions_.Reset(attrib_.vertices.size() / 3);
    normals_.Reset(attrib_.normals.size() / 3);
    uvs_.Reset(attrib_.texcoords.size() / 2);
    for (size_t r = 0; r < runs.size(); ++r) {
      bodies.emplace_back();
      if (!BuildBody(runs, r, bodies.back())) return false;
    }
    import::WarnBodyCount(bodies.size(), status_);
    if (!import::StoreBodies(bodies, out_.scene)) return Fail("out of memory for the bodies");
    return true;
  }

 private:
  bool Fail(std::string why) {
    status_.Fail(StatusCode::kInvalidInput, std::move(why));
    return false;
  }

  bool MapMaterials() {
    if (materials_.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
        !out_.scene.materials.Allocate(static_cast<int32_t>(materials_.size()))) {
      return Fail("out of memory for the materials");
    }
    for (size_t i = 0; i < materials_.size(); ++i) {
      const tinyobj::material_t& source = materials_[i];
      Material& material = out_.scene.materials.items[i];
      material.name = Quoted(
          materialNames_.Take(source.name, "material" + std::to_string(i), "material", status_));
      material.diffuse = {source.diffuse[0], source.diffuse[1], source.diffuse[2]};
      material.specular = {source.specular[0], source.specular[1], source.specular[2]};
      material.extraColor1 = {source.emission[0], source.emission[1], source.emission[2]};
      material.shininess = source.shininess;
      material.opacity = source.dissolve;  // d, or 1 - Tr
      if (!source.diffuse_texname.empty() && !MapTexture(source.diffuse_texname, material)) {
        return false;
      }
    }
    return true;
  }

  bool MapTexture(const std::string& name, Material& material) {
    const std::string where = "material " + material.name + ": map_Kd " + Shown(name);
    const auto known = textures_.find(name);
    if (known == textures_.end()) {
      NamedFile file = ReadNamed(folder_, name, where);
      if (file.result == import::ReadResult::kRefused) return Fail(file.message);
      if (file.result == import::ReadResult::kUnreadable) {
        status_.warnings.push_back(file.message);
        return true;
      }
      import::ImageInfo info;
      std::string why;
      if (!import::ProbeImage(file.bytes.data(), file.bytes.size(), info, why)) {
        status_.warnings.push_back(where + " left out: it " + why);
        return true;
      }
      std::string fileName = imageNames_.TakeFileName(
          name, "image" + std::to_string(textures_.size()), info.extension, status_);
      out_.images.push_back({fileName, std::move(file.bytes)});
      textures_.emplace(name, Texture{std::move(fileName), info});
    }
    const Texture& texture = textures_.at(name);
    material.textureName = Quoted(texture.fileName);
    material.textureWidth = texture.info.width;
    material.textureHeight = texture.info.height;
    material.textureChannels = texture.info.channels;
    material.textureBitsPerChannel = texture.info.bitsPerChannel;
    return true;
  }

  // Shapes in file order, each cut where its material changes.
  std::vector<struct Run> Runs() {
    std::vector<struct Run> runs;
    for (const tinyobj::shape_t& shape : shapes_) {
      if (!shape.lines.indices.empty() || !shape.points.indices.empty()) {
        status_.warnings.push_back("shape " + Shown(shape.name) +
                                   ": lines and points left out (the format holds faces)");
      }
      const tinyobj::mesh_t& mesh = shape.mesh;
      size_t corner = 0;
      for (size_t f = 0; f < mesh.num_face_vertices.size(); ++f) {
        const int material = f < mesh.material_ids.size() ? mesh.material_ids[f] : -1;
        if (runs.empty() || runs.back().shape != &shape || runs.back().material != material) {
          runs.push_back({&shape, f, 0, corner, material});
        }
        ++runs.back().faceCount;
        corner += mesh.num_face_vertices[f];
      }
    }
    return runs;
  }

  std::string BodyName(const std::vector<struct Run>& runs, size_t r) {
    const struct Run& run = runs[r];
    const bool shared = (r > 0 && runs[r - 1].shape == run.shape) ||
                        (r + 1 < runs.size() && runs[r + 1].shape == run.shape);
    std::string raw = run.shape->name.empty() ? "body" : run.shape->name;
    if (shared && run.material >= 0 && static_cast<size_t>(run.material) < materials_.size()) {
      raw += "_" + materials_[static_cast<size_t>(run.material)].name;
    }
    return Quoted(bodyNames_.Take(raw, "body", "body", status_));
  }

  // Each body gets its own arrays holding only what its faces use, in order of first use:
  // one pass numbers them and counts, the second fills arrays made at their final size.
  bool BuildBody(const std::vector<struct Run>& runs, size_t r, Body& body) {
    const struct Run& run = runs[r];
    const tinyobj::mesh_t& mesh = run.shape->mesh;
    body.name = BodyName(runs, r);
    if (run.material >= 0 && static_cast<size_t>(run.material) < materials_.size()) {
      out_.bodyMaterials.emplace_back(body.name, out_.scene.materials.items[run.material].name);
    }
    const std::string where = "body " + body.name;
    const auto stamp = static_cast<int32_t>(r);
    std::vector<int32_t> positionOrder;
    std::vector<int32_t> normalOrder;
    std::vector<int32_t> uvOrder;
    bool everyNormal = true;
    bool everyUv = true;
    size_t triangles = 0;
    size_t corner = run.firstIndex;
    for (size_t f = run.firstFace; f < run.firstFace + run.faceCount; ++f) {
      const size_t sides = mesh.num_face_vertices[f];
      if (sides < 3) {
        status_.warnings.push_back(where + ": a face of " + std::to_string(sides) +
                                   " corners is left out");
      } else {
        triangles += sides - 2;
      }
      for (size_t k = 0; k < sides; ++k, ++corner) {
        const tinyobj::index_t& index = mesh.indices[corner];
        if (!Number(index.vertex_index, positions_, positionOrder, stamp, "vertex", where)) {
          return false;
        }
        everyNormal = everyNormal && index.normal_index >= 0;
        everyUv = everyUv && index.texcoord_index >= 0;
        if (index.normal_index >= 0 &&
            !Number(index.normal_index, normals_, normalOrder, stamp, "normal", where)) {
          return false;
        }
        if (index.texcoord_index >= 0 &&
            !Number(index.texcoord_index, uvs_, uvOrder, stamp, "texture coordinate", where)) {
          return false;
        }
      }
    }
    if (!everyNormal && !normalOrder.empty()) {
      status_.warnings.push_back(where + ": normals left out, since some corners have none");
    }
    if (!everyUv && !uvOrder.empty()) {
      status_.warnings.push_back(where +
                                 ": texture coordinates left out, since some corners have none");
    }
    if (!everyNormal) normalOrder.clear();
    if (!everyUv) uvOrder.clear();
    if (triangles > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      return Fail(where + ": more than 2^31 triangles");
    }
    if (!body.vertices.Allocate(static_cast<int32_t>(positionOrder.size())) ||
        !body.faces.Allocate(static_cast<int32_t>(triangles)) ||
        (!normalOrder.empty() &&
         !body.normals.Allocate(static_cast<int32_t>(normalOrder.size()))) ||
        (!uvOrder.empty() && !body.uvs.Allocate(static_cast<int32_t>(uvOrder.size())))) {
      return Fail(where + ": out of memory");
    }
    if (!FillVectors(attrib_.vertices, positionOrder, body.vertices, "vertex", where) ||
        !FillVectors(attrib_.normals, normalOrder, body.normals, "normal", where) ||
        !FillUvs(uvOrder, body, where)) {
      return false;
    }
    FillFaces(run, !normalOrder.empty(), !uvOrder.empty(), body);
    return true;
  }

  // Numbers global index `index` for this body the first time it is met.
  bool Number(int index, Numbering& numbering, std::vector<int32_t>& order, int32_t stamp,
              const char* kind, const std::string& where) {
    if (index < 0 || static_cast<size_t>(index) >= numbering.body.size()) {
      return Fail(where + ": " + kind + " index " + std::to_string(index + 1) + " names no " +
                  kind + " of the " + std::to_string(numbering.body.size()) + " in the file");
    }
    const auto at = static_cast<size_t>(index);
    if (numbering.body[at] != stamp) {
      numbering.body[at] = stamp;
      numbering.local[at] = static_cast<int32_t>(order.size());
      order.push_back(index);
    }
    return true;
  }

  bool FillVectors(const std::vector<tinyobj::real_t>& values, const std::vector<int32_t>& order,
                   CountedArray<Vector3>& out, const char* kind, const std::string& where) {
    for (size_t i = 0; i < order.size(); ++i) {
      const size_t at = static_cast<size_t>(order[i]) * 3;
      const Vector3 v = {values[at], values[at + 1], values[at + 2]};
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
        return Fail(where + ": " + kind + " " + std::to_string(order[i] + 1) +
                    " of the file is not finite");
      }
      out.items[i] = v;
    }
    return true;
  }

  bool FillUvs(const std::vector<int32_t>& order, Body& body, const std::string& where) {
    for (size_t i = 0; i < order.size(); ++i) {
      const size_t at = static_cast<size_t>(order[i]) * 2;
      const Vector2 uv = {attrib_.texcoords[at], attrib_.texcoords[at + 1]};
      if (!std::isfinite(uv.u) || !std::isfinite(uv.v)) {
        return Fail(where + ": texture coordinate " + std::to_string(order[i] + 1) +
                    " of the file is not finite");
      }
      body.uvs.items[i] = uv;
    }
    return true;
  }

  // Polygons become fans around their first corner, which keeps the corners' order.
  void FillFaces(const struct Run& run, bool normals, bool uvs, Body& body) {
    const tinyobj::mesh_t& mesh = run.shape->mesh;
    size_t corner = run.firstIndex;
    size_t out = 0;
    for (size_t f = run.firstFace; f < run.firstFace + run.faceCount; ++f) {
      const size_t sides = mesh.num_face_vertices[f];
      for (size_t k = 1; k + 1 < sides; ++k) {
        Face& face = body.faces.items[out++];
        const tinyobj::index_t* corners[3] = {&mesh.indices[corner], &mesh.indices[corner + k],
                                              &mesh.indices[corner + k + 1]};
        for (int c = 0; c < 3; ++c) {
          face.triple1[c] = positions_.local[static_cast<size_t>(corners[c]->vertex_index)];
          face.triple2[c] =
              normals ? normals_.local[static_cast<size_t>(corners[c]->normal_index)] : 0;
          face.triple3[c] = uvs ? uvs_.local[static_cast<size_t>(corners[c]->texcoord_index)] : 0;
        }
      }
      corner += sides;
    }
  }

  struct Texture {
    std::string fileName;
    import::ImageInfo info;
  };

  const tinyobj::attrib_t& attrib_;
  const std::vector<tinyobj::shape_t>& shapes_;
  const std::vector<tinyobj::material_t>& materials_;
  const import::InputFolder& folder_;
  ImportedScene& out_;
  Status& status_;
  import::Namer bodyNames_;
  import::Namer materialNames_;
  import::Namer imageNames_;
  std::unordered_map<std::string, Texture> textures_;
  Numbering positions_;
  Numbering normals_;
  Numbering uvs_;
};

// The library reads the name after usemtl up to the first space while newmtl keeps the whole
// line, so a material whose name holds a space cannot be worn; the library says so only in its
// warning text, the one place the lost assignment shows.
void UnknownMaterialWarnings(const std::string& warn, Status& status) {
  constexpr std::string_view kFrom = "material [ '";
  constexpr std::string_view kTo = "' ] not found";
  size_t line = 0;
  while (line < warn.size()) {
    const size_t end = std::min(warn.find('\n', line), warn.size());
    const std::string_view text(warn.data() + line, end - line);
    const size_t to = text.rfind(kTo);
    if (text.substr(0, kFrom.size()) == kFrom && to != std::string_view::npos) {
      status.warnings.push_back("usemtl " + Shown(text.substr(kFrom.size(), to - kFrom.size())) +
                                ": the material library has no material of that name, so the "
                                "faces after it wear none");
    }
    line = end + 1;
  }
}

Status Import(std::streambuf& text, const std::string& folder, ImportedScene& out) {
  Status status;
  try {
    const import::InputFolder input(folder);
    FolderMaterialReader materialReader(input);
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn;
    std::string err;
    std::istream stream(&text);
    // Polygons are split here, not by the library, so that each keeps its corners' order.
    const bool loaded = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, &stream,
                                         &materialReader, /*triangulate=*/false,
                                         /*default_vcols_fallback=*/false);
    if (!materialReader.refusal.empty()) {
      return status.Fail(StatusCode::kInvalidInput, materialReader.refusal);
    }
    if (!loaded) {
      std::string line = err.substr(0, err.find('\n'));
      return status.Fail(StatusCode::kInvalidInput,
                         "not an OBJ text mesh this reader accepts: " + line);
    }
    for (std::string& missing : materialReader.missing) status.warnings.push_back(missing);
    UnknownMaterialWarnings(warn, status);
    ObjImport mapping(attrib, shapes, materials, input, out, status);
    if (!mapping.Run() && status.ok()) status.Fail(StatusCode::kInvalidInput, "import failed");
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory while importing the OBJ mesh");
  }
  return status;
}

}  // namespace

Status ImportObjFromMemory(const char* text, size_t size, const std::string& folder,
                           ImportedScene& out) {
  MemoryBuffer buffer(text, size);
  return Import(buffer, folder, out);
}

Status ImportObj(const std::string& path, ImportedScene& out) {
  std::string why;
  const int fd = import::OpenRegularFile(path, why);
  Status status;
  if (fd < 0) return status.Fail(StatusCode::kLoadFailed, path + " " + why);
  FileStreamBuffer buffer(fd);
  status = Import(buffer, import::FolderOf(path), out);
  if (buffer.error() != 0) {
    Status failed;
    return failed.Fail(StatusCode::kLoadFailed,
                       path + " could not be read to its end: " + std::strerror(buffer.error()));
  }
  return status;
}

}  // namespace sceneio
