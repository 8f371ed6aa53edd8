// The glTF writer: lays out one binary buffer, describes it in JSON, and streams the scene's
// arrays into it in fixed-size chunks, all into files that are renamed into place at the end.
#include "gltf/gltf_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string_view>
#include <vector>

#include "export/unit_vector.h"
#include "gltf/json_text.h"
#include "io/names.h"
#include "io/output_files.h"
#include "sceneio/gltf.h"

namespace sceneio {
namespace {

static_assert(sizeof(Vector3) == 12 && sizeof(Vector2) == 8,
              "vertex arrays are written to the buffer as they lie in memory");

constexpr size_t kChunkBytes = size_t{1} << 20;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kFloat = 5126;
constexpr int kModePoints = 0;
constexpr int kModeTriangles = 4;
// 65535 is the restart value of 16-bit indices, which glTF forbids in an index accessor.
constexpr size_t kMaxShortIndexedVertices = 65535;
constexpr uint64_t kGlbLimit = uint64_t{0xFFFFFFFF};

uint64_t Align4(uint64_t n) {
  return (n + 3) & ~uint64_t{3};
}

// Buffered writes to the output file begun last. Large blocks bypass the buffer; small values
// are gathered into it, so no element ever needs a container of its own.
class Sink {
 public:
  explicit Sink(OutputFiles& files) : files_(files), buffer_(new char[kChunkBytes]) {}

  // Room for `bytes` (at most kChunkBytes) at the end of the buffer, to be filled at once.
  char* Reserve(size_t bytes) {
    if (used_ + bytes > kChunkBytes) Flush();
    char* at = buffer_.get() + used_;
    used_ += bytes;
    return at;
  }

  void Append(const void* data, size_t bytes) {
    if (bytes >= kChunkBytes / 2) {
      Flush();
      WriteOut(data, bytes);
      return;
    }
    std::memcpy(Reserve(bytes), data, bytes);
  }

  void Zeros(size_t bytes) { std::memset(Reserve(bytes), 0, bytes); }

  // The whole of a file that must still be `size` bytes long.
  bool Copy(const std::string& source, uint64_t size) {
    if (!Flush()) return false;
    failed_ = !files_.Copy(source, size);
    if (!failed_) written_ += size;
    return !failed_;
  }

  bool Flush() {
    WriteOut(buffer_.get(), used_);
    used_ = 0;
    return !failed_;
  }

  bool failed() const { return failed_; }
  uint64_t written() const { return written_ + used_; }

 private:
  void WriteOut(const void* data, size_t bytes) {
    if (failed_ || bytes == 0) return;
    failed_ = !files_.Write(data, bytes);
    if (!failed_) written_ += bytes;
  }

  OutputFiles& files_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  uint64_t written_ = 0;
  bool failed_ = false;
};

// Fills `count` elements of `bytesEach` bytes, a chunk at a time: fill(first, count, out).
template <typename Fill>
void Gather(Sink& sink, size_t count, size_t bytesEach, Fill fill) {
  const size_t perChunk = kChunkBytes / bytesEach;
  for (size_t first = 0; first < count; first += perChunk) {
    const size_t n = std::min(perChunk, count - first);
    fill(first, n, sink.Reserve(n * bytesEach));
  }
}

// One stretch of the binary buffer and what fills it.
struct Piece {
  enum class What : uint8_t {
    kPositions,
    kPoints,
    kNormals,
    kUvs,
    kShortIndices,
    kIndices,
    kImage
  };
  What what;
  size_t source;  // mesh or image index
  uint64_t offset = 0;
  uint64_t length = 0;
};

struct Image {
  std::string path;  // checked by PrepareExport
  std::string mime;
  uint64_t size = 0;
  std::filesystem::path copy;  // .gltf: where the copy goes
};

// Percent-escapes every byte but the unreserved ones, so any file name is a relative URI.
std::string UriOf(const std::string& name) {
  std::string uri;
  for (const char ch : name) {
    const auto byte = static_cast<unsigned char>(ch);
    if (std::isalnum(byte) || ch == '-' || ch == '.' || ch == '_' || ch == '~') {
      uri.push_back(ch);
    } else {
      uri.append({'%', kUpperHexDigits[byte >> 4], kUpperHexDigits[byte & 0xF]});
    }
  }
  return uri;
}

// One of the document's top-level arrays, built apart from it and left out when empty.
struct JsonList {
  JsonText text;
  size_t count = 0;

