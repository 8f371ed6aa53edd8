// A conversion from its input to its output: which reader and which writer, and how the entries
// a scene came with combine with the names a person typed.
#include "sceneio/convert.h"

#include <stdlib.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>

#include "sceneio/file_kinds.h"
#include "sceneio/gltf.h"
#include "sceneio/writer.h"

namespace sceneio {
namespace {

// The mark of an entry that no typed pair stands for: one the scene came with.
constexpr size_t kCameWith = static_cast<size_t>(-1);

// The export's body materials: the entries first, then the typed pairs as tokens. `pairOf`
// gets, for each, the typed pair it comes from.
struct Dressing {
  std::vector<BodyMaterial> typed;  // the typed pairs as tokens, in order
  std::vector<size_t> pairOf;       // for each of `typed`, its place in options.materials
};

Dressing TypedTokens(const Scene& scene, const ConvertOptions& options) {
  // A name no token shows as stands for none of them, so the writers refuse it at the same
  // point, in the same order, as any other they cannot find.
  const std::string kNoToken = " ";  // tokens hold no whitespace
  Dressing dressing;
  for (size_t p = 0; p < options.materials.size(); ++p) {
    const auto& [body, material] = options.materials[p];
    const std::vector<std::string> materials = MaterialTokens(scene, material, options.names);
    const std::string& materialToken = materials.empty() ? kNoToken : materials.front();
    std::vector<std::string> bodies = BodyTokens(scene, body, options.names);
    if (bodies.empty()) bodies.push_back(kNoToken);
    for (std::string& token : bodies) {
      dressing.typed.push_back({std::move(token), materialToken});
      dressing.pairOf.push_back(p);
    }
  }
  return dressing;
}

// "bodyMaterials[I]: the scene has no body X" about a typed pair, in the words it was typed in.
void Reword(Status& status, const ConvertOptions& options, const std::vector<size_t>& pairOf) {
  size_t entry = 0;
  if (status.code != StatusCode::kBadOptions ||
      std::sscanf(status.message.c_str(), "bodyMaterials[%zu]", &entry) != 1 ||
      entry >= pairOf.size() || pairOf[entry] >= options.materials.size()) {
    return;
  }
  const auto& [body, material] = options.materials[pairOf[entry]];
  const bool lacksMaterial =
      status.message.find("]: the scene has no material ") != std::string::npos;
  status.message = "materials[" + std::to_string(pairOf[entry]) + "]: the scene has no " +
                   (lacksMaterial ? "material \"" + material + "\"" : "body \"" + body + "\"");
}

ExportOptions ExportOptionsOf(const ConvertOptions& options) {
  ExportOptions out;
  out.faces = options.faces;
  out.indexBase = options.indexBase;
  out.up = options.up;
  return out;
}

// The entries that name what the scene holds (the others left out, a warning each), then the
// typed pairs, which come later and so win.
Status Dress(const Scene& scene, std::vector<BodyMaterial> entries, Dressing& dressing,
             ExportOptions& out) {
  Status kept = KeepKnownBodyMaterials(scene, entries);
  if (!kept.ok()) return kept;
  for (BodyMaterial& entry : entries) {
    out.bodyMaterials.emplace_back(std::move(entry.body), std::move(entry.material));
  }
  for (BodyMaterial& typed : dressing.typed) {
    out.bodyMaterials.emplace_back(std::move(typed.body), std::move(typed.material));
  }
  dressing.pairOf.insert(dressing.pairOf.begin(), entries.size(), kCameWith);
  return kept;
}

// The entries carried as they are, each typed pair over them.
Status WriteFiveFiles(const Scene& scene, std::vector<BodyMaterial> entries,
                      const Dressing& dressing, const std::string& output) {
  Status status = CheckBodyMaterials(scene, dressing.typed);
  if (status.ok()) status = PutBodyMaterialsOver(entries, dressing.typed);
  if (!status.ok()) return status;
  // A scene is often written to a folder of its own: out/dork/dork.grp makes out/dork.
  return WriteScene(scene, output, {.bodyMaterials = std::move(entries), .createFolders = true});
}

// An imported scene's images live in memory; the export takes textures from the material
// file's folder, so they are put in a folder of their own for the length of the conversion.
bool StageImages(const std::vector<ImportedImage>& images, Scene& scene, std::string& folder) {
  if (images.empty()) return true;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/scene-convert-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return false;
  folder = pattern;
  for (const ImportedImage& image : images) {
    std::ofstream file(folder + "/" + image.fileName, std::ios::binary);
    file.write(reinterpret_cast<const char*>(image.bytes.data()),
               static_cast<std::streamsize>(image.bytes.size()));
    if (!file) return false;
  }
  scene.materialFile = std::make_unique<FileBuffer>();
  scene.materialFile->directory = folder + "/";
  return true;
}

Status Import(const std::string& path, ImportedScene& imported, std::string& imageFolder,
              std::vector<BodyMaterial>& entries) {
  Status status = ConvertInputOf(path) == ConvertInput::kGltf ? ImportGltf(path, imported)
                                                              : ImportObj(path, imported);
  if (!status.ok()) return status.Fail(status.code, path + ": " + status.message);
  imported.scene.objectFile = std::make_unique<FileBuffer>();
  imported.scene.objectFile->path = path;
  if (!StageImages(imported.images, imported.scene, imageFolder)) {
    return status.Fail(StatusCode::kWriteFailed,
                       "the imported images could not be staged for the export");
  }
  imported.images.clear();
  // The model's own assignments take the place of a group file's entries.
  for (auto& [body, material] : imported.bodyMaterials) {
    entries.push_back({std::move(body), std::move(material)});
  }
  return status;
}

}  // namespace

ConvertInput ConvertInputOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  std::string ending = dot == std::string::npos ? "" : path.substr(dot);
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ending == ".gltf" || ending == ".glb") return ConvertInput::kGltf;
  if (ending == ".obj") return ConvertInput::kObj;
  return ConvertInput::kGroup;
}

