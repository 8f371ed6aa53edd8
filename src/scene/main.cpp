// scene-load: loads the fixed scene dork\dork.grp; says "error" when it cannot, exits 0.
#include <cstdio>

#include "sceneio/scene.h"

int main() {
  {
    sceneio::Scene scene;
    if (scene.Load("dork\\dork.grp") == -1) std::fputs("error\n\n", stdout);
  }
  return 0;
}
