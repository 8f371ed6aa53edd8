// Texture files named by a scene: which of them a writer may read, however the name is made.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sceneio {

struct TextureCheck {
  std::string path;  // resolved, when usable
  std::string mime;  // "image/png" or "image/jpeg", when usable
  std::string why;   // when not
};

// A texture name comes from the scene, which may come from anyone: only a regular PNG or JPEG
// file inside the material file's folder (`materialDirectory`, as the scene's paths hold it)
// qualifies: no absolute name, no ".." component, no link leading out.
TextureCheck CheckTexture(const std::string& materialDirectory, std::string_view name);

}  // namespace sceneio
