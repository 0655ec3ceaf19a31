// What the console needs from the operating system: the bytes of standard
// input and output, and one key from the console keyboard. Each platform has
// its own implementation of these; everything above them is shared.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace velmora {

// The status the process ends with when standard input or output fails.
inline constexpr int stream_failure_exit_status = 2;

// Says on standard error, in one line, that a standard stream failed and why, and ends the
// process with stream_failure_exit_status.
[[noreturn]] void end_after_stream_failure(const char* failure, const char* reason);

// Fills the start of into with the next bytes of standard input, waiting for at least one;
// gives their count, or 0 once standard input has ended. When it cannot be read, says so
// on standard error and ends the process with stream_failure_exit_status.
std::size_t read_standard_input(std::span<char> into);

// Writes all of bytes to standard output, waiting as long as that takes. When they cannot
// be written, says so on standard error and ends the process with stream_failure_exit_status.
void write_standard_output(std::span<const char> bytes);

// Writes text to standard error as far as it is taken; a failure there is not reported,
// since standard error is the last place a failure can be told.
void write_standard_error(std::string_view text);

// Waits for one key press at the console keyboard, when standard output is that console's
// screen, so that the user has read what it shows; returns at once otherwise. The key is
// not echoed and needs no Enter; the console is left as it was found.
void wait_for_key_press();

}  // namespace velmora
