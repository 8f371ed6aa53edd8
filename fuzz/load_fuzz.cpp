// The whole load over five files written to a temporary directory. The input is the group file
// and the four data files (s.lgt, s.cam, s.gmf, s.gof) separated by the byte 0x1F; a data file
// whose part is missing is not written at all.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "checking_observer.h"
#include "fuzz_check.h"
#include "scene_checks.h"
#include "sceneio/body.h"
#include "sceneio/scene.h"

namespace {

using namespace sceneio;

constexpr char kSeparator = '\x1f';
constexpr const char* kDataNames[] = {"s.lgt", "s.cam", "s.gmf", "s.gof"};

std::string root;  // <temp>/sceneio-fuzz-XXXXXX; the scene lives in its dork/ folder

void RemoveScene() {
  for (const char* name : {"dork.grp", "s.lgt", "s.cam", "s.gmf", "s.gof"}) {
    unlink((root + "/dork/" + name).c_str());
  }
  rmdir((root + "/dork").c_str());
  rmdir(root.c_str());
}

void Write(const char* name, std::string_view bytes) {
  std::ofstream out(root + "/dork/" + name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

// A collection the observed load filled must be exactly what its parser alone makes of the same
// bytes, unobserved.
template <typename T>
void CheckParsedAlone(const FileBuffer& file, const CountedArray<T>& loaded,
                      int32_t (*parse)(const FileBuffer&, CountedArray<T>&)) {
  CountedArray<T> alone;
  parse(file, alone);
  FUZZ_CHECK(fuzz::Flatten(loaded) == fuzz::Flatten(alone));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/sceneio-fuzz-XXXXXX";
  FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
  root = pattern;
  FUZZ_CHECK(mkdir((root + "/dork").c_str(), 0700) == 0);
  std::atexit(RemoveScene);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view parts[5];
  bool present[5] = {};
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (int i = 0; i < 5; ++i) {
    const size_t cut = i == 4 ? std::string_view::npos : rest.find(kSeparator);
    parts[i] = rest.substr(0, cut);
    present[i] = true;
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  // Names from the group file are joined to the scene's folder; ".." could leave it.
  if (parts[0].find("..") != std::string_view::npos) return -1;

  Write("dork.grp", parts[0]);
  for (int i = 0; i < 4; ++i) {
    if (present[i + 1]) {
      Write(kDataNames[i], parts[i + 1]);
    } else {
      unlink((root + "/dork/" + kDataNames[i]).c_str());
    }
  }

  Scene scene;
  fuzz::CheckingObserver observer;
  const int32_t result = scene.Load((root + "/dork\\dork.grp").c_str(), &observer);
  FUZZ_CHECK(result == 0 || result == -1);
  FUZZ_CHECK(scene.groupFile != nullptr && scene.groupFile->data != nullptr);
  FUZZ_CHECK(scene.groupFile->size == static_cast<int32_t>(parts[0].size()));

  // Kinds in load order. Each one before the first unread file is read and parsed; that one is
  // held without data; the later ones are never touched.
  const FileBuffer* buffers[] = {scene.lightFile.get(), scene.cameraFile.get(),
                                 scene.materialFile.get(), scene.objectFile.get()};
  const bool filled[] = {scene.lights.items != nullptr || scene.lights.count != 0,
                         scene.camera.items != nullptr || scene.camera.count != 0,
                         scene.materials.items != nullptr || scene.materials.count != 0,
                         scene.objects.items != nullptr || scene.objects.count != 0};
  int firstUnread = 4;
  for (int k = 0; k < 4; ++k) {
    if (buffers[k] == nullptr || buffers[k]->data == nullptr) {
      firstUnread = k;
      break;
    }
  }
  FUZZ_CHECK(result == (firstUnread == 4 ? 0 : -1));
  for (int k = 0; k < 4; ++k) {
    if (k < firstUnread) continue;
    if (k == firstUnread) {
      FUZZ_CHECK(buffers[k] != nullptr && buffers[k]->size == 0);
    } else {
      FUZZ_CHECK(buffers[k] == nullptr);
    }
    FUZZ_CHECK(!filled[k]);
  }

  if (firstUnread > 0) {
    fuzz::CheckLights(*scene.lightFile, scene.lights);
    CheckParsedAlone(*scene.lightFile, scene.lights, ParseLights);
  }
  if (firstUnread > 1) {
    fuzz::CheckCamera(*scene.cameraFile, scene.camera);
    CheckParsedAlone(*scene.cameraFile, scene.camera, ParseCamera);
  }
  if (firstUnread > 2) {
    fuzz::CheckMaterials(*scene.materialFile, scene.materials);
    CheckParsedAlone(*scene.materialFile, scene.materials, ParseMaterials);
  }
  if (firstUnread > 3) {
    fuzz::CheckObjects(*scene.objectFile, scene.objects);
    CheckParsedAlone(*scene.objectFile, scene.objects, ParseObjects);
  }
  return 0;
}
