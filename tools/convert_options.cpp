// Parses scene-convert's arguments with CLI11 into ConvertOptions, and words library messages as
// flags.
#include "convert_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "sceneio/picture.h"

namespace sceneio {
namespace {

class ConvertApp {
 public:
  explicit ConvertApp(ConvertCommandLine& parsed) : parsed_(parsed) {
    app_.footer(
        "GROUP is read as scene-inspect reads it: / and \\ both separate directories. OUTPUT\n"
        "ends in " +
        ConvertEndingsText() +
        ": a .gltf gets its .bin and textures beside it; a .png is a picture of\n"
        "the scene drawn from its camera (or framing all geometry when it has none); a .grp is\n"
        "the scene written again as a group file and its four data files (and textures) beside\n"
        "it, with GROUP's body-material entries and any --material.\n\n"
        "GROUP may instead be a model to bring in: a glTF 2.0 .gltf (with its buffers) or .glb,\n"
        "or an OBJ .obj (with its .mtl). Each triangle primitive of each node instance becomes a\n"
        "body in world space, each OBJ object, group and material run one; materials, the base\n"
        "colour texture, directional lights and the first perspective camera come along; files\n"
        "are read only from the model's own folder. Written as a .grp, each body's material\n"
        "becomes a body-material entry and the textures are written beside it as they came, so\n"
        "the scene converts back with no options. The README says what each mapping does.\n\n"
        "Exit status: 0 when OUTPUT was written, 1 when the load failed, the model was refused or\n"
        "the scene cannot be converted, 2 for a usage error. Nothing is left at OUTPUT unless it\n"
        "was written.");
    app_.add_option("--faces", faces_,
                    "which array each of a face's three triples indexes: three of position, "
                    "normal, uv, none (default position,normal,uv)")
        ->type_name("ORDER");
    app_.add_option("--index-base", indexBase_,
                    "the index in the file of each array's first element (default 0)")
        ->type_name("0|1");
    app_.add_option("--material", materials_,
                    "the material of a body's triangles, both named as scene-inspect shows them; "
                    "over GROUP's body-material entries (repeatable)")
        ->type_name("BODY=MATERIAL");
    app_.add_option("--size", size_,
                    "the picture's width and height in pixels, each 16 to 8192 "
                    "(default 800x600; for a .png OUTPUT)")
        ->type_name("WxH");
    app_.add_option("--up", up_,
                    "the scene's up axis: with z, the scene is turned so that +Z becomes glTF's "
                    "+Y (default y; for .gltf, .glb and .png OUTPUT)")
        ->type_name("y|z");
    app_.add_option("--threads", parsed_.options.threads,
                    "how many threads load the scene (default: one per core); the load is the "
                    "same with any number")
        ->type_name("N")
        ->check(CLI::Range(1, 1024));
    app_.set_version_flag("--version", std::string(SCENEIO_VERSION), "the program's version");
    app_.add_option("GROUP", group_, "the scene's group file")->required()->type_name("");
    app_.add_option("OUTPUT", output_, "the file to write")->required()->type_name("");
  }

  std::string Help() const { return app_.help(); }

  void Parse(int argc, const char* const* argv) {
    app_.parse(argc, argv);
    if (group_.empty()) Fault("the group file path is empty");
    parsed_.groupPath = group_;
    std::replace(parsed_.groupPath.begin(), parsed_.groupPath.end(), '/', '\\');
    if (ConvertOutput kind; !ConvertOutputOf(output_, kind)) {
      Fault("OUTPUT must end in " + ConvertEndingsText() + ": " + output_);
    }
    parsed_.outputPath = output_;
    const std::string facesError = ParseFaceRoles(faces_, parsed_.options.faces);
    if (!facesError.empty()) Fault("--faces " + faces_ + ": " + facesError);
    if (indexBase_ != "0" && indexBase_ != "1") Fault("--index-base must be 0 or 1: " + indexBase_);
    parsed_.options.indexBase = indexBase_ == "1" ? 1 : 0;
    if (!ParsePictureSize(size_, parsed_.options.width, parsed_.options.height)) {
      Fault("--size must be WIDTHxHEIGHT, each from " + std::to_string(kMinPictureSide) + " to " +
            std::to_string(kMaxPictureSide) + ": " + size_);
    }
    if (!up_.empty() && up_ != "y" && up_ != "z") Fault("--up must be y or z: " + up_);
    if (!up_.empty()) parsed_.options.up = up_ == "z" ? UpAxis::kZ : UpAxis::kY;
    for (const std::string& pair : materials_) {
      const size_t equals = pair.find('=');
      if (equals == std::string::npos || equals == 0 || equals + 1 == pair.size()) {
        Fault("--material " + pair + ": BODY=MATERIAL expected");
      }
      parsed_.options.materials.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
    }
  }

 private:
  [[noreturn]] static void Fault(const std::string& message) {
    throw CLI::ValidationError(message);
  }

  ConvertCommandLine& parsed_;
  CLI::App app_{
      "Writes the scene whose group file is GROUP as glTF 2.0, as a PNG picture or as its five "
      "files again.",
      "scene-convert"};
  std::string faces_ = "position,normal,uv";
  std::string indexBase_ = "0";
  std::string size_ = "800x600";
  std::string up_;  // empty: not given
  std::vector<std::string> materials_;
  std::string group_;
  std::string output_;
};

}  // namespace

ConvertCommandLine ParseConvertCommandLine(int argc, const char* const* argv) {
  ConvertCommandLine parsed;
  ConvertApp app(parsed);
  try {
    app.Parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    parsed.action = ConvertAction::kHelp;
  } catch (const CLI::CallForVersion&) {
    parsed.action = ConvertAction::kVersion;
  } catch (const CLI::ParseError& error) {
    parsed.action = ConvertAction::kUsageError;
    parsed.error = error.what();
  }
  return parsed;
}

std::string InFlags(const std::string& message, const ConvertCommandLine& command) {
  const ConvertOptions& options = command.options;
  size_t pair = 0;
  int end = 0;
  if (std::sscanf(message.c_str(), "materials[%zu]%n", &pair, &end) == 1 && end > 0 &&
      pair < options.materials.size() &&
      message.substr(static_cast<size_t>(end)).starts_with(": the scene has no ")) {
    const auto& [body, material] = options.materials[pair];
    return "--material " + body + "=" + material + message.substr(static_cast<size_t>(end));
  }
  const std::string base = std::to_string(options.indexBase);
  const std::string faces = FaceRolesText(options.faces);
  const std::string fields = "faces " + faces + ", indexBase " + base + ")";
  if (message.ends_with(fields)) {
    return message.substr(0, message.size() - fields.size()) + "--faces " + faces +
           " --index-base " + base + ")";
  }
  if (const size_t at = message.find(": up z turns"); at != std::string::npos) {
    return message.substr(0, at) + ": --up z" + message.substr(at + 6);
  }
  const std::string chooses = "bodyMaterials chooses";
  if (message.ends_with(chooses)) {
    return message.substr(0, message.size() - chooses.size()) + "--material BODY=MATERIAL chooses";
  }
  if (message.starts_with("faces ")) return "--" + message;
  if (message.starts_with("indexBase ")) return "--index-base " + message.substr(10);
  return message;
}

std::string ConvertUsage() {
  ConvertCommandLine unused;
  return ConvertApp(unused).Help();
}

std::string ConvertVersion() {
  return "scene-convert " + std::string(SCENEIO_VERSION) + "\n";
}

}  // namespace sceneio
