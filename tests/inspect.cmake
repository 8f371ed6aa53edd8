# The inspector's own library joins the suite binary, so its tests call the writers directly.
target_link_libraries(sceneio_tests PRIVATE sceneio_inspect)

# The sample scene's dump read by a real JSON parser and compared with the sample files' values.
add_test(NAME scene_inspect_sample_dump
  COMMAND ${CMAKE_COMMAND}
    -DSCRIPT=${CMAKE_CURRENT_LIST_DIR}/scripts/check_sample_dump.py
    -DARG1=$<TARGET_FILE:scene-inspect>
    -DARG2=${PROJECT_SOURCE_DIR}/examples
    -P ${CMAKE_CURRENT_LIST_DIR}/scripts/python_or_skip.cmake)
set_tests_properties(scene_inspect_sample_dump PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:")
