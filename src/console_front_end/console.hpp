// The console operations the dialogue is written in: formatted text out,
// number tokens in from standard input, one key from the keyboard, and the end
// of the process with everything written delivered.
#pragma once

#include "input_tokens.hpp"

namespace velmora {

// Adds text to standard output, filling its conversions from the values as printf does.
// Everything added is delivered before the program next waits for input or a key.
[[gnu::format(printf, 1, 2)]] void write_text(const char* format, ...);

// Reads the next token of standard input as a decimal number.
number_reading read_number();

// Reads the next token of standard input as a decimal integer that fits an int.
integer_reading read_integer();

// Waits for one key press at the console keyboard, without echo and without Enter, when
// the text written so far is on that console's screen; otherwise returns at once.
void wait_for_key();

// Delivers everything written, then ends the process with status.
[[noreturn]] void end_process(int status);

// The stream behind read_number and read_integer: standard input, read through one
// fixed buffer for the life of the process.
input_stream& console_input();

}  // namespace velmora
