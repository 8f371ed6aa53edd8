# The interpreter the Python bindings are built for, and whether they can be built here.
#
# Python3_EXECUTABLE, when given (-DPython3_EXECUTABLE=...), decides. Otherwise the first of
# /usr/bin/python3 and the python3 on PATH that imports numpy is taken: the python3 on PATH may
# be another interpreter (a pyenv one, say) without numpy, while the module must be built for
# the one that has it. Sets SCENEIO_PYTHON_FOUND when that interpreter, its headers, numpy and
# pybind11 are all here; SCENEIO_PYTHON_MISSING says what is not.
set(SCENEIO_PYTHON_FOUND OFF)
set(SCENEIO_PYTHON_MISSING "")

if(NOT Python3_EXECUTABLE)
  find_program(SCENEIO_PATH_PYTHON3 python3)
  foreach(candidate /usr/bin/python3 ${SCENEIO_PATH_PYTHON3})
    if(EXISTS ${candidate})
      execute_process(COMMAND ${candidate} -c "import numpy"
                      RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
      if(status EQUAL 0)
        set(Python3_EXECUTABLE ${candidate} CACHE FILEPATH
            "The Python interpreter the bindings are built for (one that imports numpy)")
        break()
      endif()
    endif()
  endforeach()
endif()

if(NOT Python3_EXECUTABLE)
  set(SCENEIO_PYTHON_MISSING "no python3 that imports numpy (install python3-numpy)")
  return()
endif()
find_package(Python3 COMPONENTS Interpreter Development.Module NumPy)
find_package(pybind11 2.6 CONFIG QUIET)
if(NOT Python3_Development.Module_FOUND)
  set(SCENEIO_PYTHON_MISSING "no headers for ${Python3_EXECUTABLE} (install python3-dev)")
elseif(NOT Python3_NumPy_FOUND)
  set(SCENEIO_PYTHON_MISSING "${Python3_EXECUTABLE} has no numpy (install python3-numpy)")
elseif(NOT pybind11_FOUND)
  set(SCENEIO_PYTHON_MISSING "pybind11 is not installed (install pybind11-dev)")
else()
  set(SCENEIO_PYTHON_FOUND ON)
endif()
