# Checks of scene-convert's glTF by real components (tests/node): the Khronos validator, and
# three.js in headless Chromium. Each skips when node, tests/node/node_modules (npm ci) or
# chromium is absent, unless SCENEIO_REQUIRE_NODE_TESTS=1 makes that a failure (CI).
set(SCENEIO_NODE_DIR ${CMAKE_CURRENT_LIST_DIR}/node)
set(SCENEIO_NODE_OUT ${CMAKE_BINARY_DIR}/node-checks)  # every generated file lands here

# sceneio_node_test(NAME [BROWSER] [PYTHON] [F3D] ARGS script args...)
function(sceneio_node_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "BROWSER;PYTHON;F3D" "" "ARGS")
  set(gate)
  if(arg_BROWSER)
    list(APPEND gate --browser)
  endif()
  if(arg_PYTHON)
    list(APPEND gate --python)
  endif()
  if(arg_F3D)
    list(APPEND gate --f3d)
  endif()
  add_test(NAME ${name} COMMAND sh ${SCENEIO_NODE_DIR}/gate.sh ${gate} -- node ${arg_ARGS})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS node)
  if(arg_BROWSER)
    # One software-rendering browser at a time: two would only starve each other of the cores.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK chromium)
  endif()
endfunction()

sceneio_node_test(node_harness_selftest BROWSER
  ARGS ${SCENEIO_NODE_DIR}/selftest.mjs ${SCENEIO_NODE_OUT}/harness_selftest)

if(NOT TARGET scene-convert)
  return()
endif()

# sceneio_node_convert_check(NAME OUTPUT (SAMPLE | SCENE DIR | MAKE args...) [CONVERT args...]):
# converts the sample scene, the one at DIR/dork/dork.grp or a bench/make-scene one to OUTPUT
# and validates it.
function(sceneio_node_convert_check name output)
  cmake_parse_arguments(PARSE_ARGV 2 arg "SAMPLE" "SCENE" "MAKE;CONVERT")
  set(args ${SCENEIO_NODE_DIR}/check.mjs validate --convert $<TARGET_FILE:scene-convert>
      --dir ${SCENEIO_NODE_OUT}/${name} --out ${output})
  if(arg_SAMPLE)
    list(APPEND args --sample ${PROJECT_SOURCE_DIR}/examples)
    set(python)
  elseif(arg_SCENE)
    list(APPEND args --sample ${arg_SCENE})
    set(python)
  else()
    list(APPEND args --make-scene ${PROJECT_SOURCE_DIR}/bench/make-scene)
    foreach(word ${arg_MAKE})
      list(APPEND args --make-arg ${word})
    endforeach()
    set(python PYTHON)
  endif()
  foreach(word ${arg_CONVERT})
    list(APPEND args --convert-arg ${word})
  endforeach()
  sceneio_node_test(${name} ${python} ARGS ${args})
endfunction()

sceneio_node_convert_check(node_validate_sample_glb sample.glb SAMPLE)
sceneio_node_convert_check(node_validate_sample_gltf sample.gltf SAMPLE)
# Five empty files: a scene of no nodes at all, which must still be a valid document.
sceneio_node_convert_check(node_validate_empty_scene empty.gltf SCENE ${SCENEIO_NODE_DIR}/empty)
# Small generated scenes: several bodies, with and without normals and uvs, and the options
# that change how a face's triples are read, written and converted the same way.
sceneio_node_convert_check(node_validate_generated_glb scene.glb
  MAKE --triangles 400 --bodies 3)
sceneio_node_convert_check(node_validate_generated_gltf scene.gltf
  MAKE --triangles 400 --bodies 5 --seed 2)
sceneio_node_convert_check(node_validate_generated_no_uvs scene.glb
  MAKE --triangles 300 --bodies 3 --no-uvs)
sceneio_node_convert_check(node_validate_generated_no_normals scene.gltf
  MAKE --triangles 300 --bodies 3 --no-normals)
sceneio_node_convert_check(node_validate_generated_no_normals_no_uvs scene.glb
  MAKE --triangles 300 --bodies 2 --no-normals --no-uvs)
sceneio_node_convert_check(node_validate_generated_index_base_1 scene.glb
  MAKE --triangles 300 --bodies 3 --index-base 1 CONVERT --index-base 1)
sceneio_node_convert_check(node_validate_generated_uv_first scene.gltf
  MAKE --triangles 300 --bodies 3 --faces uv,position,normal
  CONVERT --faces uv,position,normal)
sceneio_node_convert_check(node_validate_generated_uv_first_index_base_1 scene.glb
  MAKE --triangles 300 --bodies 4 --faces normal,uv,position --index-base 1
  CONVERT --faces normal,uv,position --index-base 1)

# The sample seen by three.js: the same meshes, materials, lights and cameras as the file holds,
# and geometry in the picture (kept as build-test/node-checks/node_render_sample/sample-chromium.png).
sceneio_node_test(node_render_sample BROWSER
  ARGS ${SCENEIO_NODE_DIR}/check.mjs render --convert $<TARGET_FILE:scene-convert>
       --dir ${SCENEIO_NODE_OUT}/node_render_sample --out sample.glb
       --sample ${PROJECT_SOURCE_DIR}/examples --width 800 --height 600)

# A model glTF-Transform wrote, imported and written again: valid, the same triangles, bounds
# and materials, and the same silhouette as three.js draws the original.
sceneio_node_test(node_import_gltf_transform BROWSER
  ARGS ${SCENEIO_NODE_DIR}/import.mjs --convert $<TARGET_FILE:scene-convert>
       --dir ${SCENEIO_NODE_OUT}/import_gltf_transform)
