# The shared conformance scenes, compared with scene-inspect's dump. A checkout without them
# (or without python3) skips the test rather than failing it.
add_test(NAME conformance
  COMMAND ${CMAKE_COMMAND}
    -DSCRIPT=${PROJECT_SOURCE_DIR}/../shared/conformance/compare.py
    -DARG1=$<TARGET_FILE:scene-inspect>
    -P ${CMAKE_CURRENT_LIST_DIR}/scripts/python_or_skip.cmake)
set_tests_properties(conformance PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:" TIMEOUT 600)
