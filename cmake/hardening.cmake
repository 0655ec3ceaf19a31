# The hardening Debian builds its programs with, for every target of velmora's
# own build (a project that takes velmora in keeps its own flags):
#   -fstack-protector-strong   canaries in functions with arrays or taken addresses;
#   _FORTIFY_SOURCE=2          checked libc calls, in the optimised configurations
#                              only (it needs optimisation), and not beside the
#                              sanitizers, which replace those calls themselves;
#   PIE                        a program loaded at a random address;
#   -z relro -z now            relocations resolved at start and made read-only.
# The last two are ELF matters, so a Windows (PE) build leaves them out.
# A caller who sets _FORTIFY_SOURCE in CMAKE_CXX_FLAGS keeps that setting.
if(MSVC)
  return()  # Microsoft's compiler has its own defaults: /GS, ASLR and DEP
endif()
add_compile_options(-fstack-protector-strong)
if(MINGW)
  # MinGW-w64 keeps the stack protector's and fortified calls' runtime in libssp,
  # which the compiler driver links only when asked for the protector.
  add_link_options(-fstack-protector-strong)
endif()

if(NOT VELMORA_SANITIZE AND NOT VELMORA_FUZZ AND NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
  add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
endif()

if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
  if(NOT DEFINED CMAKE_POSITION_INDEPENDENT_CODE)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  endif()
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
