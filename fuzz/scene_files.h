// The input format shared by the fuzz targets that load a whole scene: the group file and the
// four data files (s.lgt, s.cam, s.gmf, s.gof) separated by the byte 0x1F, written to a private
// temporary folder. A data file whose part is missing is not written at all; whatever follows a
// fifth separator is left to the target, which reads its own settings from it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"

namespace sceneio::fuzz {

class SceneFiles {
 public:
  static constexpr char kSeparator = '\x1f';

  // Makes <temp>/sceneio-fuzz-XXXXXX/dork; call once, from LLVMFuzzerInitialize.
  static void Create() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/sceneio-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    Root() = pattern;
    FUZZ_CHECK(mkdir((Root() + "/dork").c_str(), 0700) == 0);
    std::atexit(Remove);
  }

  // Writes the scene `input` holds; false when it must not be written (a group file with ".."
  // could name files outside the folder). `extra` receives what follows the fifth separator.
  static bool Write(std::string_view input, std::string_view& extra) {
    std::string_view parts[5];
    bool present[5] = {};
    extra = {};
    std::string_view rest = input;
    for (int i = 0; i < 5; ++i) {
      const size_t cut = rest.find(kSeparator);
      parts[i] = rest.substr(0, cut);
      present[i] = true;
      if (cut == std::string_view::npos) break;
      rest.remove_prefix(cut + 1);
      if (i == 4) extra = rest;
    }
    if (parts[0].find("..") != std::string_view::npos) return false;
    WriteFile("dork.grp", parts[0]);
    for (int i = 0; i < 4; ++i) {
      if (present[i + 1]) {
        WriteFile(kDataNames[i], parts[i + 1]);
      } else {
        unlink((Root() + "/dork/" + kDataNames[i]).c_str());
      }
    }
    return true;
  }

  // The group path as Scene::Load takes it.
  static std::string GroupPath() { return Root() + "/dork\\dork.grp"; }
  // A path in the folder for a target's own output.
  static std::string OutputPath(const char* name) { return Root() + "/" + name; }

 private:
  static constexpr const char* kDataNames[] = {"s.lgt", "s.cam", "s.gmf", "s.gof"};

  static std::string& Root() {
    static std::string root;
    return root;
  }

  static void WriteFile(const char* name, std::string_view bytes) {
    std::ofstream out(Root() + "/dork/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
  }

  // Everything a target may have left in the folder goes with it.
  static void Remove() {
    const std::string command = "rm -rf '" + Root() + "'";
    if (!Root().empty() && std::system(command.c_str()) != 0) return;
  }
};

}  // namespace sceneio::fuzz
