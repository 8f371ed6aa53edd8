// Test helper: a scene of names only, for tests of what body-material entries match.
#pragma once

#include "sceneio/scene.h"

namespace sceneio::testing {

// Bodies "cube", ball and "cube" again (two bodies may share a name), materials "brick" and
// glass: quoted and bare tokens both. False when the records could not be made.
inline bool NameBodiesAndMaterials(Scene& scene) {
  if (!scene.objects.Allocate(3) || !scene.materials.Allocate(2)) return false;
  scene.objects.items[0].name = "\"cube\"";
  scene.objects.items[1].name = "ball";
  scene.objects.items[2].name = "\"cube\"";
  scene.materials.items[0].name = "\"brick\"";
  scene.materials.items[1].name = "glass";
  return true;
}

}  // namespace sceneio::testing
