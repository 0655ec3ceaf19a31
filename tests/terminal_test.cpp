// The built program in real pseudo-terminals: prompts appear before anything
// is typed, the closing key needs no Enter and is not echoed, and on every way
// out of the key wait (a key, a signal, a stop and continue, a hangup) the
// terminal is left in the mode it was found in.
#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.hpp"

namespace {

using namespace velmora_test;

const std::string ask_start = "\n\n Enter the starting point (inch): \n";
const std::string ask_end = "\n Enter the ending (inch): \n";
const std::string ask_again = "\n  1=yes 2=no \n";
const std::string press_any_key = "\n\n Press any key to exit \n\n";
const std::string one_calculation = "12 100 2\n";

// Checks that the terminal is in the mode it was in before the program ran.
void expect_mode(int terminal, const termios& expected, const char* when) {
    termios now{};
    ASSERT_EQ(::tcgetattr(terminal, &now), 0);
    EXPECT_TRUE(same_mode(now, expected)) << when << "\nexpected: " << describe_mode(expected)
                                          << "\nfound:    " << describe_mode(now);
}

// Checks that no byte of the key is left for the next program to read: a line end typed
// now must be the whole of the next line.
void expect_no_input_left(int master, int replica) {
    send(master, "\n");
    pollfd ready{replica, POLLIN, 0};
    ASSERT_GT(::poll(&ready, 1, 2000), 0);
    char line[64];
    const ssize_t got = ::read(replica, line, sizeof line);
    EXPECT_EQ(std::string(line, static_cast<std::size_t>(std::max<ssize_t>(got, 0))), "\n");
}

// Checks that the process has not ended, some time after something that must not end it.
void expect_still_running(pid_t pid) {
    std::this_thread::sleep_for(300ms);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0)
        << "the program ended: " << describe_status(status);
}

// The program in a terminal of its own, fed one calculation through a pipe, so that
// every byte typed at the terminal goes to the key wait.
class key_wait_in_terminal : public testing::Test {
protected:
    void TearDown() override {
        if (child.pid > 0 && !ended) {
            ::kill(child.pid, SIGKILL);
            wait_for_exit(child.pid);
        }
        close_descriptors(child);
    }

    // Starts the program and brings it to the key wait in single-key mode.
    void start_and_reach_key_wait(hangup_signal hangup = hangup_signal::default_action) {
        child = start_in_terminal(before, input_from::pipe, hangup);
        send(child.input, one_calculation);
        std::string seen;
        ASSERT_TRUE(read_until(child.output, press_any_key, seen)) << seen;
        ASSERT_TRUE(wait_for_non_canonical(child.terminal)) << "never entered single-key mode";
    }

    // Presses key and expects a normal end: status 1, nothing written but the final line
    // end (the key is not echoed), and the terminal back in its starting mode.
    void press_and_expect_normal_end(std::string_view key) {
        send(child.output, key);
        const int status = wait_for_end();
        EXPECT_TRUE(exited_normally(status)) << describe_status(status);
        EXPECT_EQ(read_until_quiet(child.output), "\n")
            << "the key was echoed, or more was written";
        expect_mode(child.terminal, before, "after the key");
    }

    // Waits for the program to end and gives its wait status.
    int wait_for_end() {
        const std::optional<int> status = wait_for_exit(child.pid);
        ended = true;
        EXPECT_TRUE(status.has_value()) << "the program did not end";
        return status.value_or(no_status);
    }

    termios before = interactive_mode();
    child_process child{-1, -1, -1, -1};
    bool ended = false;
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
    ASSERT_TRUE(wait_for_non_canonical(child.terminal));
    press_and_expect_normal_end("x");
}

TEST_F(key_wait_in_terminal, piped_input_is_never_taken_as_the_key) {
    child = start_in_terminal(before, input_from::pipe);
    send(child.input, one_calculation + "bytes on standard input that are not the key\n");
    std::string seen;
    ASSERT_TRUE(read_until(child.output, press_any_key, seen)) << seen;
    EXPECT_NE(seen.find("\n\n   0.136 remaining ratio\n"), std::string::npos) << seen;
    ASSERT_TRUE(wait_for_non_canonical(child.terminal));
    expect_still_running(child.pid);
    press_and_expect_normal_end("k");
}

