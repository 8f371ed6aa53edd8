// Builds the inspector's human summary: a table of the five files, then one table per collection.
#include <algorithm>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "io/names.h"
#include "scene/load_stop.h"
#include "sceneio/body_materials.h"
#include "sceneio/dump.h"
#include "sceneio/file_kinds.h"

namespace sceneio {
namespace {

// Rows of cells printed in columns two spaces apart; numeric columns are right-aligned.
class Table {
 public:
  explicit Table(std::vector<bool> rightAligned) : rightAligned_(std::move(rightAligned)) {}

  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }

  void AppendTo(std::string& out, std::string_view indent) const {
    std::vector<size_t> widths(rightAligned_.size(), 0);
    for (const auto& row : rows_) {
      for (size_t c = 0; c < row.size() && c < widths.size(); ++c) {
        widths[c] = std::max(widths[c], row[c].size());
      }
    }
    for (const auto& row : rows_) {
      std::string line(indent);
      for (size_t c = 0; c < row.size() && c < widths.size(); ++c) {
        if (c > 0) line.append(2, ' ');
        const size_t pad = widths[c] - row[c].size();
        if (rightAligned_[c]) line.append(pad, ' ');
        line.append(row[c]);
        if (!rightAligned_[c]) line.append(pad, ' ');
      }
      // Left-aligned last columns would leave trailing blanks.
      line.erase(line.find_last_not_of(' ') + 1);
      out.append(line).push_back('\n');
    }
  }

 private:
  std::vector<bool> rightAligned_;
  std::vector<std::vector<std::string>> rows_;
};

// Names are arbitrary bytes, shown with \xNN for what is not printable ASCII so that a name
// cannot garble the terminal or the columns.
std::string Printable(std::string_view bytes) {
  return bytes.empty() ? "(empty)" : ShownBytes(bytes);
}

// An array that was never stored shows as "-", apart from a stored empty one ("0").
template <typename T>
std::string CountOf(const CountedArray<T>& array) {
  return array.items ? std::to_string(array.count) : "-";
}

template <typename T>
std::string CollectionCount(const CountedArray<T>& records) {
  return records.items ? std::to_string(records.count) : "none stored";
}

void AppendFiles(std::string& out, const Scene& scene, int32_t result) {
  Table table({false, false, true, false});
  table.Add({"file", "path", "size", ""});
  for (const FileKind& kind : kFileKinds) {
    const std::string name(kind.name);
    const FileBuffer* file = (scene.*kind.file).get();
    if (file == nullptr) {
      table.Add({name, "-", "-", "not reached"});
    } else if (file->data == nullptr) {
      table.Add({name, file->path.empty() ? "-" : Printable(file->path), "-",
                 "not read: the load stopped here"});
    } else {
      table.Add({name, Printable(file->path), std::to_string(file->size) + " bytes", ""});
    }
  }
  out.append("load result: ").append(std::to_string(result));
  if (result == 0) {
    out.append(" (all five files read)\n");
  } else {
    out.append(" (").append(LoadStopReason(scene)).append(")\n");
  }
  out.push_back('\n');
  table.AppendTo(out, "");
}

template <typename T>
void AppendNames(std::string& out, const char* title, const CountedArray<T>& records) {
  out.append("\n").append(title).append(": ").append(CollectionCount(records)).append("\n");
  if (records.items == nullptr || records.count <= 0) return;
  Table table({true, false});
  table.Add({"#", "name"});
  for (int32_t i = 0; i < records.count; ++i) {
    table.Add({std::to_string(i), Printable(records.items[i].name)});
  }
  table.AppendTo(out, "  ");
}

// The material each body wears by the group file's entries: the last entry for it whose body
// and material the scene holds, as the export takes them. Empty when the file has no entries.
std::vector<std::string> WornMaterials(const Scene& scene) {
  std::vector<BodyMaterial> entries;
  if (!GroupBodyMaterials(scene, entries).ok() || entries.empty()) return {};
  if (!KeepKnownBodyMaterials(scene, entries).ok()) throw std::bad_alloc();
  std::vector<std::string> worn(static_cast<size_t>(scene.objects.count));
  for (const BodyMaterial& entry : entries) {
    for (int32_t b = 0; b < scene.objects.count; ++b) {
      if (scene.objects.items[b].name == entry.body) worn[b] = Printable(entry.material);
    }
  }
  return worn;
}

void AppendBodies(std::string& out, const Scene& scene) {
  const CountedArray<Body>& bodies = scene.objects;
  out.append("\nobjects: ").append(CollectionCount(bodies)).append("\n");
  if (bodies.items == nullptr || bodies.count <= 0) return;
  // The material column only for a group file with body-material entries.
  const std::vector<std::string> worn = WornMaterials(scene);
  Table table({true, false, true, true, true, true, true, false});
  std::vector<std::string> header = {"#", "name", "vertices", "normals", "uvs", "faces", "indices"};
  if (!worn.empty()) header.push_back("material");
  table.Add(std::move(header));
  bool anyAbsent = false;
  for (int32_t i = 0; i < bodies.count; ++i) {
    const Body& body = bodies.items[i];
    std::vector<std::string> row = {std::to_string(i),
                                    Printable(body.name),
                                    CountOf(body.vertices),
                                    CountOf(body.normals),
                                    CountOf(body.uvs),
                                    CountOf(body.faces),
                                    CountOf(body.faceParts.indices)};
    anyAbsent = anyAbsent || std::find(row.begin() + 2, row.end(), "-") != row.end();
    if (!worn.empty()) row.push_back(worn[static_cast<size_t>(i)]);
    table.Add(std::move(row));
  }
  table.AppendTo(out, "  ");
  if (anyAbsent) out.append("  (- : the body has no such section)\n");
}

}  // namespace

std::string SceneSummary(const Scene& scene, int32_t result) {
  std::string out;
  AppendFiles(out, scene, result);
  AppendNames(out, "lights", scene.lights);
  AppendNames(out, "camera", scene.camera);
  AppendNames(out, "materials", scene.materials);
  AppendBodies(out, scene);
  return out;
}

Status WriteSceneSummary(const Scene& scene, int32_t result, std::FILE* out) {
  Status status;
  try {
    const std::string text = SceneSummary(scene, result);
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0) {
      status.Fail(StatusCode::kWriteFailed, "the summary could not be written");
    }
  } catch (const std::bad_alloc&) {
    status.Fail(StatusCode::kOutOfMemory, "out of memory making the summary");
  }
  return status;
}

}  // namespace sceneio
