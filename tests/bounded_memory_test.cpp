// Whatever arrives on standard input, the program's peak memory stays where a
// one-line session leaves it: it holds at most one token at a time.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "child_process.hpp"
#include "dialogue_text.hpp"

namespace {

using namespace velmora_test;

constexpr std::size_t fifty_megabytes = std::size_t{50} << 20;
constexpr std::size_t piece_size = std::size_t{64} << 10;

// The most the peak may exceed that of a one-line session, in kilobytes.
constexpr long allowed_growth_kb = 1024;

// Fills a piece of the flood that starts offset bytes into it.
using fill_function = void (*)(std::string& piece, std::size_t offset);

// Input of total bytes made by fill a piece at a time in one reused buffer, then tail.
input_generator flood(std::size_t total, fill_function fill, std::string_view tail) {
    std::size_t given = 0;
    std::string piece;
    return [=]() mutable -> std::string_view {
        if (given == total) {
            const std::string_view rest = tail;
            tail = {};
            return rest;
        }
        piece.resize(std::min(piece_size, total - given));
        fill(piece, given);
        given += piece.size();
        return piece;
    };
}

void fill_with_digits(std::string& piece, std::size_t) {
    piece.assign(piece.size(), '7');
}

void fill_with_nuls(std::string& piece, std::size_t) {
    piece.assign(piece.size(), '\0');
}

// Deterministic bytes of every value, NUL and white space included.
void fill_with_binary(std::string& piece, std::size_t offset) {
    std::uint32_t state = static_cast<std::uint32_t>(offset) + 12345u;
    for (char& byte : piece) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
}

// "x x x ...": one line of tokens, each one rejected.
void fill_with_bad_tokens(std::string& piece, std::size_t offset) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
        piece[i] = (offset + i) % 2 == 0 ? 'x' : ' ';
    }
}

struct flood_case {
    const char* name;
    fill_function fill;
};

void PrintTo(const flood_case& c, std::ostream* out) {
    *out << c.name;
}

class bounded_memory : public testing::TestWithParam<flood_case> {};

// The peak the kernel reports for a child includes this process's own at the fork, so
// each flood runs in a test of its own, right after the one-line session it is held to.
// Under a launcher (valgrind, wine) the peak would be the launcher's: the program must
// then still come through the flood, but its memory is not measured.
TEST_P(bounded_memory, stays_flat) {
    const bool measured = std::getenv("VELMORA_TEST_LAUNCHER") == nullptr;
    const finished_run baseline = run_without_terminal("12 100 2\n");
    ASSERT_TRUE(exited_normally(baseline.wait_status)) << describe_status(baseline.wait_status);
    const finished_run run =
        run_without_terminal(flood(fifty_megabytes, GetParam().fill, "\n12 100 2\n"));
    EXPECT_TRUE(exited_normally(run.wait_status)) << describe_status(run.wait_status);
    EXPECT_TRUE(run.output.ends_with(closing)) << "the run did not reach its end";
    if (measured) {
        EXPECT_LE(run.peak_memory_kb, baseline.peak_memory_kb + allowed_growth_kb)
            << "peak " << run.peak_memory_kb << " kB against " << baseline.peak_memory_kb
            << " kB for one line";
    }
}

std::string flood_name(const testing::TestParamInfo<flood_case>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(floods, bounded_memory,
                         testing::Values(flood_case{"digits_without_white_space", fill_with_digits},
                                         flood_case{"nul_bytes", fill_with_nuls},
                                         flood_case{"binary_bytes", fill_with_binary},
                                         flood_case{"one_line_of_bad_tokens",
                                                    fill_with_bad_tokens}),
                         flood_name);

}  // namespace