  // The text to write the next element to; that element's index is count - 1.
  JsonText& Add() {
    if (count++ == 0) text.Open('[');
    return text;
  }
  void PutInto(JsonText& doc, const char* key) {
    if (count > 0) doc.Key(key).Raw(text.Close(']'));
  }
};

class Writer {
 public:
  Writer(const ExportScene& model, const std::filesystem::path& output, GltfContainer container)
      : model_(model), output_(output), glb_(container == GltfContainer::kGlb) {}

  void Write(OutputFiles& files, Status& status) {
    std::string error;
    if (!Plan(error)) {
      status.Fail(StatusCode::kWriteFailed, error);
      return;
    }
    // Once the files are in place nothing may fail: the notes' room is taken first.
    status.notes.reserve(status.notes.size() + notes_.size());
    if (!WriteFiles(files, error)) {
      status.Fail(StatusCode::kWriteFailed, error.empty() ? FailureText(files.failure()) : error);
      return;
    }
    std::move(notes_.begin(), notes_.end(), std::back_inserter(status.notes));
  }

 private:
  size_t AddView(Piece::What what, size_t source, uint64_t length, int target) {
    Piece piece{what, source, binLength_, length};
    binLength_ = Align4(binLength_ + length);
    pieces_.push_back(piece);
    JsonText& view = views_.Add();
    view.Open('{').Field("buffer", 0).Field("byteOffset", piece.offset);
    view.Field("byteLength", length);
    if (target != 0) view.Field("target", target);
    view.Close('}');
    return views_.count - 1;
  }

  // Leaves the accessor open, for its bounds.
  size_t OpenAccessor(size_t view, int componentType, size_t count, const char* type) {
    accessors_.Add().Open('{').Field("bufferView", view).Field("componentType", componentType);
    accessors_.text.Field("count", count).Field("type", type);
    return accessors_.count - 1;
  }

  size_t AddAccessor(size_t view, int componentType, size_t count, const char* type) {
    const size_t accessor = OpenAccessor(view, componentType, count, type);
    accessors_.text.Close('}');
    return accessor;
  }

  size_t AddPositions(const ExportMesh& mesh, size_t m, size_t count, Piece::What what) {
    const size_t view = AddView(what, m, uint64_t{count} * 12, kArrayBuffer);
    const size_t accessor = OpenAccessor(view, kFloat, count, "VEC3");
    accessors_.text.Field("min", mesh.min).Field("max", mesh.max).Close('}');
    return accessor;
  }

