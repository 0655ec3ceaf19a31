#include "input_tokens.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace velmora {

namespace {

// Longest token kept in full; any longer token is rejected without being stored.
constexpr std::size_t token_capacity = 4096;

// One token as read: its bytes, NUL-terminated, or only the fact that it was too long.
struct token_text {
    std::array<char, token_capacity + 1> bytes;
    std::size_t length;
    bool too_long;
};

// White space as the C locale has it; line ends included.
bool is_white_space(char byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
           byte == '\r';
}

// Reads more input into the buffer from offset on; false once the input has ended.
bool read_into_buffer(input_stream& input, std::size_t offset) {
    const std::size_t got =
        input.ended ? 0 : input.read_block(std::span(input.buffer).subspan(offset));
    input.length = offset + got;
    input.ended = got == 0;
    return got > 0;
}

// Reads the next block of input over the used-up buffer; false once the input has ended.
bool refill(input_stream& input) {
    input.position = 0;
    return read_into_buffer(input, 0);
}

// True when a byte is ready at input.position, reading more input when the buffer is used up.
bool byte_available(input_stream& input) {
    return input.position < input.length || refill(input);
}

// The byte at input.position; byte_available must have returned true.
char current_byte(const input_stream& input) {
    return input.buffer[input.position];
}

// Skips white space; false when the input ends before any other byte.
bool skip_white_space(input_stream& input) {
    while (byte_available(input) && is_white_space(current_byte(input))) {
        ++input.position;
    }
    return byte_available(input);
}

// Appends one byte to the token, or marks the token too long once it is full.
void keep_token_byte(token_text& token, char byte) {
    if (token.length == token_capacity) {
        token.too_long = true;
        return;
    }
    token.bytes[token.length] = byte;
    ++token.length;
}

// The UTF-8 byte order mark that editors on Windows put at the start of a text file.
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

// The bytes read so far, all of them still unread: the very start of the input.
std::string_view bytes_at_start(const input_stream& input) {
    return {input.buffer.data(), input.length};
}

// Skips one byte order mark at the very start of the input, reading until there are
// enough bytes to tell whether one is there.
void skip_byte_order_mark(input_stream& input) {
    input.started = true;
    while (input.length < byte_order_mark.size() &&
           byte_order_mark.starts_with(bytes_at_start(input)) &&
           read_into_buffer(input, input.length)) {
    }
    if (bytes_at_start(input).starts_with(byte_order_mark)) {
        input.position = byte_order_mark.size();
    }
}

// Skips white space and reads one token; false when the input ends first.
bool read_token(input_stream& input, token_text& token) {
    token.length = 0;
    token.too_long = false;
    if (!input.started) {
        skip_byte_order_mark(input);
    }
    if (!skip_white_space(input)) {
        token.bytes[0] = '\0';
        return false;
    }
    while (byte_available(input) && !is_white_space(current_byte(input))) {
        keep_token_byte(token, current_byte(input));
        ++input.position;
    }
    token.bytes[token.length] = '\0';
    return true;
}

// Discards input up to and including the next line end, or to the end of input. A line
// ends at LF, or at CR, which covers CR LF and the lone CR of old Mac files alike; the LF
// of a CR LF is left behind as white space.
void discard_rest_of_line(input_stream& input) {
    while (byte_available(input)) {
        const char byte = current_byte(input);
        ++input.position;
        if (byte == '\n' || byte == '\r') {
            return;
        }
    }
}

// The value of a whole token read as a C-locale decimal number, as strtod reads it.
std::optional<double> parse_number(const token_text& token) {
    if (token.too_long || token.length == 0) {
        return std::nullopt;
    }
    // The program never changes its locale, so strtod reads '.' as the decimal mark.
    // A NUL inside the token stops strtod early and so fails the whole-token test.
    const char* const first = token.bytes.data();
    char* last = nullptr;
    const double value = std::strtod(first, &last);
    if (last != first + token.length) {
        return std::nullopt;
    }
    return value;
}

// The value of a whole token of an optional sign and decimal digits, if it fits an int.
std::optional<int> parse_integer(const token_text& token) {
    if (token.too_long || token.length == 0) {
        return std::nullopt;
    }
    const char* const first = token.bytes.data();
    char* last = nullptr;
    errno = 0;
    const long value = std::strtol(first, &last, 10);
    if (last != first + token.length || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// Reads one token and converts it with parse; a rejected token takes the rest of its line.
template <typename Value>
token_reading<Value> read_value(input_stream& input,
                                std::optional<Value> (*parse)(const token_text&)) {
    token_text token;
    if (!read_token(input, token)) {
        return {input_status::ended, Value{}};
    }
    if (const std::optional<Value> value = parse(token)) {
        return {input_status::value, *value};
    }
    discard_rest_of_line(input);
    return {input_status::not_a_value, Value{}};
}

}  // namespace

number_reading read_number_from(input_stream& input) {
    return read_value(input, parse_number);
}

integer_reading read_integer_from(input_stream& input) {
    return read_value(input, parse_integer);
}

}  // namespace velmora
