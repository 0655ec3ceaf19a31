// Fuzz entry: arbitrary bytes fed to the token reader and to whole calculation
// dialogues, checking what must hold for any input.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#include "calculation_dialogue.hpp"
#include "console.hpp"
#include "input_tokens.hpp"
#include "memory_input.hpp"
#include "shock_curve.hpp"

namespace {

// Stops the run with a crash that the fuzzer records, when a property fails.
void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// Makes the fuzz input the next input of every stream that reads from memory.
void give_input(const std::uint8_t* data, std::size_t size) {
    velmora_test::give_pieces({std::string_view(reinterpret_cast<const char*>(data), size)});
}

// After a token is taken, the next byte is white space or the input has ended; after a
// rejected token, its line is gone: the last byte taken was a line end, or input ended.
void check_reader_position(const velmora::input_stream& input, velmora::input_status status) {
    require(input.position <= input.length);
    const bool more = input.position < input.length;
    if (status == velmora::input_status::not_a_value) {
        require(input.ended || (input.position > 0 && (input.buffer[input.position - 1] == '\n' ||
                                                       input.buffer[input.position - 1] == '\r')));
    }
    if (status == velmora::input_status::value && more) {
        const char next = input.buffer[input.position];
        require(next == ' ' || next == '\t' || next == '\n' || next == '\v' || next == '\f' ||
                next == '\r');
    }
}

// Every acceptable pair gives fractions and a ratio between 0.04 and 1.
void check_remaining_ratio(double start, double end) {
    if (!(start >= 0 && end >= start)) {
        return;
    }
    const velmora::remaining_ratio_result result = velmora::evaluate_remaining_ratio(start, end);
    constexpr double slack = 1e-12;  // one rounding step inside an interval
    for (const double value : {result.start_fraction, result.end_fraction, result.ratio}) {
        require(value >= 0.04 - slack && value <= 1 + slack);
    }
}

// Reads tokens alternately as numbers and integers until the input ends.
void fuzz_token_reader(const std::uint8_t* data, std::size_t size) {
    static velmora::input_stream input{};
    give_input(data, size);
    input = velmora::input_stream_over(velmora_test::read_from_memory);
    velmora::fill_shock_curve();
    double previous = 0;
    for (std::size_t turn = 0;; ++turn) {
        if (turn % 3 == 2) {
            const velmora::integer_reading answer = velmora::read_integer_from(input);
            check_reader_position(input, answer.status);
            if (answer.status == velmora::input_status::ended) {
                return;
            }
            continue;
        }
        const velmora::number_reading number = velmora::read_number_from(input);
        check_reader_position(input, number.status);
        if (number.status == velmora::input_status::ended) {
            return;
        }
        if (number.status == velmora::input_status::value) {
            check_remaining_ratio(previous, number.value);
            previous = number.value;
        }
    }
}

// Runs calculations on the bytes as standard input until it ends, answering the repeat
// question from the input too.
void fuzz_dialogue(const std::uint8_t* data, std::size_t size) {
    give_input(data, size);
    velmora::console_input() = velmora::input_stream_over(velmora_test::read_from_memory);
    while (velmora::run_calculation() == velmora::calculation_outcome::completed) {
        if (velmora::read_integer().status == velmora::input_status::ended) {
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The dialogue's text is not wanted: standard output goes nowhere.
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    require(nowhere >= 0 && ::dup2(nowhere, STDOUT_FILENO) == STDOUT_FILENO);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_token_reader(data, size);
    fuzz_dialogue(data, size);
    return 0;
}
