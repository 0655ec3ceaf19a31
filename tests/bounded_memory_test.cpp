// Whatever arrives on standard input, the program's peak memory stays where a
// one-line session leaves it: it holds at most one token at a time.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "child_process.hpp"

namespace {

using namespace velmora_test;

constexpr std::size_t fifty_megabytes = std::size_t{50} << 20;
constexpr std::size_t piece_size = std::size_t{64} << 10;

// The most the peak may exceed that of a one-line session, in kilobytes.
constexpr long allowed_growth_kb = 1024;

// Input of total bytes made by fill, a piece at a time, followed by tail.
input_generator flood(std::size_t total, void (*fill)(std::string& piece, std::size_t offset), std::string tail) {
    std::size_t given = 0;
    bool tail_given = false;
    return [=]() mutable {
        if (given == total) {
            const bool first = !tail_given;
            tail_given = true;
            return first ? tail : std::string();
        }
        std::string piece(std::min(piece_size, total - given), '\0');
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
    void (*fill)(std::string& piece, std::size_t offset);
};

TEST(bounded_memory, peak_memory_stays_flat_whatever_the_input) {
    if (std::getenv("VELMORA_TEST_LAUNCHER") != nullptr) {
        GTEST_SKIP() << "under a launcher the peak measured would be the launcher's";
    }
    const finished_run baseline = run_without_terminal("12 100 2\n");
    ASSERT_TRUE(exited_normally(baseline.wait_status)) << describe_status(baseline.wait_status);
    const flood_case floods[] = {
        {"digits without white space", fill_with_digits},
        {"NUL bytes", fill_with_nuls},
        {"binary bytes", fill_with_binary},
        {"one line of bad tokens", fill_with_bad_tokens},
    };
    for (const flood_case& c : floods) {
        const finished_run run = run_without_terminal(flood(fifty_megabytes, c.fill, "\n12 100 2\n"));
        EXPECT_TRUE(exited_normally(run.wait_status)) << c.name << ": " << describe_status(run.wait_status);
        EXPECT_LE(run.peak_memory_kb, baseline.peak_memory_kb + allowed_growth_kb)
            << c.name << ": peak " << run.peak_memory_kb << " kB against " << baseline.peak_memory_kb
            << " kB for one line";
    }
}

}  // namespace
