// Tokens read from a source of input bytes through a fixed buffer: a token is
// a run of bytes that are not white space, and at most one is held at a time.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace velmora {

// What a read of one token found.
enum class input_status {
    value,        // the token was read and its value taken
    not_a_value,  // the token was not acceptable; it and the rest of its line are gone
    ended,        // the input ended before a token began
};

// One token read from the input; value is meaningful only with input_status::value.
template <typename Value>
struct token_reading {
    input_status status;
    Value value;
};

using number_reading = token_reading<double>;
using integer_reading = token_reading<int>;

// Fills the start of into with the next bytes of the input, waiting for at least one;
// gives their count, or 0 once the input has ended.
using block_reader = std::size_t (*)(std::span<char> into);

// Bytes of one input source, read on demand into a fixed buffer.
struct input_stream {
    block_reader read_block;
    std::array<char, 65536> buffer;
    std::size_t position;  // next unread byte in buffer
    std::size_t length;    // bytes of buffer filled so far
    bool started;          // the very start of the input has been looked at for a byte order mark
    bool ended;            // the input has ended; nothing more is read
};

// An input stream over a source, with nothing yet read.
constexpr input_stream input_stream_over(block_reader read_block) {
    return {read_block, {}, 0, 0, false, false};
}

// Reads one token as a number; a token that is not one is discarded with the rest of its line.
number_reading read_number_from(input_stream& input);

// Reads one token as an integer; a token that is not one is discarded with the rest of its line.
integer_reading read_integer_from(input_stream& input);

}  // namespace velmora
