// The built program in a real pseudo-terminal: prompts appear before anything
// is typed, the closing key needs no Enter and is not echoed, and the
// terminal's mode is left as it was found.
#include <string>

#include <gtest/gtest.h>

#include "child_process.hpp"

namespace {

using namespace velmora_test;

const std::string ask_start = "\n\n Enter the starting point (inch): \n";
const std::string ask_end = "\n Enter the ending (inch): \n";
const std::string ask_again = "\n  1=yes 2=no \n";
const std::string press_any_key = "\n\n Press any key to exit \n\n";

class key_wait_in_terminal : public testing::Test {
protected:
    void TearDown() override { close_descriptors(child); }

    // Sends the key once the program is waiting in single-key mode, then checks that
    // nothing but the final line end follows, that the program ends with status 1,
    // and that the terminal is back in its starting mode.
    void press_key_and_expect_clean_end() {
        ASSERT_TRUE(wait_for_non_canonical(child.terminal)) << "the program never entered single-key mode";
        send(child.output, "x");  // one key, no Enter
        const std::optional<int> status = wait_for_exit(child.pid);
        ASSERT_TRUE(status.has_value()) << "the key did not end the wait";
        EXPECT_TRUE(exited_normally(*status)) << describe_status(*status);
        EXPECT_EQ(read_until_quiet(child.output), "\n") << "the key was echoed, or more was written";
        termios after{};
        ASSERT_EQ(::tcgetattr(child.terminal, &after), 0);
        EXPECT_TRUE(same_mode(after, before)) << "before: " << describe_mode(before)
                                              << "\nafter:  " << describe_mode(after);
    }

    termios before = interactive_mode();
    child_process child{};
};

TEST_F(key_wait_in_terminal, typed_session_waits_for_one_key_without_enter_or_echo) {
    child = start_in_terminal(before, input_from::terminal);
    std::string seen;
    ASSERT_TRUE(read_until(child.output, ask_start, seen)) << seen;
    send(child.output, "12\n");
    ASSERT_TRUE(read_until(child.output, ask_end, seen)) << seen;
    send(child.output, "100\n");
    ASSERT_TRUE(read_until(child.output, ask_again, seen)) << seen;
    EXPECT_NE(seen.find("\n   0.765   0.104 \n"), std::string::npos) << seen;
    send(child.output, "2\n");
    ASSERT_TRUE(read_until(child.output, press_any_key, seen)) << seen;
    press_key_and_expect_clean_end();
}

TEST_F(key_wait_in_terminal, piped_input_still_takes_the_key_from_the_terminal) {
    child = start_in_terminal(before, input_from::pipe);
    send(child.input, "12\n100\n2\nextra bytes that are not the key\n");
    std::string seen;
    ASSERT_TRUE(read_until(child.output, press_any_key, seen)) << seen;
    EXPECT_NE(seen.find("\n\n   0.136 remaining ratio\n"), std::string::npos) << seen;
    press_key_and_expect_clean_end();
}

}  // namespace