  void AddMesh(const ExportMesh& mesh, size_t m) {
    // Written in place: the views, accessors and materials it adds go to lists of their own.
    JsonText& out = meshes_.Add();
    out.Open('{').Field("name", mesh.name).Key("primitives").Open('[');
    out.Open('{').Key("attributes").Open('{');
    if (mesh.kind == ExportMesh::Kind::kPoints) {
      const auto count = static_cast<size_t>(mesh.body->vertices.count);
      out.Field("POSITION", AddPositions(mesh, m, count, Piece::What::kPoints)).Close('}');
      out.Field("mode", kModePoints);
    } else {
      const size_t count = mesh.vertices.size();
      out.Field("POSITION", AddPositions(mesh, m, count, Piece::What::kPositions));
      if (mesh.hasNormals) {
        const size_t view = AddView(Piece::What::kNormals, m, uint64_t{count} * 12, kArrayBuffer);
        out.Field("NORMAL", AddAccessor(view, kFloat, count, "VEC3"));
      }
      if (mesh.hasUvs) {
        const size_t view = AddView(Piece::What::kUvs, m, uint64_t{count} * 8, kArrayBuffer);
        out.Field("TEXCOORD_0", AddAccessor(view, kFloat, count, "VEC2"));
      }
      out.Close('}');
      const bool shortIndices = count <= kMaxShortIndexedVertices;
      const size_t view =
          AddView(shortIndices ? Piece::What::kShortIndices : Piece::What::kIndices, m,
                  uint64_t{mesh.indices.size()} * (shortIndices ? 2 : 4), kElementArrayBuffer);
      out.Field("indices", AddAccessor(view, shortIndices ? kUnsignedShort : kUnsignedInt,
                                       mesh.indices.size(), "SCALAR"));
      out.Field("mode", kModeTriangles);
      if (mesh.material >= 0) out.Field("material", MaterialFor(mesh));
    }
    out.Close('}').Close(']').Close('}');
  }

  // A textured material on a primitive without texture coordinates would be invalid glTF:
  // such a primitive gets a copy of the material without the texture.
  size_t MaterialFor(const ExportMesh& mesh) {
    const auto m = static_cast<size_t>(mesh.material);
    if (mesh.hasUvs || textureOf_[m] < 0) return m;
    auto [at, added] = untextured_.try_emplace(m, 0);
    if (added) {
      AddMaterial(model_.materials[m], model_.materials[m].name + " (untextured)", -1);
      at->second = materials_.count - 1;
      notes_.push_back("material \"" + model_.materials[m].name +
                       "\" is also written without its texture, for bodies without uvs");
    }
    return at->second;
  }

  void AddMaterial(const ExportMaterial& material, const std::string& name, int32_t texture) {
    JsonText& json = materials_.Add();
    json.Open('{').Field("name", name).Key("pbrMetallicRoughness").Open('{');
    json.Field("baseColorFactor", material.baseColor);
    if (texture >= 0) json.Key("baseColorTexture").Open('{').Field("index", texture).Close('}');
    json.Field("metallicFactor", 0).Field("roughnessFactor", material.roughness).Close('}');
    json.Field("emissiveFactor", material.emissive);
    json.Field("alphaMode", material.blend ? "BLEND" : "OPAQUE");
    if (material.specular) {
      json.Key("extensions").Open('{').Key("KHR_materials_specular").Open('{');
      json.Field("specularColorFactor", *material.specular).Close('}').Close('}');
      usesSpecular_ = true;
    }
    json.Close('}');
  }

  bool PlanImages(std::string& error) {
    std::map<std::string, int32_t> imageOf;  // path -> image, so a shared file goes in once
    std::set<std::string> copyNames;
    const std::string stem = output_.stem().string();
    for (const ExportMaterial& material : model_.materials) {
      int32_t texture = -1;
      if (!material.texturePath.empty()) {
        auto [at, added] = imageOf.try_emplace(material.texturePath, 0);
        if (added) {
          Image image;
          image.path = material.texturePath;
          image.mime = material.textureMime;
          struct stat info {};
          if (stat(image.path.c_str(), &info) != 0) {
            error = "texture " + image.path + " vanished: " + std::strerror(errno);
            return false;
          }
          image.size = static_cast<uint64_t>(info.st_size);
          JsonText& json = imageList_.Add();
          json.Open('{').Field("name", material.textureName);
          if (glb_) {
            json.Field("bufferView", AddView(Piece::What::kImage, images_.size(), image.size, 0));
            json.Field("mimeType", image.mime);
          } else {
            image.copy = output_.parent_path() / CopyName(stem, image, copyNames);
            json.Field("uri", UriOf(image.copy.filename().string()));
          }
          json.Close('}');
          textures_.Add().Open('{').Field("source", images_.size()).Close('}');
          at->second = static_cast<int32_t>(images_.size());
          images_.push_back(std::move(image));
        }
        texture = at->second;
      }
      textureOf_.push_back(texture);
      AddMaterial(material, material.name, texture);
    }
    return true;
  }