TEST_F(key_wait_in_terminal, keys_typed_before_the_wait_do_not_end_it) {
    child = start_in_terminal(before, input_from::pipe);
    std::string seen;
    ASSERT_TRUE(read_until(child.output, ask_start, seen)) << seen;
    send(child.output, "typed ahead\nand more");  // while the program waits on its pipe
    ASSERT_TRUE(read_until(child.output, "and more", seen)) << seen;  // the terminal's echo
    send(child.input, one_calculation);
    ASSERT_TRUE(read_until(child.output, press_any_key, seen)) << seen;
    ASSERT_TRUE(wait_for_non_canonical(child.terminal));
    expect_still_running(child.pid);
    press_and_expect_normal_end("k");
}

struct key_case {
    const char* name;
    const char* bytes;
};

void PrintTo(const key_case& key, std::ostream* out) {
    *out << key.name;
}

std::string key_name(const testing::TestParamInfo<key_case>& param) {
    return param.param.name;
}

class any_key : public key_wait_in_terminal, public testing::WithParamInterface<key_case> {};

TEST_P(any_key, ends_the_wait_normally_unechoed_and_leaves_nothing_behind) {
    start_and_reach_key_wait();
    press_and_expect_normal_end(GetParam().bytes);
    expect_no_input_left(child.output, child.terminal);
}

// Ctrl-C, Ctrl-Z and the other control keys count as the key: signals from the keyboard
// are off during the wait.
INSTANTIATE_TEST_SUITE_P(keys, any_key,
                         testing::Values(key_case{"letter", "x"}, key_case{"enter", "\r"},
                                         key_case{"ctrl_c", "\x03"}, key_case{"ctrl_z", "\x1a"},
                                         key_case{"ctrl_backslash", "\x1c"},
                                         key_case{"ctrl_d", "\x04"}, key_case{"ctrl_s", "\x13"},
                                         key_case{"ctrl_v", "\x16"}, key_case{"arrow_up", "\x1b[A"},
                                         key_case{"function_key_f5", "\x1b[15~"}),
                         key_name);

std::string signal_name(const testing::TestParamInfo<int>& param) {
    return sigabbrev_np(param.param);
}

class ending_signal : public key_wait_in_terminal, public testing::WithParamInterface<int> {};

TEST_P(ending_signal, restores_the_mode_and_ends_by_that_signal) {
    start_and_reach_key_wait();
    ASSERT_EQ(::kill(child.pid, GetParam()), 0);
    const int status = wait_for_end();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << describe_status(status);
    expect_mode(child.terminal, before, "after the signal");
}

INSTANTIATE_TEST_SUITE_P(signals, ending_signal, testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                         signal_name);

TEST_F(key_wait_in_terminal, hangup_with_sighup_ignored_ends_the_wait) {
    start_and_reach_key_wait(hangup_signal::ignored);
    ::close(child.output);  // the terminal goes away: reads now fail
    child.output = -1;
    const int status = wait_for_end();
    EXPECT_TRUE(exited_normally(status)) << describe_status(status);
}

// As its session's leader the program's process group is orphaned, so the default stop
// action does nothing: the handler puts the mode back, is not stopped, and the
// interrupted read must be taken up again.
TEST_F(key_wait_in_terminal, interrupted_wait_is_taken_up_again) {
    start_and_reach_key_wait();
    ASSERT_EQ(::kill(child.pid, SIGTSTP), 0);
    expect_still_running(child.pid);
    ASSERT_TRUE(wait_for_non_canonical(child.terminal))
        << "the wait did not go back to single-key mode";
    press_and_expect_normal_end("k");
}

// The program as a job under a shell with job control, so that stop signals stop it.
class key_wait_as_job : public testing::Test {
protected:
    void TearDown() override {
        close_job(job);
    }

    // Starts the job in the foreground and brings it to the key wait in single-key mode.
    void start_and_reach_key_wait() {
        job = start_job_in_terminal(before, job_start::foreground);
        ASSERT_GT(job.pid, 0);
        send(job.shell.input, one_calculation);
        std::string seen;
        ASSERT_TRUE(read_until(job.shell.output, press_any_key, seen)) << seen;
        ASSERT_TRUE(wait_for_non_canonical(job.shell.terminal)) << "never entered single-key mode";
    }

