# Instrumented builds, each in a build folder of its own:
#   VELMORA_SANITIZE=ON  every target with AddressSanitizer and UndefinedBehaviorSanitizer;
#   VELMORA_FUZZ=ON      the same, plus libFuzzer coverage and the velmora_fuzz target (clang).
option(VELMORA_SANITIZE "Build with -fsanitize=address,undefined" OFF)
option(VELMORA_FUZZ "Build the libFuzzer target velmora_fuzz (clang only)" OFF)

if(VELMORA_SANITIZE OR VELMORA_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VELMORA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VELMORA_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
