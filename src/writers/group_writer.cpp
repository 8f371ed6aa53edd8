// Group file writer: the four include entries, then the body-material entries.
#include <string_view>

#include "writers/writers.h"

namespace sceneio {
namespace {

constexpr std::string_view kExtensions[] = {".lgt", ".cam", ".gmf", ".gof"};

}  // namespace

Status CheckGroup(const std::string& baseName, const WriteOptions& options) {
  Status status;
  // An include name is a quoted token appended to the group file's folder, and an entry serves
  // every kind whose extension it holds anywhere: "a.cam" + ".lgt" would serve the camera too.
  if (baseName.empty() || !IsOneToken(baseName) ||
      baseName.find_first_of("\"\\/") != std::string::npos) {
    return status.Fail(StatusCode::kBadOptions,
                       "the base name of the group file must be one or more characters without "
                       "whitespace, double quotes or backslashes, to be named in its include "
                       "entries");
  }
  for (std::string_view extension : kExtensions) {
    if (baseName.find(extension) != std::string::npos) {
      return status.Fail(StatusCode::kBadOptions,
                         "the base name of the group file holds \"" + std::string(extension) +
                             "\", so its include entries would name the wrong files");
    }
  }
  for (const BodyMaterial& entry : options.bodyMaterials) {
    if (!IsOneToken(entry.body) || !IsOneToken(entry.material)) {
      return status.Fail(StatusCode::kBadOptions,
                         "a body-material entry names an empty name, or one holding whitespace");
    }
  }
  return status;
}

// include "name.lgt"
// ...
// body-material "cube" "brick"
void WriteGroup(const std::string& baseName, const WriteOptions& options, TextOut& out) {
  for (std::string_view extension : kExtensions) {
    out << "include \"" << baseName << extension << "\"\n";
  }
  for (const BodyMaterial& entry : options.bodyMaterials) {
    out << "body-material " << entry.body << ' ' << entry.material << '\n';
  }
}

}  // namespace sceneio