    // Presses a key once the job is back in single-key mode and expects a normal end.
    void press_key_and_expect_normal_end() {
        ASSERT_TRUE(wait_for_non_canonical(job.shell.terminal))
            << "the wait did not resume in single-key mode";
        send(job.shell.output, "k");
        const std::optional<int> status = wait_for_job(job);
        ASSERT_TRUE(status.has_value()) << "the key did not end the wait";
        EXPECT_TRUE(exited_normally(*status)) << describe_status(*status);
        expect_mode(job.shell.terminal, before, "after the key");
    }

    termios before = interactive_mode();
    terminal_job job{{-1, -1, -1, -1}, -1, -1, -1};
};

TEST_F(key_wait_as_job, stopped_by_sigtstp_the_terminal_is_sane_and_sigcont_resumes_the_wait) {
    start_and_reach_key_wait();
    ASSERT_EQ(::kill(job.pid, SIGTSTP), 0);
    ASSERT_TRUE(wait_for_state(job.pid, 'T')) << "the job did not stop";
    expect_mode(job.shell.terminal, before, "while stopped");
    ASSERT_EQ(::kill(job.pid, SIGCONT), 0);
    press_key_and_expect_normal_end();
}

TEST_F(key_wait_as_job, continued_in_the_background_it_stops_for_input_until_brought_back) {
    start_and_reach_key_wait();
    ASSERT_EQ(::kill(job.pid, SIGTSTP), 0);
    ASSERT_TRUE(wait_for_state(job.pid, 'T'));
    ASSERT_TRUE(take_terminal_back(job));
    ASSERT_EQ(::kill(job.pid, SIGCONT), 0);  // as bg does
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(wait_for_state(job.pid, 'T')) << "a background job must stop for terminal input";
    expect_mode(job.shell.terminal, before, "while stopped in the background");
    ASSERT_TRUE(give_terminal_to_job(job));  // as fg does
    press_key_and_expect_normal_end();
}

TEST_F(key_wait_as_job, ended_after_losing_the_terminal_it_still_restores_the_mode) {
    start_and_reach_key_wait();
    ASSERT_TRUE(take_terminal_back(job));  // now a background job, its mode still set
    ASSERT_EQ(::kill(job.pid, SIGTERM), 0);
    const std::optional<int> status = wait_for_job(job);
    ASSERT_TRUE(status.has_value())
        << "the job did not end (stopped setting the mode from the background?)";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM) << describe_status(*status);
    expect_mode(job.shell.terminal, before, "after the signal");
}

// While a job runs in the background the terminal is the shell's, in the shell's own
// line-editing mode; the job must neither change that mode nor take it for its own. Only
// once brought to the foreground, with the terminal set back for it, does it take over.
TEST_F(key_wait_as_job,
       started_in_the_background_it_takes_the_terminal_over_only_in_the_foreground) {
    job = start_job_in_terminal(before, job_start::background);
    ASSERT_GT(job.pid, 0);
    std::string seen;
    ASSERT_TRUE(read_until(job.shell.output, ask_start, seen)) << seen;
    termios shell_editing = before;
    shell_editing.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    ASSERT_EQ(::tcsetattr(job.shell.terminal, TCSANOW, &shell_editing), 0);
    send(job.shell.output, "ls");  // typed at the shell's prompt meanwhile
    send(job.shell.input, one_calculation);
    ASSERT_TRUE(read_until(job.shell.output, press_any_key, seen)) << seen;
    ASSERT_TRUE(wait_for_state(job.pid, 'T')) << "a background job must stop for terminal input";
    expect_mode(job.shell.terminal, shell_editing, "while the job waits in the background");
    pollfd typed_input{job.shell.terminal, POLLIN, 0};
    EXPECT_EQ(::poll(&typed_input, 1, 500), 1) << "the shell's typed input was discarded";
    ASSERT_EQ(::tcsetattr(job.shell.terminal, TCSANOW, &before), 0);  // as a shell does before fg
    ASSERT_TRUE(give_terminal_to_job(job));
    press_key_and_expect_normal_end();
}

}  // namespace
