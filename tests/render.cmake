# scene-convert's own picture against three.js drawing the .glb of the same scene in headless
# Chromium, at the same size: their silhouettes must overlap (intersection over union >= 0.95),
# and over the pixels both cover their colours must agree (mean difference per channel <= 10 of
# 255, >= 90 % of the pixels within 24 on every channel). f3d, a desktop viewer drawing on a
# virtual display, must find the same silhouette too. The pictures and their difference stay in
# build-test/node-checks/<test>/. Skips as the other node checks do (tests/node.cmake), and
# fails instead in CI.
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

# sceneio_picture_check(NAME SCRIPT [BROWSER] [PYTHON] [F3D]) over the scene of ${SCENE_ARGS}.
function(sceneio_picture_check name script)
  sceneio_node_test(${name} ${ARGN}
    ARGS ${SCENEIO_NODE_DIR}/${script} --convert $<TARGET_FILE:scene-convert>
         --dir ${SCENEIO_NODE_OUT}/${name} --width 640 --height 480
         --background ${SCENEIO_PICTURE_BACKGROUND} ${SCENE_ARGS})
endfunction()
function(sceneio_silhouette_check name)
  sceneio_picture_check(${name} silhouette.mjs BROWSER ${ARGN})
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

# Colours. The sample with its brick texture and glass (until the sample names its bodies'
# materials itself).
set(SCENE_ARGS --sample ${PROJECT_SOURCE_DIR}/examples
    --convert-arg --material --convert-arg cube=brick
    --convert-arg --material --convert-arg pyramid=glass)
sceneio_picture_check(render_colour_sample colour.mjs BROWSER)
# The same with its brick texture as a JPEG (tests/render/brick.jpg: brick.png through TurboJPEG,
# quality 85, chroma halved both ways).
list(APPEND SCENE_ARGS --texture brick.png=${CMAKE_CURRENT_LIST_DIR}/render/brick.jpg)
sceneio_picture_check(render_colour_sample_jpeg colour.mjs BROWSER)
list(REMOVE_AT SCENE_ARGS -1 -2)
# The same sample in f3d: the silhouette of the file's camera view.
list(APPEND SCENE_ARGS --viewer f3d)
sceneio_picture_check(render_silhouette_f3d_sample silhouette.mjs F3D)
# One opaque torus under three coloured lights, seen from close by: highlights and fall-off.
set(SCENE_ARGS --make-scene ${PROJECT_SOURCE_DIR}/bench/make-scene
    --make-arg --bodies --make-arg 1 --make-arg --triangles --make-arg 8000
    --make-arg --materials --make-arg 1 --make-arg --seed --make-arg 2
    --camera ${CMAKE_CURRENT_LIST_DIR}/render/torus.cam)
sceneio_picture_check(render_colour_torus colour.mjs BROWSER PYTHON)
# Tori and spheres of four materials (two seen through, one emissive) and one body with none,
# which viewers draw in their default material.
set(SCENE_ARGS --make-scene ${PROJECT_SOURCE_DIR}/bench/make-scene
    --make-arg --bodies --make-arg 6 --make-arg --triangles --make-arg 12000
    --make-arg --materials --make-arg 4 --make-arg --seed --make-arg 3)
foreach(pair torus0=material0 sphere1=material1 torus2=material2 sphere3=material3
             torus4=material1)
  list(APPEND SCENE_ARGS --convert-arg --material --convert-arg ${pair})
endforeach()
sceneio_picture_check(render_colour_materials colour.mjs BROWSER PYTHON)
