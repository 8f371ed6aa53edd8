# Runs scene-load (and, when built, scene-inspect's summary) in the examples directory, so the
# fixed group path dork\dork.grp names examples/dork/dork.grp, and reports the exit status.
execute_process(COMMAND ${SCENE_LOAD} WORKING_DIRECTORY ${WORKDIR}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(out STREQUAL "")
  message("scene-load: loaded ${WORKDIR}/dork/dork.grp, printed nothing, exit status ${status}")
else()
  message("scene-load printed:\n${out}exit status ${status}")
endif()
if(SCENE_INSPECT)
  execute_process(COMMAND ${SCENE_INSPECT} WORKING_DIRECTORY ${WORKDIR} RESULT_VARIABLE istatus)
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "scene-load exited with ${status}")
endif()
