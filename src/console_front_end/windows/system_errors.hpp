// The words Windows has for its error codes.
#pragma once

#include <windows.h>

namespace velmora {

// The system's own text for an error, without a line end; valid until the next call.
const char* system_error_text(DWORD error);

}  // namespace velmora
