// The built program with its standard streams as shells and launchers may leave
// them: output that cannot be written, input that cannot be read, and pipes
// left non-blocking. A failure is told on standard error and ends the program
// with status 2; it is never passed off as a normal end.
#include <csignal>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.hpp"
#include "dialogue_text.hpp"

namespace {

using namespace velmora_test;

// The same calculation again and again, as long as the program takes it.
input_generator endless_calculations() {
    return [] {
        return std::string_view("12 100 1\n");
    };
}

bool exited_with_failure(int wait_status) {
    return WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 2;
}

struct failure_case {
    const char* name;
    stream_setup setup;
    const char* message;  // the one line expected on standard error
};

void PrintTo(const failure_case& c, std::ostream* out) {
    *out << c.name;
}

class stream_failure : public testing::TestWithParam<failure_case> {};

// Input never runs out, so a program that does not notice the failure never ends.
TEST_P(stream_failure, is_told) {
    const failure_case& c = GetParam();
    const finished_run run = run_without_terminal(endless_calculations(), c.setup);
    EXPECT_TRUE(exited_with_failure(run.wait_status)) << describe_status(run.wait_status);
    EXPECT_EQ(run.errors, c.message);
}

std::string failure_name(const testing::TestParamInfo<failure_case>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    output, stream_failure,
    testing::Values(
        failure_case{"full_disk",
                     {.output = output_to::full_disk},
                     "velmora: cannot write standard output: No space left on device\n"},
        failure_case{"file_size_limit_reached_midway",
                     {.output = output_to::file, .file_size_limit = 100},
                     "velmora: cannot write standard output: File too large\n"},
        failure_case{"closed",
                     {.output = output_to::closed},
                     "velmora: cannot write standard output: Bad file descriptor\n"},
        failure_case{"reader_gone_with_sigpipe_ignored",
                     {.output = output_to::reader_gone, .broken_pipe = broken_pipe_signal::ignored},
                     "velmora: cannot write standard output: Broken pipe\n"}),
    failure_name);

INSTANTIATE_TEST_SUITE_P(
    input, stream_failure,
    testing::Values(failure_case{"directory",
                                 {.input = input_source::directory},
                                 "velmora: cannot read standard input: Is a directory\n"},
                    failure_case{"closed",
                                 {.input = input_source::closed},
                                 "velmora: cannot read standard input: Bad file descriptor\n"}),
    failure_name);

// Everything but the final line end fits the file: the failure of the last write, made
// just before the program ends, is told like any other.
TEST(last_write, fails_like_any_other) {
    const std::string all_but_last =
        banner + ask_both + result_12_to_100 + ask_again + press_any_key;
    const finished_run run = run_without_terminal(
        "12 100 2\n", {.output = output_to::file, .file_size_limit = all_but_last.size()});
    EXPECT_TRUE(exited_with_failure(run.wait_status)) << describe_status(run.wait_status);
    EXPECT_EQ(run.errors, "velmora: cannot write standard output: File too large\n");
    EXPECT_EQ(run.output, all_but_last);
}

// The usual Unix ending when the reader of a pipe has gone: killed by SIGPIPE.
TEST(broken_pipe, ends_the_program_by_sigpipe) {
    const finished_run run =
        run_without_terminal(endless_calculations(), {.output = output_to::reader_gone});
    EXPECT_TRUE(WIFSIGNALED(run.wait_status) && WTERMSIG(run.wait_status) == SIGPIPE)
        << describe_status(run.wait_status);
    EXPECT_EQ(run.errors, "");
}

// Input that cannot be read ends the calculations at once: the prompt was written, the
// closing message is not.
TEST(unreadable_input, stops_at_the_first_prompt) {
    const finished_run run = run_without_terminal("", {.input = input_source::directory});
    EXPECT_EQ(run.output, banner + ask_start);
}

// A launcher may leave standard input non-blocking: the program must wait for input
// rather than take "try again" for its end.
TEST(nonblocking_pipe, input_is_waited_for) {
    child_process child = start_without_terminal({.nonblocking_input = true});
    std::string seen;
    ASSERT_TRUE(read_until(child.output, ask_start, seen)) << seen;
    ASSERT_TRUE(wait_for_state(child.pid, 'S')) << "the program did not wait for input";
    send(child.input, "12 100 2\n");
    const finished_run run = finish_run(child, seen);
    EXPECT_TRUE(exited_normally(run.wait_status)) << describe_status(run.wait_status) << "\n"
                                                  << run.errors;
    EXPECT_EQ(run.output, banner + ask_both + result_12_to_100 + ask_again + closing);
}

// And standard output non-blocking, with a reader slower than the program: the program
// must wait for room in the pipe rather than take "try again" for a failed write.
TEST(nonblocking_pipe, output_waits_for_room) {
    constexpr int calculations = 2000;  // far more output than the pipe holds
    std::string input;
    for (int i = 1; i < calculations; ++i) {
        input += "12 100 1\n";
    }
    input += "12 100 2\n";
    child_process child = start_without_terminal({.nonblocking_output = true});
    ASSERT_TRUE(send(child.input, input));  // fits the input pipe whole
    ::close(child.input);
    child.input = -1;
    ASSERT_TRUE(wait_for_state(child.pid, 'S')) << "the program did not wait for room";
    const finished_run run = finish_run(child);
    EXPECT_TRUE(exited_normally(run.wait_status)) << describe_status(run.wait_status) << "\n"
                                                  << run.errors;
    const std::string one_calculation = ask_both + result_12_to_100 + ask_again;
    std::string expected = banner;
    for (int i = 0; i < calculations; ++i) {
        expected += one_calculation;
    }
    EXPECT_EQ(run.output, expected + closing);
}

}  // namespace