  // OUTPUT's stem, then the texture's own file name, made unique among this output's copies.
  static std::string CopyName(const std::string& stem, const Image& image,
                              std::set<std::string>& taken) {
    const std::string base = std::filesystem::path(image.path).filename().string();
    std::string name = stem + "_" + base;
    for (int k = 2; !taken.insert(name).second; ++k) {
      name = stem + "_" + std::to_string(k) + "_" + base;
    }
    return name;
  }

  bool Plan(std::string& error) {
    if (!PlanImages(error)) return false;
    JsonList nodes;
    for (size_t m = 0; m < model_.meshes.size(); ++m) {
      const ExportMesh& mesh = model_.meshes[m];
      JsonText& node = nodes.Add();
      node.Open('{').Field("name", mesh.name);
      if (mesh.kind != ExportMesh::Kind::kEmpty) {
        node.Field("mesh", meshes_.count);
        AddMesh(mesh, m);
      }
      node.Close('}');
    }
    JsonList lights;
    for (size_t l = 0; l < model_.lights.size(); ++l) {
      const ExportLight& light = model_.lights[l];
      lights.Add().Open('{').Field("name", light.name).Field("type", "directional");
      lights.text.Field("color", light.color).Field("intensity", light.intensity).Close('}');
      JsonText& node = nodes.Add();
      node.Open('{').Field("name", light.name).Field("rotation", light.placement.rotation);
      node.Key("extensions").Open('{').Key("KHR_lights_punctual").Open('{').Field("light", l);
      node.Close('}').Close('}').Close('}');
    }
    JsonList cameras;
    if (model_.camera) {
      const ExportCamera& camera = *model_.camera;
      cameras.Add().Open('{').Field("name", camera.name).Field("type", "perspective");
      cameras.text.Key("perspective").Open('{').Field("yfov", camera.yfov);
      cameras.text.Field("znear", camera.znear).Field("zfar", camera.zfar).Close('}').Close('}');
      JsonText& node = nodes.Add();
      node.Open('{').Field("name", camera.name).Field("camera", 0);
      node.Field("translation", camera.placement.translation);
      node.Field("rotation", camera.placement.rotation).Close('}');
    }

    JsonText doc;
    doc.Open('{').Key("asset").Open('{').Field("version", "2.0");
    doc.Field("generator", "sceneio " SCENEIO_VERSION).Close('}');
    JsonList used;
    if (lights.count > 0) used.Add().Value("KHR_lights_punctual");
    if (usesSpecular_) used.Add().Value("KHR_materials_specular");
    used.PutInto(doc, "extensionsUsed");
    doc.Field("scene", 0).Key("scenes").Open('[').Open('{');
    JsonList sceneNodes;
    for (size_t n = 0; n < nodes.count; ++n) sceneNodes.Add().Value(n);
    sceneNodes.PutInto(doc, "nodes");
    doc.Close('}').Close(']');
    nodes.PutInto(doc, "nodes");
    meshes_.PutInto(doc, "meshes");
    materials_.PutInto(doc, "materials");
    textures_.PutInto(doc, "textures");
    imageList_.PutInto(doc, "images");
    cameras.PutInto(doc, "cameras");
    accessors_.PutInto(doc, "accessors");
    views_.PutInto(doc, "bufferViews");
    if (binLength_ > 0) {
      doc.Key("buffers").Open('[').Open('{').Field("byteLength", binLength_);
      if (!glb_) {
        binPath_ = output_.parent_path() / (output_.stem().string() + ".bin");
        doc.Field("uri", UriOf(binPath_.filename().string()));
      }
      doc.Close('}').Close(']');
    }
    if (lights.count > 0) {
      doc.Key("extensions").Open('{').Key("KHR_lights_punctual").Open('{');
      lights.PutInto(doc, "lights");
      doc.Close('}').Close('}');
    }
    json_ = std::move(doc.Close('}')).Release();
    if (glb_ && 12 + 8 + Align4(json_.size()) + (binLength_ > 0 ? 8 + binLength_ : 0) > kGlbLimit) {
      error = output_.string() + ": the scene is too large for one .glb (4 GiB); write .gltf";
      return false;
    }
    return true;
  }

