// The glTF writer's own entry: an export model written through output files the caller holds,
// so the files may go to disk or stay in memory.
#pragma once

#include <string>

#include "io/output_files.h"
#include "sceneio/export.h"
#include "sceneio/status.h"

namespace sceneio {

// Writes `model` as the glTF `outputPath` names (.gltf: the .bin and texture copies beside it,
// then the .gltf; .glb: one file) into `files`, and commits them. The result is `status` (what
// preparing the model said) with the writer's notes added, or its failure. Throws nothing.
Status WriteGltf(const ExportScene& model, const std::string& outputPath, OutputFiles& files,
                 Status status = {});

}  // namespace sceneio
