# Runs the point-set generator into a scratch file and compares it with the
# committed data byte for byte.
file(REMOVE "${OUT}")
execute_process(COMMAND "${PYTHON}" "${GENERATOR}" --out "${OUT}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "generator failed (${rc}): ${out}${err}\n"
          "it needs python3-numpy, python3-pil and fonts-dejavu-core")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}" "${COMMITTED}" RESULT_VARIABLE same)
if(NOT same EQUAL 0)
  message(FATAL_ERROR "${OUT} differs from the committed ${COMMITTED}")
endif()
