# Fault tests that a sanitizer would get in the way of: scene-load under an address-space limit
# (sanitizer shadow memory cannot be mapped under one), a replaced global operator new that
# counts bytes or fails, a wrapped read() and fstat() that change or fail the file being
# read, and a wrapped write() and close() that fail or cut short what a conversion
# writes. In a sanitized build they use their own copy of the library and of scene-load, built
# from the same sources with every sanitizer option taken out, so they run unchanged in the
# `test` preset. Without sanitizers the library is plain already, and one copy of it keeps one
# set of coverage counts per source. Their sources are not *_test.cpp files, so the main suite
# does not take them in.
if(SCENEIO_SANITIZE)
  file(GLOB SCENEIO_PLAIN_SOURCES CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/src/io/*.cpp
    ${PROJECT_SOURCE_DIR}/src/parsers/*.cpp
    ${PROJECT_SOURCE_DIR}/src/scene/*.cpp
    ${PROJECT_SOURCE_DIR}/src/dump/*.cpp
    ${PROJECT_SOURCE_DIR}/src/writers/*.cpp
    ${PROJECT_SOURCE_DIR}/src/export/*.cpp
    ${PROJECT_SOURCE_DIR}/src/gltf/*.cpp
    ${PROJECT_SOURCE_DIR}/src/render/*.cpp)
  list(REMOVE_ITEM SCENEIO_PLAIN_SOURCES ${PROJECT_SOURCE_DIR}/src/scene/main.cpp)

  add_library(sceneio_plain STATIC ${SCENEIO_PLAIN_SOURCES})
  target_include_directories(sceneio_plain PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
  target_compile_features(sceneio_plain PUBLIC cxx_std_20)
  target_link_libraries(sceneio_plain PRIVATE PkgConfig::SPNG PkgConfig::TURBOJPEG)
  target_compile_definitions(sceneio_plain PRIVATE SCENEIO_VERSION="${PROJECT_VERSION}")
else()
  add_library(sceneio_plain INTERFACE)
  target_link_libraries(sceneio_plain INTERFACE sceneio_internals sceneio sceneio_export sceneio_gltf
    sceneio_render)
endif()

add_executable(scene-load-plain ${PROJECT_SOURCE_DIR}/src/scene/main.cpp)
target_link_libraries(scene-load-plain PRIVATE sceneio_plain)

add_executable(sceneio_fault_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/faults/allocation_counter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/faults/address_limit.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/faults/allocation_failure.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/faults/changing_file.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/faults/memory_bounds.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/faults/write_failure.cpp)
# changing_file.cpp stands between the loader and read() and fstat(), to change a file while
# it is read or make the call fail.
# allocation_counter.cpp stands between the loader and its large-block mapping, to count it.
# write_failure.cpp stands between the converter and write() and close(), and
# between the picture and its PNG encoder.
target_link_options(sceneio_fault_tests PRIVATE -Wl,--wrap=read -Wl,--wrap=fstat
  -Wl,--wrap=write -Wl,--wrap=close
  -Wl,--wrap=spng_ctx_new -Wl,--wrap=spng_encode_image -Wl,--wrap=spng_get_png_buffer
  -Wl,--wrap=_ZN7sceneio13MapLargeBlockEm -Wl,--wrap=_ZN7sceneio15UnmapLargeBlockEPvm)
target_include_directories(sceneio_fault_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(sceneio_fault_tests PRIVATE sceneio_plain GTest::gtest GTest::gtest_main
  nlohmann_json::nlohmann_json PkgConfig::SPNG)
target_compile_definitions(sceneio_fault_tests PRIVATE
  SCENEIO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  SCENE_LOAD_PLAIN_PATH="$<TARGET_FILE:scene-load-plain>")
add_dependencies(sceneio_fault_tests scene-load-plain)

set(SCENEIO_PLAIN_TARGETS scene-load-plain sceneio_fault_tests)
if(SCENEIO_SANITIZE)
  list(APPEND SCENEIO_PLAIN_TARGETS sceneio_plain)
endif()
foreach(target ${SCENEIO_PLAIN_TARGETS})
  foreach(property COMPILE_OPTIONS LINK_OPTIONS)
    get_target_property(options ${target} ${property})
    if(options)
      list(FILTER options EXCLUDE REGEX "sanitize")
      set_property(TARGET ${target} PROPERTY ${property} "${options}")
    endif()
  endforeach()
endforeach()

# The million-token rows allocate a few hundred MiB and parse for a few seconds; a parser that
# went quadratic on them would never finish, and this limit ends it.
gtest_discover_tests(sceneio_fault_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