bool ConvertOutputOf(const std::string& path, ConvertOutput& kind) {
  const std::string_view name = std::string_view(path).substr(path.find_last_of('/') + 1);
  for (const ConvertEnding& row : kConvertEndings) {
    if (name.size() > row.ending.size() && name.ends_with(row.ending)) {
      kind = row.kind;
      return true;
    }
  }
  return false;
}

std::string ConvertEndingsText() {
  std::string text;
  for (const ConvertEnding& row : kConvertEndings) {
    if (!text.empty()) text += &row == std::end(kConvertEndings) - 1 ? " or " : ", ";
    text += row.ending;
  }
  return text;
}

ConvertSource::~ConvertSource() {
  std::error_code ignored;
  if (!imageFolder_.empty()) std::filesystem::remove_all(imageFolder_, ignored);
}

Status ReadConvertSource(const std::string& input, int32_t threads, ConvertSource& source) {
  Status status;
  try {
    if (const std::string path = NativePath(input); ConvertInputOf(path) != ConvertInput::kGroup) {
      return Import(path, source.read_, source.imageFolder_, source.bodyMaterials_);
    }
    Scene& scene = source.read_.scene;
    LoadOptions load;
    load.threads = threads;
    status = LoadScene(scene, input.c_str(), load);
    if (!status.ok()) return status.Fail(status.code, "the load failed: " + status.message);
    status = GroupBodyMaterials(scene, source.bodyMaterials_);
    // The records own copies of everything they hold: giving the files' bytes back keeps the
    // conversion's memory below the load's.
    for (const FileKind& kind : kFileKinds) {
      if (scene.*kind.file) (scene.*kind.file)->data.reset();
    }
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory reading " + input);
  }
  return status;
}

Status Convert(const Scene& scene, const std::vector<BodyMaterial>& entries,
               const std::string& output, const ConvertOptions& options) {
  Status status;
  try {
    ConvertOutput kind = ConvertOutput::kGlb;
    if (!ConvertOutputOf(output, kind)) {
      return status.Fail(StatusCode::kBadOptions,
                         "the output must end in " + ConvertEndingsText() + ": " + output);
    }
    Dressing dressing = TypedTokens(scene, options);
    if (kind == ConvertOutput::kScene) {
      status = WriteFiveFiles(scene, entries, dressing, output);
    } else {
      ExportOptions exportOptions = ExportOptionsOf(options);
      status = Dress(scene, entries, dressing, exportOptions);
      if (status.ok()) {
        status = (kind == ConvertOutput::kPng
                      ? WritePicture(scene, exportOptions, options.width, options.height, output)
                      : WriteGltf(scene, exportOptions, output))
                     .After(status);
      }
    }
    Reword(status, options, dressing.pairOf);
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory converting the scene");
  }
  return status;
}

Status Convert(const ConvertSource& source, const std::string& output,
               const ConvertOptions& options) {
  return Convert(source.scene(), source.bodyMaterials(), output, options);
}

Status Convert(const std::string& input, const std::string& output, const ConvertOptions& options) {
  ConvertSource source;
  Status read = ReadConvertSource(input, options.threads, source);
  if (!read.ok()) return read;
  return Convert(source, output, options).After(read);
}

Status RenderConverted(const Scene& scene, const std::vector<BodyMaterial>& entries,
                       const ConvertOptions& options, Picture& picture) {
  Status status;
  try {
    Dressing dressing = TypedTokens(scene, options);
    ExportOptions exportOptions = ExportOptionsOf(options);
    status = Dress(scene, entries, dressing, exportOptions);
    ExportScene model;
    if (status.ok()) status = PrepareExport(scene, exportOptions, model).After(status);
    if (status.ok()) {
      status = RenderScene(model, options.width, options.height, picture).After(status);
    }
    Reword(status, options, dressing.pairOf);
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory drawing the scene");
  }
  return status;
}

}  // namespace sceneio
