// What the glTF and OBJ importers share: the rule for names, the folder a model may read
// from, image headers, and handing finished bodies to the Scene.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "sceneio/block.h"
#include "sceneio/body.h"
#include "sceneio/import.h"
#include "sceneio/status.h"

namespace sceneio::import {

// A name as one line of a message can show it: quoted, bytes outside printable ASCII as \xNN.
std::string Shown(std::string_view raw);

// Names handed out for one kind of record. Each is made a single token the scene files can
// carry inside double quotes (whitespace, control bytes and quotes become '_'), never the
// bare keyword GL_Shade, and unique within this Namer ("_2", "_3" appended); a changed name
// gets a warning saying so.
class Namer {
 public:
  // `kind` names the record in the warning ("body", "material"); `fallback` stands for an
  // empty name.
  std::string Take(std::string_view raw, std::string_view fallback, std::string_view kind,
                   Status& status);
  // For files beside the output: only letters, digits, '.', '-' and '_' survive.
  std::string TakeFileName(std::string_view raw, std::string_view fallback,
                           std::string_view extension, Status& status);

 private:
  std::string Unique(std::string name);
  std::unordered_set<std::string> used_;
};

std::string Quoted(const std::string& name);

enum class ReadResult : uint8_t {
  kRead,
  kRefused,     // the name breaks the folder rules: the import stops
  kUnreadable,  // inside the folder, but not there, or not a regular file
};

// The folder an input file sits in: every file the input names is read from inside it only.
class InputFolder {
 public:
  // "" is a folder from which nothing can be read (inputs held in memory).
  explicit InputFolder(const std::string& folder);

  // Reads the file `name` (as the input names it, '/' or '\' separating folders) whole.
  // Refuses a name that is empty, absolute, holds a ".." part, or leads out through a link;
  // `why` then says which (and for a file that is not there or not a regular file).
  ReadResult Read(std::string_view name, std::vector<unsigned char>& bytes, std::string& why) const;

 private:
  std::string real_;  // the folder with every link resolved; empty when none
};

// The folder part of a native path ("." when it has none).
std::string FolderOf(const std::string& path);

// Opens a file the user named (not one the input names) for reading: a descriptor the caller
// closes (and its size in `size` when given), or -1 with `why` when it cannot be opened or is
// not a regular file.
int OpenRegularFile(const std::string& path, std::string& why, size_t* size = nullptr);

// Reads a whole file the user named.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& why);

// The same into memory that is not zeroed first (a large file in a block of its own, as the
// scene's files are read): kOk, or kLoadFailed or kOutOfMemory with `why`.
StatusCode ReadWholeFile(const std::string& path, BlockPtr<char>& bytes, size_t& size,
                         std::string& why);

struct ImageInfo {
  const char* extension = "";  // ".png" or ".jpg"
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;
  int32_t bitsPerChannel = 0;
};

enum class ImageKind : uint8_t { kPng, kJpeg, kOther };
ImageKind KindOf(const unsigned char* bytes, size_t size);

// Reads only the header of a PNG or JPEG: no pixel is decoded.
bool ProbeImage(const unsigned char* bytes, size_t size, ImageInfo& info, std::string& why);

// Moves finished bodies into the scene's object collection, in order.
bool StoreBodies(std::vector<Body>& bodies, Scene& scene);

// A warning when the scene has more bodies than some readers of the format take.
void WarnBodyCount(size_t bodies, Status& status);

}  // namespace sceneio::import
