#include "console.hpp"

#include <unistd.h>
#include <cstdarg>
#include <cstdio>

#include "input_tokens.hpp"

namespace velmora {

input_stream& console_input() {
    static constinit input_stream standard_input = input_stream_over(STDIN_FILENO);
    return standard_input;
}

void write_text(const char* format, ...) {
    std::va_list values;
    va_start(values, format);
    std::vprintf(format, values);
    va_end(values);
}

number_reading read_number() {
    return read_number_from(console_input());
}

integer_reading read_integer() {
    return read_integer_from(console_input());
}

}  // namespace velmora
