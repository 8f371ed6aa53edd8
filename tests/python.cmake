# The Python module's tests (pytest, python/tests) and the Blender add-on's (blender -b). Without
# the module (no pybind11, numpy or python3-dev), pytest or blender they skip, unless
# SCENEIO_REQUIRE_PYTHON_TESTS=1 or SCENEIO_REQUIRE_NODE_TESTS=1 (CI) makes that a failure.
set(SCENEIO_PYTHON_TESTS ${PROJECT_SOURCE_DIR}/python/tests)

# A test that reports `why` and skips, or fails when the Python tests are required.
function(sceneio_python_missing name why)
  add_test(NAME ${name} COMMAND sh -c
    "echo \"$1\"; if [ \"$SCENEIO_REQUIRE_PYTHON_TESTS\" = 1 ] || [ \"$SCENEIO_REQUIRE_NODE_TESTS\" = 1 ]; then echo 'FAILED: these tests are required here'; exit 1; fi; exit 77"
    sh "${why}")
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 LABELS python)
endfunction()

if(NOT TARGET sceneio_python)
  sceneio_python_missing(python_module "SKIPPED: the Python module is not built: ${SCENEIO_PYTHON_MISSING}")
  sceneio_python_missing(blender_addon "SKIPPED: the Python module is not built: ${SCENEIO_PYTHON_MISSING}")
  return()
endif()

# The module of a sanitized build needs the AddressSanitizer runtime loaded before Python starts.
set(SCENEIO_PYTHON_ENV
  PYTHONPATH=${PROJECT_BINARY_DIR}/python
  PYTHONDONTWRITEBYTECODE=1
  SCENEIO_SOURCE_DIR=${PROJECT_SOURCE_DIR}
  SCENEIO_CONFORMANCE_DIR=${PROJECT_SOURCE_DIR}/../shared/conformance
  SCENEIO_SCENE_INSPECT=$<TARGET_FILE:scene-inspect>
  SCENEIO_SCENE_CONVERT=$<TARGET_FILE:scene-convert>)
# The C++ runtime too: Python does not link it, and the sanitizer's interception of C++ throws
# must find it when it starts.
if(SCENEIO_SANITIZE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE asan OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so
                  OUTPUT_VARIABLE cxx OUTPUT_STRIP_TRAILING_WHITESPACE)
  # Python and Blender keep memory to the end by design: leaks are not looked for here. A small
  # quarantine keeps the memory test's figures about the module, not the sanitizer.
  list(APPEND SCENEIO_PYTHON_ENV "LD_PRELOAD=${asan} ${cxx}"
       ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=16)
endif()

execute_process(COMMAND ${Python3_EXECUTABLE} -c "import pytest"
                RESULT_VARIABLE no_pytest OUTPUT_QUIET ERROR_QUIET)
if(no_pytest)
  sceneio_python_missing(python_module "SKIPPED: ${Python3_EXECUTABLE} has no pytest (install python3-pytest)")
else()
  foreach(suite values views errors outputs authoring)
    add_test(NAME python_${suite}
      COMMAND ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider
              ${SCENEIO_PYTHON_TESTS}/test_${suite}.py)
    set_tests_properties(python_${suite} PROPERTIES
      ENVIRONMENT "${SCENEIO_PYTHON_ENV}" LABELS python TIMEOUT 900)
  endforeach()
endif()

# The add-on in Blender without a window: import the sample, check it, export it back and read
# the result with scene-inspect.
find_program(SCENEIO_BLENDER blender)
if(NOT SCENEIO_BLENDER)
  sceneio_python_missing(blender_addon "SKIPPED: blender is not installed")
else()
  # Blender's exit status says little (a script it cannot read still ends in 0): the test also
  # needs the script's closing line.
  add_test(NAME blender_addon
    COMMAND ${CMAKE_COMMAND}
      -DBLENDER=${SCENEIO_BLENDER} -DSCRIPT=${SCENEIO_PYTHON_TESTS}/blender_addon.py
      "-DARGS=${PROJECT_BINARY_DIR}/python;${PROJECT_SOURCE_DIR}/python;${PROJECT_SOURCE_DIR}/examples/dork/dork.grp;${CMAKE_CURRENT_BINARY_DIR}/blender-addon;$<TARGET_FILE:scene-inspect>"
      -P ${CMAKE_CURRENT_LIST_DIR}/scripts/run_blender.cmake)
  set_tests_properties(blender_addon PROPERTIES
    ENVIRONMENT "${SCENEIO_PYTHON_ENV}" LABELS python TIMEOUT 600)
endif()
