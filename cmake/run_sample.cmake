# Runs scene-load (and, when built, scene-inspect's summary) in the examples directory, so the
# fixed group path dork\dork.grp names examples/dork/dork.grp, and reports the exit status;
# then scene-convert writes the sample as OUTDIR/dork.glb and draws its picture to OUTDIR/dork.png.
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
if(SCENE_CONVERT)
  execute_process(COMMAND ${SCENE_CONVERT} dork/dork.grp ${OUTDIR}/dork.glb
                  WORKING_DIRECTORY ${WORKDIR} RESULT_VARIABLE cstatus)
  if(NOT cstatus EQUAL 0)
    message(FATAL_ERROR "scene-convert exited with ${cstatus}")
  endif()
  message("scene-convert: wrote ${OUTDIR}/dork.glb")
  execute_process(COMMAND ${SCENE_CONVERT} dork/dork.grp ${OUTDIR}/dork.png
                  WORKING_DIRECTORY ${WORKDIR} ERROR_VARIABLE cerr RESULT_VARIABLE cstatus)
  if(NOT cstatus EQUAL 0)
    message(FATAL_ERROR "scene-convert exited with ${cstatus}:\n${cerr}")
  endif()
  message("scene-convert: drew the sample scene from its camera to ${OUTDIR}/dork.png")
endif()
if(PYTHON)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${OUTDIR}/python
                          ${PYTHON} -c "import sceneio; print(sceneio.load('dork/dork.grp'))"
                  WORKING_DIRECTORY ${WORKDIR} OUTPUT_VARIABLE pout ERROR_VARIABLE perr
                  RESULT_VARIABLE pstatus)
  if(NOT pstatus EQUAL 0)
    message(FATAL_ERROR "the Python module did not load the sample:\n${perr}")
  endif()
  message("Python module: ${OUTDIR}/python/sceneio, for ${PYTHON}; it loaded the sample as\n"
          "  ${pout}  (PYTHONPATH=${OUTDIR}/python ${PYTHON} -c \"import sceneio\")")
endif()
