# Run by the coverage targets (cmake/coverage.cmake). MODE=reset deletes the counts of earlier
# runs; MODE=report writes REPORT_DIR/index.html for src/ and prints the figures for each folder
# of src/ and then, last, "coverage: lines L% branches B%" for the whole of it.
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
          --json-summary "${REPORT_DIR}/summary.json"
          --txt "${REPORT_DIR}/files.txt"
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gcovr failed")
endif()

file(READ "${REPORT_DIR}/summary.json" summary)
string(JSON files LENGTH "${summary}" files)
set(folders "")
math(EXPR last "${files} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${summary}" files ${i} filename)
  get_filename_component(folder "${name}" DIRECTORY)
  string(MAKE_C_IDENTIFIER "${folder}" key)
  if(NOT folder IN_LIST folders)
    list(APPEND folders "${folder}")
    foreach(field line_covered line_total branch_covered branch_total)
      set(${key}_${field} 0)
    endforeach()
  endif()
  foreach(field line_covered line_total branch_covered branch_total)
    string(JSON n GET "${summary}" files ${i} ${field})
    math(EXPR ${key}_${field} "${${key}_${field}} + ${n}")
  endforeach()
endforeach()

# A percentage to one decimal, rounded down so 99.96% never shows as 100.0%.
function(percent covered total out)
  if(total EQUAL 0)
    set(${out} "100.0" PARENT_SCOPE)
    return()
  endif()
  math(EXPR tenths "${covered} * 1000 / ${total}")
  math(EXPR whole "${tenths} / 10")
  math(EXPR fraction "${tenths} % 10")
  set(${out} "${whole}.${fraction}" PARENT_SCOPE)
endfunction()

list(SORT folders)
foreach(folder ${folders})
  string(MAKE_C_IDENTIFIER "${folder}" key)
  percent(${${key}_line_covered} ${${key}_line_total} lines)
  percent(${${key}_branch_covered} ${${key}_branch_total} branches)
  message("  ${folder}: lines ${lines}% (${${key}_line_covered}/${${key}_line_total}) "
          "branches ${branches}% (${${key}_branch_covered}/${${key}_branch_total})")
endforeach()
string(JSON lineCovered GET "${summary}" line_covered)
string(JSON lineTotal GET "${summary}" line_total)
string(JSON branchCovered GET "${summary}" branch_covered)
string(JSON branchTotal GET "${summary}" branch_total)
percent(${lineCovered} ${lineTotal} lines)
percent(${branchCovered} ${branchTotal} branches)
message("  report: ${REPORT_DIR}/index.html")
message("coverage: lines ${lines}% branches ${branches}%")
