# Another project's view of the library: install, find_package(sceneio), link, load.
add_test(NAME consumer_package
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${PROJECT_BINARY_DIR}
    -DCONSUMER_DIR=${CMAKE_CURRENT_LIST_DIR}/consumer
    -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/consumer-package
    "-DGENERATOR=${CMAKE_GENERATOR}"
    -DMAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}
    -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
    -DBUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DEXAMPLES_DIR=${PROJECT_SOURCE_DIR}/examples
    -DPUBLIC_HEADERS_DIR=${PROJECT_SOURCE_DIR}/include
    -P ${CMAKE_CURRENT_LIST_DIR}/scripts/check_consumer.cmake)
set_tests_properties(consumer_package PROPERTIES TIMEOUT 600)
