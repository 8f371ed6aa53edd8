# Runs SCRIPT in Blender without a window (blender -b --factory-startup) with ARGS after "--";
# passes when Blender exits with 0 and the script printed its closing line, "...: all checked".
execute_process(COMMAND ${BLENDER} -b --factory-startup --python-exit-code 1 --python ${SCRIPT}
                        -- ${ARGS}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
message("${out}${err}")
if(NOT status EQUAL 0 OR NOT out MATCHES "all checked")
  message(FATAL_ERROR "blender exited with ${status} before the script's checks were done")
endif()
