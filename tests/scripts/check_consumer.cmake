# Installs the built project into a fresh prefix, builds tests/consumer against the installed
# package the way another project would, and runs it on the sample scene.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed with ${status}: ${ARGN}\n${out}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The installed headers are the public API, every one of them and nothing more.
file(GLOB_RECURSE installed RELATIVE ${prefix}/include ${prefix}/include/*)
file(GLOB_RECURSE public RELATIVE ${PUBLIC_HEADERS_DIR} ${PUBLIC_HEADERS_DIR}/*.h)
list(SORT installed)
list(SORT public)
if(NOT installed STREQUAL public OR NOT public)
  message(FATAL_ERROR "installed headers: ${installed}\npublic headers: ${public}")
endif()

# Same compiler and build type as this tree; no package registry, so only the fresh prefix
# can satisfy find_package.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)

file(STRINGS ${WORK_DIR}/build/CMakeCache.txt found REGEX "^sceneio_DIR:")
if(NOT found MATCHES "=${prefix}/")
  message(FATAL_ERROR "the consumer found another sceneio: ${found}")
endif()

set(cases
  "dork\\dork.grp|0|result 0 lights 2 cameras 1 materials 2 objects 2 vertices 13 faces 18 meshes 2\n"
  "dork\\missing.grp|1|result -1 lights 0 cameras 0 materials 0 objects 0 vertices 0 faces 0 meshes 0\n")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 group)
  list(GET fields 1 wantStatus)
  list(GET fields 2 want)
  execute_process(COMMAND ${WORK_DIR}/build/scene-counts ${group}
                  WORKING_DIRECTORY ${EXAMPLES_DIR}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL wantStatus OR NOT out STREQUAL want)
    message(FATAL_ERROR "scene-counts ${group}: exit ${status}, printed\n${out}${err}"
                        "expected exit ${wantStatus} and\n${want}")
  endif()
endforeach()
execute_process(COMMAND ${WORK_DIR}/build/scene-picture
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT out STREQUAL "png 16x12 encoded\n")
  message(FATAL_ERROR "scene-picture: exit ${status}, printed\n${out}${err}")
endif()
message("consumer built against ${prefix}, loaded the sample scene and drew a picture")
