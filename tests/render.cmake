# scene-convert's own picture against three.js drawing the .glb of the same scene in headless
# Chromium, at the same size: their silhouettes must overlap (intersection over union >= 0.95).
# Both pictures and their difference stay in build-test/node-checks/<test>/. Skips as the other
# node checks do (tests/node.cmake), and fails instead in CI.
if(NOT TARGET scene-convert OR NOT COMMAND sceneio_node_test)
  return()
endif()

# The colour scene-convert clears its pictures to, read from the one place that sets it.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/render/render.h background_line
     REGEX "kBackground = {[0-9, ]+}")
string(REGEX MATCH "{([0-9, ]+)}" background_line "${background_line}")
string(REPLACE " " "" SCENEIO_PICTURE_BACKGROUND "${CMAKE_MATCH_1}")
if(NOT SCENEIO_PICTURE_BACKGROUND MATCHES "^[0-9]+,[0-9]+,[0-9]+$")
  message(FATAL_ERROR "no kBackground = {R, G, B} in src/render/render.h")
endif()

function(sceneio_silhouette_check name)
  sceneio_node_test(${name} BROWSER ${ARGN}
    ARGS ${SCENEIO_NODE_DIR}/silhouette.mjs --convert $<TARGET_FILE:scene-convert>
         --dir ${SCENEIO_NODE_OUT}/${name} --width 640 --height 480
         --background ${SCENEIO_PICTURE_BACKGROUND} ${SCENE_ARGS})
endfunction()

set(SCENE_ARGS --sample ${PROJECT_SOURCE_DIR}/examples)
sceneio_silhouette_check(render_silhouette_sample)
# Tori and spheres of a few thousand triangles, with normals from the file; and without them,
# lit by each face's own normal.
set(SCENE_ARGS --make-scene ${PROJECT_SOURCE_DIR}/bench/make-scene
    --make-arg --triangles --make-arg 4000 --make-arg --bodies --make-arg 6)
sceneio_silhouette_check(render_silhouette_generated PYTHON)
set(SCENE_ARGS --make-scene ${PROJECT_SOURCE_DIR}/bench/make-scene
    --make-arg --triangles --make-arg 3000 --make-arg --bodies --make-arg 4
    --make-arg --seed --make-arg 7 --make-arg --no-normals)
sceneio_silhouette_check(render_silhouette_generated_no_normals PYTHON)
# The near plane through the cube: both must cut its sides there, not drop or stretch them.
set(SCENE_ARGS --sample ${PROJECT_SOURCE_DIR}/examples
    --camera ${CMAKE_CURRENT_LIST_DIR}/render/near_cut.cam)
sceneio_silhouette_check(render_silhouette_near_plane_cut)
