# The warning set every target of the project builds with.
# Set VELMORA_WARNINGS_AS_ERRORS=ON (or add -Werror to CXXFLAGS) to make them fatal.
option(VELMORA_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

add_library(velmora_warnings INTERFACE)
add_library(velmora::warnings ALIAS velmora_warnings)

if(MSVC)
  # A native Windows build with Microsoft's compiler (untested): its nearest set.
  target_compile_options(velmora_warnings INTERFACE
    /W4
    $<$<BOOL:${VELMORA_WARNINGS_AS_ERRORS}>:/WX>)
else()
  target_compile_options(velmora_warnings INTERFACE
    -Wall
    -Wextra
    -Wpedantic
    -Wshadow
    -Wconversion
    -Wdouble-promotion
    $<$<BOOL:${VELMORA_WARNINGS_AS_ERRORS}>:-Werror>)
endif()

