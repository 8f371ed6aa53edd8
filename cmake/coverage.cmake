# The `coverage` preset: everything built with GCC's --coverage, so the test suite leaves counts
# behind, and two targets around a test run: coverage-reset forgets the counts of earlier runs,
# coverage-report turns the counts for src/ into an HTML report and one closing line of figures.
# The HTML report (gcovr) marks branches line by line; its totals can differ a little from the
# printed figures, which leave out the exception edges of inline copies that never ran.
# Threaded loads update the same counters from both threads: atomic updates keep them exact.
add_compile_options(--coverage -O0 -fprofile-update=atomic)
add_compile_definitions(SCENEIO_COVERAGE)
add_link_options(--coverage)

find_program(SCENEIO_GCOVR gcovr REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(SCENEIO_COVERAGE_DIR ${PROJECT_BINARY_DIR}/coverage)

add_custom_target(coverage-reset
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR} -DMODE=reset
          -P ${PROJECT_SOURCE_DIR}/cmake/coverage_report.cmake
  VERBATIM)
add_custom_target(coverage-report
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DGCOVR=${SCENEIO_GCOVR} -DPYTHON=${Python3_EXECUTABLE}
          -DREPORT_DIR=${SCENEIO_COVERAGE_DIR} -DMODE=report
          -P ${PROJECT_SOURCE_DIR}/cmake/coverage_report.cmake
  USES_TERMINAL VERBATIM)
