# Installs the built project into a fresh prefix, runs the installed program
# there, then configures, builds and runs the consumer project against it, and
# checks what each prints.
# Expects BUILD_DIR, SOURCE_DIR, WORK_DIR and CXX_COMPILER.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

run_step("install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(installed bin/velmora share/man/man1/velmora.1.gz share/doc/velmora/copyright
    share/doc/velmora/changelog.gz include/velmora/shock_curve.hpp)
  if(NOT EXISTS "${prefix}/${installed}")
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

# One calculation through the installed program, with no terminal to wait for a
# key at (setsid): it must find everything it needs under the prefix.
find_program(SETSID setsid REQUIRED)
file(WRITE "${WORK_DIR}/cases.txt" "12 100 2\n")
execute_process(COMMAND ${SETSID} -w "${prefix}/bin/velmora"
  INPUT_FILE "${WORK_DIR}/cases.txt"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR NOT out MATCHES "0\\.136 remaining ratio")
  message(FATAL_ERROR "installed velmora ended with status ${status}:\n${out}\n${err}")
endif()

run_step("configure consumer" ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/build"
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
run_step("build consumer" ${CMAKE_COMMAND} --build "${WORK_DIR}/build")
run_step("run consumer" "${WORK_DIR}/build/velmora_consumer")
if(NOT step_output STREQUAL "0.76501 0.10415 0.13614\n")
  message(FATAL_ERROR "consumer printed: ${step_output}")
endif()
message(STATUS "consumer printed: ${step_output}")
