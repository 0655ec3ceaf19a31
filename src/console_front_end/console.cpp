#include "console.hpp"

#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standard_streams.hpp"

namespace velmora {

namespace {

// Text written and not yet delivered to standard output.
struct pending_output {
    std::array<char, 65536> buffer;
    std::size_t length;
};

constinit pending_output output{};

// Delivers the pending text to standard output.
void flush_output() {
    write_standard_output(std::span(output.buffer).first(output.length));
    output.length = 0;
}

// Formats into the free end of the buffer; gives the length the text needs, which is more
// than was kept when it did not fit, or a negative count when it cannot be formatted.
int format_into_buffer(const char* format, std::va_list values) {
    const std::span<char> free_space = std::span(output.buffer).subspan(output.length);
    return std::vsnprintf(free_space.data(), free_space.size(), format, values);
}

// Keeps the first length bytes formatted at the free end of the buffer.
void keep_formatted(int length) {
    output.length += static_cast<std::size_t>(length);
}

// True when a text of length formatted into the free end of the buffer fit whole.
bool fits(int length) {
    return length >= 0 && static_cast<std::size_t>(length) < output.buffer.size() - output.length;
}

// Formats into the buffer, delivering what it holds first when the text does not fit in
// the space left; gives the text's length. values and retry hold the same values, retry
// for the second attempt. A text that cannot be formatted, or one longer than the whole
// buffer, ends the process as a failure of output.
int format_text(const char* format, std::va_list values, std::va_list retry) {
    int length = format_into_buffer(format, values);
    if (length >= 0 && !fits(length)) {
        flush_output();
        length = format_into_buffer(format, retry);
    }
    if (length < 0) {
        end_after_stream_failure("cannot format output", std::strerror(errno));
    }
    if (!fits(length)) {
        end_after_stream_failure("cannot write standard output", "text longer than the buffer");
    }
    return length;
}

// Standard input as the token reader reads it: everything written is delivered first, so
// that the prompt is on the screen before the program waits for the answer.
std::size_t read_console_block(std::span<char> into) {
    flush_output();
    return read_standard_input(into);
}

}  // namespace

void write_text(const char* format, ...) {
    std::va_list values;
    va_start(values, format);
    std::va_list retry;
    va_copy(retry, values);
    const int length = format_text(format, values, retry);
    va_end(retry);
    va_end(values);
    keep_formatted(length);
}

number_reading read_number() {
    return read_number_from(console_input());
}

integer_reading read_integer() {
    return read_integer_from(console_input());
}

void wait_for_key() {
    flush_output();
    wait_for_key_press();
}

void end_process(int status) {
    flush_output();
    std::exit(status);
}

input_stream& console_input() {
    static constinit input_stream standard_input = input_stream_over(read_console_block);
    return standard_input;
}

}  // namespace velmora