  bool WritePieces(Sink& sink, std::string& error) {
    for (const Piece& piece : pieces_) {
      const uint64_t start = sink.written();
      if (!WritePiece(piece, sink)) return false;
      sink.Zeros(static_cast<size_t>(Align4(piece.length) - piece.length));
      if (sink.failed()) return false;
      if (sink.written() - start != Align4(piece.length)) {
        error = "internal error: a buffer view came out the wrong size";
        return false;
      }
    }
    return true;
  }

  bool WritePiece(const Piece& piece, Sink& sink) {
    if (piece.what == Piece::What::kImage) {
      return sink.Copy(images_[piece.source].path, images_[piece.source].size);
    }
    const ExportMesh& mesh = model_.meshes[piece.source];
    const Body& body = *mesh.body;
    const WeldedVertex* welded = mesh.vertices.data();
    switch (piece.what) {
      case Piece::What::kPoints:
        sink.Append(body.vertices.items.get(), static_cast<size_t>(piece.length));
        break;
      case Piece::What::kPositions:
        Gather(sink, mesh.vertices.size(), 12, [&](size_t first, size_t n, char* out) {
          for (size_t i = 0; i < n; ++i, out += 12) {
            std::memcpy(out, &body.vertices.items[welded[first + i].position], 12);
          }
        });
        break;
      case Piece::What::kNormals:
        Gather(sink, mesh.vertices.size(), 12, [&](size_t first, size_t n, char* out) {
          for (size_t i = 0; i < n; ++i, out += 12) {
            // PrepareExport wrote normals only when every one used is finite and not zero.
            const Vector3 unit = UnitVector(body.normals.items[welded[first + i].normal]);
            std::memcpy(out, &unit, 12);
          }
        });
        break;
      case Piece::What::kUvs:
        Gather(sink, mesh.vertices.size(), 8, [&](size_t first, size_t n, char* out) {
          for (size_t i = 0; i < n; ++i, out += 8) {
            std::memcpy(out, &body.uvs.items[welded[first + i].uv], 8);
          }
        });
        break;
      case Piece::What::kShortIndices:
        Gather(sink, mesh.indices.size(), 2, [&](size_t first, size_t n, char* out) {
          for (size_t i = 0; i < n; ++i, out += 2) {
            const auto index = static_cast<uint16_t>(mesh.indices[first + i]);
            std::memcpy(out, &index, 2);
          }
        });
        break;
      case Piece::What::kIndices:
        sink.Append(mesh.indices.data(), static_cast<size_t>(piece.length));
        break;
      case Piece::What::kImage:
        break;
    }
    return true;
  }

  static uint32_t Le32(uint64_t n) { return static_cast<uint32_t>(n); }

  // The texture is the scene's, not the output's: its failures name it as such.
  static std::string FailureText(const OutputFailure& failure) {
    switch (failure.step) {
      case OutputFailure::Step::kSourceChanged:
        return "texture " + failure.source + " changed or vanished while the scene was written";
      case OutputFailure::Step::kSourceShort:
        return "texture " + failure.source + " could not be read whole";
      default:
        return failure.Message();
    }
  }

  static bool Finish(OutputFiles& files, Sink& sink) { return sink.Flush() && files.End(); }

