// The built program driven through pipes with no controlling terminal: its
// whole standard output is compared byte for byte, and its exit status checked.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.hpp"
#include "dialogue_text.hpp"

namespace {

using namespace velmora_test;
using namespace std::string_literals;

struct transcript_case {
    std::string name;
    std::string input;
    std::string expected_after_banner;
};

void PrintTo(const transcript_case& c, std::ostream* out) {
    *out << c.name;
}

std::vector<transcript_case> calculation_cases() {
    return {
        {"worked_example_12_to_100", "12\n100\n2\n",
         ask_both + result_12_to_100 + ask_again + closing},
        {"both_at_the_source", "0\n0\n2\n",
         ask_both + result_lines("     1", "     1", "     1") + ask_again + closing},
        {"source_to_last_node", "0\n500\n2\n",
         ask_both + result_lines("     1", "  0.04", "  0.04") + ask_again + closing},
        {"equal_distances", "20\n20\n2\n",
         ask_both + result_lines(" 0.567", " 0.567", "     1") + ask_again + closing},
        {"both_beyond_the_last_node", "600\n700\n2\n",
         ask_both + result_lines("  0.04", "  0.04", "     1") + ask_again + closing},
        {"exponent_and_sign", "+1.2e1\n1E2\n2\n",
         ask_both + result_12_to_100 + ask_again + closing},
        {"infinite_distances", "inf\ninf\n2\n",
         ask_both + result_lines("  0.04", "  0.04", "     1") + ask_again + closing},
        {"both_numbers_on_one_line", "12 100\n2\n",
         ask_both + result_12_to_100 + ask_again + closing},
        {"windows_line_ends", "12\r\n100\r\n2\r\n",
         ask_both + result_12_to_100 + ask_again + closing},
        {"byte_order_mark_at_the_start",
         "\xEF\xBB\xBF"
         "12\n100\n2\n",
         ask_both + result_12_to_100 + ask_again + closing},
        {"no_line_end_after_last_answer", "12\n100\n2",
         ask_both + result_12_to_100 + ask_again + closing},
    };
}

std::vector<transcript_case> rejected_pair_cases() {
    const std::string retry = ask_both + result_12_to_100 + ask_again + closing;
    return {
        {"negative_start_is_rejected_after_both_are_read", "-0.5\n3\n12\n100\n2\n",
         ask_both + input_error + retry},
        {"end_below_start", "20\n10\n12\n100\n2\n", ask_both + input_error + retry},
        {"nan_start", "nan\n5\n12\n100\n2\n", ask_both + input_error + retry},
        {"nan_end", "0\nnan\n12\n100\n2\n", ask_both + input_error + retry},
        {"rejected_pair_keeps_the_rest_of_its_line", "20 10 12\n100\n2\n",
         ask_both + input_error + retry},
        {"rejected_twice", "-1 0\n5 4\n12 100\n2\n",
         ask_both + input_error + ask_both + input_error + retry},
    };
}

std::vector<transcript_case> bad_token_cases() {
    const std::string retry = ask_both + result_12_to_100 + ask_again + closing;
    return {
        {"word_at_start_discards_its_line", "abc 99\n12\n100\n2\n",
         ask_start + input_error + retry},
        {"trailing_letters_at_end", "12\n12abc 5\n12\n100\n2\n", ask_both + input_error + retry},
        {"comma_as_decimal_mark", "1,5\n12\n100\n2\n", ask_start + input_error + retry},
        {"nul_inside_a_token",
         "1\0"
         "2\n12\n100\n2\n"s,
         ask_start + input_error + retry},
        {"byte_order_mark_later",
         "12\n\xEF\xBB\xBF"
         "100\n12 100 2\n",
         ask_both + input_error + retry},
        {"old_mac_line_ends", "abc 99\r12\r100\r2\r", ask_start + input_error + retry},
        {"token_over_4096_characters", std::string(4097, '1') + " 5\n12\n100\n2\n",
         ask_start + input_error + retry},
        {"token_of_4096_characters_is_a_number", "0." + std::string(4094, '0') + "\n100\n2\n",
         ask_both + result_lines("     1", " 0.104", " 0.104") + ask_again + closing},
    };
}

std::vector<transcript_case> repeat_question_cases() {
    const std::string first = ask_both + result_12_to_100 + ask_again;
    return {
        {"answer_1_calculates_again_without_banner", "12\n100\n1\n0\n500\n2\n",
         first + ask_both + result_lines("     1", "  0.04", "  0.04") + ask_again + closing},
        {"answer_plus_1", "12\n100\n+1\n12\n100\n2\n", first + first + closing},
        {"answer_0", "12\n100\n0\n", first + closing},
        {"answer_3", "12\n100\n3\n", first + closing},
        {"answer_minus_1", "12\n100\n-1\n", first + closing},
        {"answer_1_0_is_asked_again", "12\n100\n1.0\n2\n", first + ask_again + closing},
        {"answer_yes_is_asked_again_with_its_line", "12\n100\nyes 1\n2\n",
         first + ask_again + closing},
        {"answer_too_big_for_int", "12\n100\n99999999999\n2\n", first + ask_again + closing},
        {"answer_on_the_result_line", "12 100 2\n", first + closing},
    };
}

std::vector<transcript_case> end_of_input_cases() {
    return {
        {"nothing_at_all", "", ask_start + closing},
        {"only_white_space", " \n\t\n", ask_start + closing},
        {"at_the_ending_prompt", "12\n", ask_both + closing},
        {"at_the_repeat_question", "12\n100\n", ask_both + result_12_to_100 + ask_again + closing},
        {"after_a_bad_token", "abc", ask_start + input_error + ask_start + closing},
        {"after_a_rejected_pair", "20 10", ask_both + input_error + ask_start + closing},
        {"after_a_bad_answer", "12 100 yes",
         ask_both + result_12_to_100 + ask_again + ask_again + closing},
        {"in_a_second_calculation", "12 100 1\n",
         ask_both + result_12_to_100 + ask_again + ask_start + closing},
    };
}

class transcript : public testing::TestWithParam<transcript_case> {};

TEST_P(transcript, matches) {
    const transcript_case& c = GetParam();
    const finished_run run = run_without_terminal(c.input);
    EXPECT_EQ(run.output, banner + c.expected_after_banner);
    EXPECT_TRUE(exited_normally(run.wait_status)) << describe_status(run.wait_status);
}

// The test's name, from the case's own.
std::string case_name(const testing::TestParamInfo<transcript_case>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(calculations, transcript, testing::ValuesIn(calculation_cases()),
                         case_name);
INSTANTIATE_TEST_SUITE_P(rejected_pairs, transcript, testing::ValuesIn(rejected_pair_cases()),
                         case_name);
INSTANTIATE_TEST_SUITE_P(bad_tokens, transcript, testing::ValuesIn(bad_token_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(repeat_question, transcript, testing::ValuesIn(repeat_question_cases()),
                         case_name);
INSTANTIATE_TEST_SUITE_P(end_of_input, transcript, testing::ValuesIn(end_of_input_cases()),
                         case_name);

// Each prompt must reach a pipe before the program blocks on input, so that a program
// driving velmora sees it before it answers.
TEST(pipe_conversation, every_prompt_arrives_before_its_answer_is_sent) {
    child_process child = start_without_terminal();
    std::string seen;
    ASSERT_TRUE(read_until(child.output, ask_start, seen)) << seen;
    send(child.input, "12\n");
    ASSERT_TRUE(read_until(child.output, ask_end, seen)) << seen;
    send(child.input, "100\n");
    ASSERT_TRUE(read_until(child.output, ask_again, seen)) << seen;
    send(child.input, "1\n");
    ASSERT_TRUE(read_until(child.output, ask_start, seen)) << seen;
    send(child.input, "x\n");
    ASSERT_TRUE(read_until(child.output, input_error + ask_start, seen)) << seen;
    send(child.input, "0 0\n2\n");
    ASSERT_TRUE(read_until(child.output, closing, seen)) << seen;
    const std::optional<int> status = wait_for_exit(child.pid);
    close_descriptors(child);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(exited_normally(*status)) << describe_status(*status);
}

}  // namespace
