// The console operations the dialogue is written in: formatted text out,
// number tokens in from standard input, and one key from the keyboard.
#pragma once

namespace velmora {

// What a read of one token from standard input found.
enum class input_status {
    value,        // the token was read and its value taken
    not_a_value,  // the token was not acceptable; it and the rest of its line are gone
    ended,        // standard input ended before a token began
};

// One token read from standard input; value is meaningful only with input_status::value.
template <typename Value>
struct token_reading {
    input_status status;
    Value value;
};

using number_reading = token_reading<double>;
using integer_reading = token_reading<int>;

// Writes text to standard output, filling its conversions from the values as printf does.
[[gnu::format(printf, 1, 2)]] void write_text(const char* format, ...);

// Reads the next token of standard input as a decimal number.
number_reading read_number();

// Reads the next token of standard input as a decimal integer that fits an int.
integer_reading read_integer();

// Waits for one key press at the controlling terminal, without echo and without Enter;
// returns at once when the process has no controlling terminal.
void wait_for_key();

}  // namespace velmora