  bool WriteGlb(OutputFiles& files, std::string& error) {
    if (!files.Begin(output_)) return false;
    Sink sink(files);
    const uint64_t jsonChunk = Align4(json_.size());
    const uint64_t total = 12 + 8 + jsonChunk + (binLength_ > 0 ? 8 + binLength_ : 0);
    const uint32_t header[5] = {0x46546C67, 2, Le32(total), Le32(jsonChunk), 0x4E4F534A};
    sink.Append(header, sizeof header);
    sink.Append(json_.data(), json_.size());
    std::memset(sink.Reserve(jsonChunk - json_.size()), ' ', jsonChunk - json_.size());
    if (binLength_ > 0) {
      const uint32_t binHeader[2] = {Le32(binLength_), 0x004E4942};
      sink.Append(binHeader, sizeof binHeader);
      if (!WritePieces(sink, error)) return false;
    }
    return Finish(files, sink) && files.Commit();
  }

  // The .bin and the texture copies first, the .gltf that refers to them last.
  bool WriteSeparate(OutputFiles& files, std::string& error) {
    if (binLength_ > 0) {
      if (!files.Begin(binPath_)) return false;
      Sink sink(files);
      if (!WritePieces(sink, error) || !Finish(files, sink)) return false;
    }
    for (const Image& image : images_) {
      if (!files.Begin(image.copy)) return false;
      Sink sink(files);
      if (!sink.Copy(image.path, image.size) || !Finish(files, sink)) return false;
    }
    if (!files.Begin(output_)) return false;
    Sink sink(files);
    sink.Append(json_.data(), json_.size());
    return Finish(files, sink) && files.Commit();
  }

  bool WriteFiles(OutputFiles& files, std::string& error) {
    return glb_ ? WriteGlb(files, error) : WriteSeparate(files, error);
  }

  const ExportScene& model_;
  std::filesystem::path output_;
  bool glb_;
  JsonList views_, accessors_, meshes_, materials_, imageList_, textures_;
  std::string json_;
  std::vector<Piece> pieces_;
  uint64_t binLength_ = 0;
  std::vector<Image> images_;
  std::vector<int32_t> textureOf_;       // per material: its texture, or -1
  std::map<size_t, size_t> untextured_;  // material -> its copy without the texture
  std::filesystem::path binPath_;
  bool usesSpecular_ = false;
  std::vector<std::string> notes_;
};

}  // namespace

GltfContainer GltfContainerOf(const std::string& outputPath) {
  const std::string_view path = outputPath;
  const auto endsWith = [&](std::string_view tail) {
    return path.size() > tail.size() && path.substr(path.size() - tail.size()) == tail &&
           path[path.size() - tail.size() - 1] != '/';
  };
  if (endsWith(".gltf")) return GltfContainer::kGltf;
  if (endsWith(".glb")) return GltfContainer::kGlb;
  return GltfContainer::kNone;
}

Status WriteGltf(const ExportScene& model, const std::string& outputPath, OutputFiles& files,
                 Status status) {
  try {
    const GltfContainer container = GltfContainerOf(outputPath);
    if (container == GltfContainer::kNone) {
      return status.Fail(StatusCode::kBadOptions,
                         "the output " + outputPath + " must end in .gltf or .glb");
    }
    Writer(model, outputPath, container).Write(files, status);
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory while writing " + outputPath);
  } catch (const std::exception& e) {
    status.Fail(StatusCode::kWriteFailed, "cannot write " + outputPath + ": " + e.what());
  }
  return status;
}

Status WriteGltf(const Scene& scene, const ExportOptions& options, const std::string& outputPath) {
  Status status;
  try {
    if (GltfContainerOf(outputPath) == GltfContainer::kNone) {
      return status.Fail(StatusCode::kBadOptions,
                         "the output " + outputPath + " must end in .gltf or .glb");
    }
    ExportScene model;
    status = PrepareExport(scene, options, model);
    if (!status.ok()) return status;
    OutputFiles files;
    return WriteGltf(model, outputPath, files, std::move(status));
  } catch (const std::bad_alloc&) {
    return status.Fail(StatusCode::kOutOfMemory, "out of memory while writing " + outputPath);
  }
}

}  // namespace sceneio
