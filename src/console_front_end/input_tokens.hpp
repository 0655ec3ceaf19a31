// Tokens read from an input descriptor through a fixed buffer: a token is a
// run of bytes that are not white space, and at most one is held at a time.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

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

// Longest token kept in full; any longer token is rejected without being stored.
inline constexpr std::size_t token_capacity = 4096;

// One token as read: its bytes, NUL-terminated, or only the fact that it was too long.
struct token_text {
    std::array<char, token_capacity + 1> bytes;
    std::size_t length;
    bool too_long;
};

// An input stream over a descriptor, with nothing yet read.
constexpr input_stream input_stream_over(int descriptor) {
    return {descriptor, {}, 0, 0, false};
}

// Skips white space and reads one token; false when the input ends first.
bool read_token(input_stream& input, token_text& token);

// Discards input up to and including the next line end, or to the end of input.
void discard_rest_of_line(input_stream& input);

// The value of a whole token read as a C-locale decimal number, as strtod reads it.
std::optional<double> parse_number(const token_text& token);

// The value of a whole token made of an optional sign and decimal digits, if it fits an int.
std::optional<int> parse_integer(const token_text& token);

// Reads one token as a number; a token that is not one is discarded with the rest of its line.
number_reading read_number_from(input_stream& input);

// Reads one token as an integer; a token that is not one is discarded with the rest of its line.
integer_reading read_integer_from(input_stream& input);

}  // namespace velmora
