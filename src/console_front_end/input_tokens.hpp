// Tokens read from an input descriptor through a fixed buffer: a token is a
// run of bytes that are not white space, and at most one is held at a time.
#pragma once

#include <array>
#include <cstddef>

#include "console.hpp"

namespace velmora {

// Bytes of one input descriptor, read on demand into a fixed buffer.
struct input_stream {
    int descriptor;
    std::array<char, 65536> buffer;
    std::size_t position;  // next unread byte in buffer
    std::size_t length;    // bytes of buffer filled by the last read
    bool ended;            // end of input or a read error was met; nothing more is read
};

// The stream behind read_number and read_integer: standard input, read through one
// fixed buffer for the life of the process.
input_stream& console_input();

// An input stream over a descriptor, with nothing yet read.
constexpr input_stream input_stream_over(int descriptor) {
    return {descriptor, {}, 0, 0, false};
}

// Reads one token as a number; a token that is not one is discarded with the rest of its line.
number_reading read_number_from(input_stream& input);

// Reads one token as an integer; a token that is not one is discarded with the rest of its line.
integer_reading read_integer_from(input_stream& input);

}  // namespace velmora
