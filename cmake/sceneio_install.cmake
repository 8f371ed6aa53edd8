# Installs the libraries with their headers and the programs, and exports the CMake package that
# another project finds with find_package(sceneio) and links as sceneio::sceneio (the loader),
# sceneio::export (a loaded scene mapped for writing out), sceneio::gltf (writing it as glTF,
# and reading glTF in), sceneio::obj (reading OBJ in), sceneio::render (the picture renderer)
# sceneio::diagnostics (what a scene's files hold that the load passes over) and sceneio::convert
# (a whole conversion, from a group file or a model to any output).
include(CMakePackageConfigHelpers)

# Installed headers keep their folders under include/sceneio/ and include each other as
# "sceneio/file_buffer.h", so that folder is on the include path; include/ is too, so a consumer
# may write <sceneio/scene/scene.h>.
target_include_directories(sceneio PUBLIC
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/sceneio>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
# A library compiled with the sanitizers needs their runtimes in whatever links it.
if(SCENEIO_SANITIZE)
  target_link_options(sceneio INTERFACE $<INSTALL_INTERFACE:-fsanitize=address,undefined>)
endif()

set(SCENEIO_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sceneio)

install(TARGETS sceneio sceneio_export sceneio_gltf sceneio_obj sceneio_render sceneio_diagnostics
  sceneio_convert
  EXPORT sceneioTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS scene-load RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/sceneio
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(EXPORT sceneioTargets NAMESPACE sceneio:: DESTINATION ${SCENEIO_PACKAGE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/sceneioConfig.cmake.in
  ${PROJECT_BINARY_DIR}/sceneioConfig.cmake
  INSTALL_DESTINATION ${SCENEIO_PACKAGE_DIR})
# Before 1.0 a minor release may change the records, so only the same minor version matches.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/sceneioConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/sceneioConfig.cmake
              ${PROJECT_BINARY_DIR}/sceneioConfigVersion.cmake
  DESTINATION ${SCENEIO_PACKAGE_DIR})
