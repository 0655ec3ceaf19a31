// Token reading from an input descriptor: what counts as a number or an
// integer, what a rejected token takes with it, and long or split tokens.
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input_tokens.hpp"
#include "memory_input.hpp"

namespace {

using namespace std::string_literals;
using velmora::input_status;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// An input stream over pieces of input held in memory, kept off the stack since its
// buffer is large.
class stream_over {
public:
    explicit stream_over(std::vector<std::string_view> pieces)
        : stream_(std::make_unique<velmora::input_stream>(
              velmora::input_stream_over(velmora_test::read_from_memory))) {
        velmora_test::give_pieces(std::move(pieces));
    }

    velmora::input_stream& stream() {
        return *stream_;
    }

private:
    std::unique_ptr<velmora::input_stream> stream_;
};

template <typename Value>
struct reading_case {
    std::string name;
    std::string input;
    std::vector<velmora::token_reading<Value>> expected;
};

constexpr velmora::number_reading number(double value) {
    return {input_status::value, value};
}
constexpr velmora::integer_reading integer(int value) {
    return {input_status::value, value};
}
template <typename Value>
constexpr velmora::token_reading<Value> rejected{input_status::not_a_value, Value{}};
template <typename Value>
constexpr velmora::token_reading<Value> ended{input_status::ended, Value{}};

// True when two readings agree; NaN matches NaN, and zeros must agree in sign.
template <typename Value>
bool same_reading(const velmora::token_reading<Value>& a, const velmora::token_reading<Value>& b) {
    if (a.status != b.status) {
        return false;
    }
    if (a.status != input_status::value) {
        return true;
    }
    if constexpr (std::is_floating_point_v<Value>) {
        if (std::isnan(a.value) || std::isnan(b.value)) {
            return std::isnan(a.value) && std::isnan(b.value);
        }
        return a.value == b.value && std::signbit(a.value) == std::signbit(b.value);
    } else {
        return a.value == b.value;
    }
}

template <typename Value>
std::string describe(const velmora::token_reading<Value>& reading) {
    switch (reading.status) {
        case input_status::value:
            return "value " + std::to_string(reading.value);
        case input_status::not_a_value:
            return "not a value";
        case input_status::ended:
            return "ended";
    }
    return "?";
}

// Reads as many readings as expected from pieces, given as separate reads, and compares each.
template <typename Value, typename Read>
void expect_readings(const std::string& name, std::vector<std::string_view> pieces,
                     const std::vector<velmora::token_reading<Value>>& expected, Read read) {
    stream_over input(std::move(pieces));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const velmora::token_reading<Value> got = read(input.stream());
        EXPECT_TRUE(same_reading(got, expected[i]))
            << name << ", reading " << i << ": got " << describe(got) << ", expected "
            << describe(expected[i]);
    }
}

// Reads as many tokens as the case expects with read and compares each reading.
template <typename Value, typename Read>
void expect_readings(const reading_case<Value>& c, Read read) {
    expect_readings(c.name, {c.input}, c.expected, read);
}

TEST(read_number, token_rules) {
    const auto bad = rejected<double>;
    const auto end = ended<double>;
    const reading_case<double> cases[] = {
        {"plain numbers", "12 100\n", {number(12), number(100), end}},
        {"sign, fraction and exponent",
         "-0.5 +.5 1e3 2.E-1 -0",
         {number(-0.5), number(0.5), number(1000), number(0.2), number(-0.0), end}},
        {"nan and infinity",
         "nan inf -INF infinity NAN(1)",
         {number(nan), number(inf), number(-inf), number(inf), number(nan), end}},
        {"overflow reads as infinity", "1e999 -1e999", {number(inf), number(-inf), end}},
        {"hexadecimal, as strtod reads it", "0x10", {number(16), end}},
        {"every white space separates",
         "1\t2\v3\f4\r5 6\n",
         {number(1), number(2), number(3), number(4), number(5), number(6), end}},
        {"a word takes the rest of its line", "abc 5\n7", {bad, number(7), end}},
        {"trailing letters", "12abc 5\n", {bad, end}},
        {"comma as decimal mark", "1,5\n3\n", {bad, number(3), end}},
        {"lone sign", "- 5\n6", {bad, number(6), end}},
        {"NUL inside a token", "1\0 2\n3"s, {bad, number(3), end}},
        {"NUL alone", "\0\n4"s, {bad, number(4), end}},
        {"binary bytes", "\x80\xff\x01 9\n8"s, {bad, number(8), end}},
        {"no line end after the last token", "7", {number(7), end}},
        {"a rejected line ends at CR LF", "x 1\r\n2", {bad, number(2), end}},
        {"a rejected line ends at a lone CR", "x 1\r2\r3", {bad, number(2), number(3), end}},
        {"byte order mark at the very start",
         "\xEF\xBB\xBF"
         "12 5",
         {number(12), number(5), end}},
        {"byte order mark alone before a line end", "\xEF\xBB\xBF\n7", {number(7), end}},
        {"only one byte order mark is skipped",
         "\xEF\xBB\xBF\xEF\xBB\xBF"
         "1\n2",
         {bad, number(2), end}},
        {"byte order mark after white space",
         " \xEF\xBB\xBF"
         "1\n2",
         {bad, number(2), end}},
        {"byte order mark on a later token",
         "1 \xEF\xBB\xBF"
         "2\n3",
         {number(1), bad, number(3), end}},
        {"first bytes of a byte order mark",
         "\xEF\xBB"
         "1\n2",
         {bad, number(2), end}},
        {"empty input stays ended", "", {end, end, end}},
        {"white space only", " \n\t\r\n", {end}},
    };
    for (const auto& c : cases) {
        expect_readings(c, velmora::read_number_from);
    }
}

