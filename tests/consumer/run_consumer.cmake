# Installs the built project into a fresh prefix, then configures, builds and runs
# the consumer project against it, and checks what it prints.
# Expects BUILD_DIR, SOURCE_DIR, WORK_DIR and CXX_COMPILER.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

run_step("install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(installed bin/velmora share/man/man1/velmora.1 include/velmora/shock_curve.hpp)
  if(NOT EXISTS "${prefix}/${installed}")
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

run_step("configure consumer" ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/build"
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
run_step("build consumer" ${CMAKE_COMMAND} --build "${WORK_DIR}/build")
run_step("run consumer" "${WORK_DIR}/build/velmora_consumer")
if(NOT step_output STREQUAL "0.76501 0.10415 0.13614\n")
  message(FATAL_ERROR "consumer printed: ${step_output}")
endif()
message(STATUS "consumer printed: ${step_output}")
