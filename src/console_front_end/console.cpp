#include "console.hpp"

#include <cstdarg>
#include <cstdio>
#include <unistd.h>

#include "input_tokens.hpp"

namespace velmora {

namespace {

// Standard input, read through one fixed buffer for the life of the process.
input_stream standard_input = input_stream_over(STDIN_FILENO);

}  // namespace

void write_text(const char* format, ...) {
    std::va_list values;
    va_start(values, format);
    std::vprintf(format, values);
    va_end(values);
}

number_reading read_number() {
    return read_number_from(standard_input);
}

integer_reading read_integer() {
    return read_integer_from(standard_input);
}

}  // namespace velmora