TEST(read_integer, token_rules) {
    const auto bad = rejected<int>;
    const auto end = ended<int>;
    const reading_case<int> cases[] = {
        {"signs and leading zeros",
         "1 +1 -1 007 -0",
         {integer(1), integer(1), integer(-1), integer(7), integer(0), end}},
        {"the limits of int",
         "2147483647 -2147483648",
         {integer(2147483647), integer(-2147483647 - 1), end}},
        {"just above int", "2147483648 9\n1", {bad, integer(1), end}},
        {"just below int", "-2147483649\n1", {bad, integer(1), end}},
        {"far above long", "99999999999999999999999\n1", {bad, integer(1), end}},
        {"a decimal point", "1.0\n2", {bad, integer(2), end}},
        {"byte order mark at the very start",
         "\xEF\xBB\xBF"
         "2",
         {integer(2), end}},
        {"a rejected line ends at a lone CR", "yes 1\r2", {bad, integer(2), end}},
        {"a word takes the rest of its line", "yes 1\n2", {bad, integer(2), end}},
        {"hexadecimal", "0x1\n2", {bad, integer(2), end}},
        {"exponent", "1e3\n2", {bad, integer(2), end}},
        {"lone sign", "+\n2", {bad, integer(2), end}},
        {"double sign", "+-1\n2", {bad, integer(2), end}},
        {"NUL inside a token", "1\0\n2"s, {bad, integer(2), end}},
        {"empty input", "", {end}},
    };
    for (const auto& c : cases) {
        expect_readings(c, velmora::read_integer_from);
    }
}

TEST(read_number, long_and_split_tokens) {
    const auto bad = rejected<double>;
    const auto end = ended<double>;
    const std::size_t buffer_size = sizeof(velmora::input_stream::buffer);
    const reading_case<double> cases[] = {
        {"token of exactly 4096 bytes", "0." + std::string(4088, '0') + "1e4089", {number(1), end}},
        {"token of 4097 bytes", std::string(4097, '1') + " 5\n6", {bad, number(6), end}},
        {"token split across two buffer fills",
         std::string(buffer_size - 4, ' ') + "123456789\n",
         {number(123456789), end}},
        {"megabyte token without white space",
         std::string(1 << 20, '7') + "\n5",
         {bad, number(5), end}},
        {"rejected token's line runs over many buffer fills",
         "abc " + std::string(3 * buffer_size, 'y') + " z\n7",
         {bad, number(7), end}},
    };
    for (const auto& c : cases) {
        expect_readings(c, velmora::read_number_from);
    }
}

// Input as a pipe gives it, a piece at a time: a token or a byte order mark may be cut
// anywhere between two reads.
TEST(read_number, input_split_across_reads) {
    const auto bad = rejected<double>;
    const auto end = ended<double>;
    struct split_case {
        const char* name;
        std::vector<std::string_view> pieces;
        std::vector<velmora::number_reading> expected;
    };
    const split_case cases[] = {
        {"a number cut in two", {"12", "3 4"}, {number(123), number(4), end}},
        {"white space in a read of its own", {"1", " ", "2"}, {number(1), number(2), end}},
        {"byte order mark a byte at a time", {"\xEF", "\xBB", "\xBF", "5"}, {number(5), end}},
        {"byte order mark cut before its last byte",
         {"\xEF\xBB",
          "\xBF"
          "6\n"},
         {number(6), end}},
        {"input ends inside a byte order mark", {"\xEF", "\xBB"}, {bad, end}},
        {"a rejected line cut before its line end", {"abc 1", "2\n3"}, {bad, number(3), end}},
        {"CR LF cut between CR and LF", {"x\r", "\n4"}, {bad, number(4), end}},
    };
    for (const split_case& c : cases) {
        expect_readings(c.name, c.pieces, c.expected, velmora::read_number_from);
    }
}

}  // namespace
