// Test helpers: file buffers made from bytes, and scenes written into a temporary directory.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "sceneio/file_buffer.h"

namespace sceneio::testing {

// An exact-size heap copy with no terminator, so AddressSanitizer flags a read one byte over.
inline FileBuffer BufferOf(std::string_view bytes) {
  FileBuffer file;
  file.data.reset(new char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(file.data.get(), bytes.data(), bytes.size());
  file.size = static_cast<int32_t>(bytes.size());
  return file;
}

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sceneio-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& root() const { return root_; }

  // Writes `bytes` to `relative` (slash-separated), creating directories on the way.
  std::filesystem::path Write(const std::string& relative, std::string_view bytes) const {
    const std::filesystem::path file = root_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  // The group path as the loader takes it: this directory, then dork\dork.grp.
  std::string GroupPath(const std::string& name = "dork.grp") const {
    return root_.string() + "/dork\\" + name;
  }

 private:
  std::filesystem::path root_;
};

// The sample scene shipped in examples/dork, as its group path.
inline std::string SampleGroupPath() {
  return std::string(SCENEIO_SOURCE_DIR) + "/examples/dork\\dork.grp";
}

// The sample scene copied into `dir`, its data files renamed s.lgt, s.cam, s.gmf and s.gof and
// named so by dork/dork.grp: a test then replaces or removes one of them.
inline constexpr const char* kSampleCopyGroup =
    "include \"s.lgt\"\ninclude \"s.cam\"\ninclude \"s.gmf\"\ninclude \"s.gof\"\n";
inline void WriteSampleCopy(const TempDir& dir) {
  dir.Write("dork/dork.grp", kSampleCopyGroup);
  const std::filesystem::path sample = std::filesystem::path(SCENEIO_SOURCE_DIR) / "examples/dork";
  for (const char* kind : {"lgt", "cam", "gmf", "gof"}) {
    std::filesystem::copy_file(sample / (std::string("dork.") + kind),
                               dir.root() / "dork" / (std::string("s.") + kind));
  }
}

}  // namespace sceneio::testing
