# Configures, builds and runs the project in subproject/, which takes velmora
# in with add_subdirectory; checks what its program prints, and that velmora
# added no install rules and no packaging to it.
# Expects SOURCE_DIR (velmora's), WORK_DIR and CXX_COMPILER.
file(REMOVE_RECURSE "${WORK_DIR}")
set(build "${WORK_DIR}/build")
set(prefix "${WORK_DIR}/prefix")

include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

run_step("configure" ${CMAKE_COMMAND} -S "${CMAKE_CURRENT_LIST_DIR}/subproject" -B "${build}"
  -DVELMORA_SOURCE_DIR=${SOURCE_DIR} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_BUILD_TYPE=)
run_step("build" ${CMAKE_COMMAND} --build "${build}")
run_step("run" "${build}/velmora_consumer")
if(NOT step_output STREQUAL "0.76501 0.10415 0.13614\n")
  message(FATAL_ERROR "the parent's program printed: ${step_output}")
endif()

run_step("install" ${CMAKE_COMMAND} --install "${build}" --prefix "${prefix}")
file(GLOB_RECURSE installed LIST_DIRECTORIES false "${prefix}/*")
if(installed)
  message(FATAL_ERROR "velmora installed into the parent's prefix: ${installed}")
endif()
if(EXISTS "${build}/CPackConfig.cmake")
  message(FATAL_ERROR "velmora set up packaging in the parent's build")
endif()
message(STATUS "the parent's program printed: ${step_output}")
