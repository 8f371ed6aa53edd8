// Any loadable scene, prepared for export and drawn small. Input: the five files as in
// scene_files.h; after a fifth separator, one byte for the face roles and index base and two for
// the picture's sides. The picture must be exactly width x height pixels and drawing it must
// write nothing outside it: the pixel and depth buffers are exact-size heap blocks, so
// AddressSanitizer (or valgrind, in the replay build) stops any write past either end.
#include <array>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "render/raster.h"
#include "render/render.h"
#include "scene_files.h"
#include "sceneio/export.h"
#include "sceneio/scene.h"

namespace {

using namespace sceneio;

// Every assignment of roles to the three triples that has exactly one position.
constexpr std::array<TripleRole, 3> kRoles[] = {
    {TripleRole::kPosition, TripleRole::kNormal, TripleRole::kUv},
    {TripleRole::kPosition, TripleRole::kUv, TripleRole::kNormal},
    {TripleRole::kNormal, TripleRole::kPosition, TripleRole::kUv},
    {TripleRole::kUv, TripleRole::kNone, TripleRole::kPosition},
    {TripleRole::kPosition, TripleRole::kNone, TripleRole::kNone},
    {TripleRole::kNone, TripleRole::kPosition, TripleRole::kNormal},
};

// Sides from kMinPictureSide up, small enough that a run draws thousands of scenes.
int32_t Side(std::string_view extra, size_t at, int32_t fallback) {
  if (extra.size() <= at) return fallback;
  return kMinPictureSide + static_cast<unsigned char>(extra[at]) % 49;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SceneFiles::Create();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view extra;
  if (!fuzz::SceneFiles::Write({reinterpret_cast<const char*>(data), size}, extra)) return -1;
  Scene scene;
  if (scene.Load(fuzz::SceneFiles::GroupPath().c_str()) != 0) return 0;

  ExportOptions options;
  if (!extra.empty()) {
    const auto choice = static_cast<unsigned char>(extra[0]);
    options.faces = kRoles[(choice >> 1) % std::size(kRoles)];
    options.indexBase = choice & 1;
  }
  ExportScene prepared;
  const Status result = PrepareExport(scene, options, prepared);
  if (!result.ok()) {
    FUZZ_CHECK(!result.message.empty());
    return 0;
  }

  const int32_t width = Side(extra, 1, 32);
  const int32_t height = Side(extra, 2, 24);
  Picture picture;
  const Status drawn = RenderScene(prepared, width, height, picture);
  FUZZ_CHECK(drawn.ok());
  FUZZ_CHECK(picture.width == width && picture.height == height);
  FUZZ_CHECK(picture.rgb.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 3);

  // The same scene again: a second drawing that differed would have read something unset.
  Picture again;
  const Status drawnAgain = RenderScene(prepared, width, height, again);
  FUZZ_CHECK(drawnAgain.ok());
  FUZZ_CHECK(again.rgb == picture.rgb);
  FUZZ_CHECK(drawnAgain.notes == drawn.notes);
  return 0;
}
