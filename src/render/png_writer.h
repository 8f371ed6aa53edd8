// PNG encoding of a picture, through libspng: the same picture always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/export_model.h"
#include "render/render.h"
#include "scene/scene.h"

namespace sceneio {

// The whole PNG file in `png`; false, with `error`, when the picture is malformed or the
// encoder fails.
bool EncodePng(const Picture& picture, std::vector<uint8_t>& png, std::string& error);

// Encodes `picture` and puts it at `path`: written beside it first and renamed over it, so a
// failure leaves no file behind and an existing file untouched. false, with `error`, on failure.
bool WritePngFile(const Picture& picture, const std::string& path, std::string& error);

// Maps `scene` under `options` as the glTF export does (PrepareExport), draws it at width x
// height and writes the PNG to `path` the same way. The note that the view was made up is in
// the result's notes. Throws nothing.
ExportResult WritePicture(const Scene& scene, const ExportOptions& options, int32_t width,
                          int32_t height, const std::string& path);

}  // namespace sceneio
