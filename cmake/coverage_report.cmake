# Run by the coverage targets (cmake/coverage.cmake). MODE=reset deletes the counts of earlier
# runs; MODE=report writes REPORT_DIR/index.html for src/ with gcovr, then prints the figures
# for each folder of src/ and, last, "coverage: lines L% branches B%" (cmake/coverage_summary.py).
cmake_minimum_required(VERSION 3.25)
if(MODE STREQUAL "reset")
  file(GLOB_RECURSE counts "${BUILD_DIR}/*.gcda")
  if(counts)
    file(REMOVE ${counts})
  endif()
  return()
endif()

file(MAKE_DIRECTORY "${REPORT_DIR}")
# Branches that only an exception could take, or that the compiler made and no input can reach,
# are not branches of the code as written.
execute_process(
  COMMAND "${GCOVR}" --root "${SOURCE_DIR}" --object-directory "${BUILD_DIR}"
          --filter "${SOURCE_DIR}/src/" --exclude-throw-branches --exclude-unreachable-branches
          --html-details "${REPORT_DIR}/index.html"
  OUTPUT_QUIET
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gcovr failed")
endif()
message("  report: ${REPORT_DIR}/index.html")
execute_process(
  COMMAND "${PYTHON}" "${SOURCE_DIR}/cmake/coverage_summary.py" "${BUILD_DIR}" "${SOURCE_DIR}"
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "coverage summary failed")
endif()
