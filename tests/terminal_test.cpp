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
#include "dialogue_text.hpp"
#include "job_shell.hpp"

namespace {

using namespace velmora_test;

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
        child = start_in_terminal(before, {.hangup = hangup});
        send(child.input, one_calculation);
        std::string seen;
        ASSERT_TRUE(read_until(child.master, press_any_key, seen)) << seen;
        ASSERT_TRUE(wait_for_non_canonical(child.terminal)) << "never entered single-key mode";
        ASSERT_TRUE(wait_until_blocked_on_key(child.pid)) << "never began to wait for the key";
    }

    // Presses key and expects a normal end: status 1, nothing written but the final line
    // end (the key is not echoed), and the terminal back in its starting mode.
    void press_and_expect_normal_end(std::string_view key) {
        send(child.master, key);
        const int status = wait_for_end();
        EXPECT_TRUE(exited_normally(status)) << describe_status(status);
        EXPECT_EQ(read_until_quiet(child.master), "\n")
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
    child_process child{-1, -1, -1, -1, -1, -1};
    bool ended = false;
};

TEST_F(key_wait_in_terminal, typed_session_waits_for_one_key) {
    child = start_in_terminal(before, {.input = input_from::terminal});
    std::string seen;
    ASSERT_TRUE(read_until(child.master, ask_start, seen)) << seen;
    send(child.master, "12\n");
    ASSERT_TRUE(read_until(child.master, ask_end, seen)) << seen;
    send(child.master, "100\n");
    ASSERT_TRUE(read_until(child.master, ask_again, seen)) << seen;
    EXPECT_NE(seen.find("\n   0.765   0.104 \n"), std::string::npos) << seen;
    send(child.master, "2\n");
    ASSERT_TRUE(read_until(child.master, press_any_key, seen)) << seen;
    ASSERT_TRUE(wait_for_non_canonical(child.terminal));
    press_and_expect_normal_end("x");
}

TEST_F(key_wait_in_terminal, piped_input_is_never_the_key) {
    child = start_in_terminal(before);
    send(child.input, one_calculation + "bytes on standard input that are not the key\n");
    std::string seen;
    ASSERT_TRUE(read_until(child.master, press_any_key, seen)) << seen;
    EXPECT_NE(seen.find("\n\n   0.136 remaining ratio\n"), std::string::npos) << seen;
    ASSERT_TRUE(wait_for_non_canonical(child.terminal));
    ASSERT_TRUE(wait_until_blocked_on_key(child.pid)) << "the wait ended without a key";
    press_and_expect_normal_end("k");
}

TEST_F(key_wait_in_terminal, keys_typed_ahead_do_not_end_it) {
    child = start_in_terminal(before);
    std::string seen;
    ASSERT_TRUE(read_until(child.master, ask_start, seen)) << seen;
    send(child.master, "typed ahead\nand more");  // while the program waits on its pipe
    ASSERT_TRUE(read_until(child.master, "and more", seen)) << seen;  // the terminal's echo
    send(child.input, one_calculation);
    ASSERT_TRUE(read_until(child.master, press_any_key, seen)) << seen;
    ASSERT_TRUE(wait_for_non_canonical(child.terminal));
    ASSERT_TRUE(wait_until_blocked_on_key(child.pid)) << "keys typed ahead ended the wait";
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

TEST_P(any_key, ends_the_wait_unechoed) {
    start_and_reach_key_wait();
    press_and_expect_normal_end(GetParam().bytes);
    expect_no_input_left(child.master, child.terminal);
}

// Ctrl-C, Ctrl-Z and the other control keys count as the key: signals from the keyboard
// and flow control are off during the wait.
INSTANTIATE_TEST_SUITE_P(keys, any_key,
                         testing::Values(key_case{"letter", "x"}, key_case{"enter", "\r"},
                                         key_case{"ctrl_c", "\x03"}, key_case{"ctrl_z", "\x1a"},
                                         key_case{"ctrl_backslash", "\x1c"},
                                         key_case{"ctrl_d", "\x04"}, key_case{"ctrl_s", "\x13"},
                                         key_case{"ctrl_q", "\x11"}, key_case{"arrow_up", "\x1b[A"},
                                         key_case{"function_key_f5", "\x1b[15~"}),
                         key_name);

// Where standard output goes instead of the terminal's screen, with a terminal at hand.
struct elsewhere_case {
    const char* name;
    terminal_output output;
};

void PrintTo(const elsewhere_case& c, std::ostream* out) {
    *out << c.name;
}

class output_elsewhere : public key_wait_in_terminal,
                         public testing::WithParamInterface<elsewhere_case> {};

// Into a pager, the closing message is the pager's to show and the keys are the pager's
// to read; into a file, nobody sees the message. Either way the program must end without
// a key, leave the terminal's mode alone, and leave what was typed for the pager.
TEST_P(output_elsewhere, ends_without_a_key) {
    child = start_in_terminal(before, {.output = GetParam().output});
    std::string echo;
    send(child.master, "q\n");  // typed for the pager while velmora still runs
    ASSERT_TRUE(read_until(child.master, "q\n", echo)) << echo;
    send(child.input, one_calculation);
    const int status = wait_for_end();
    EXPECT_TRUE(exited_normally(status)) << describe_status(status);
    const std::string output = GetParam().output == terminal_output::file
                                   ? read_file(child.output)
                                   : read_to_end(child.output);
    EXPECT_TRUE(output.ends_with(press_any_key + "\n")) << output;
    expect_mode(child.terminal, before, "after the program ended");
    pollfd typed{child.terminal, POLLIN, 0};
    ASSERT_EQ(::poll(&typed, 1, 0), 1) << "the pager's keys were taken";
    char line[16];
    const ssize_t got = ::read(child.terminal, line, sizeof line);
    EXPECT_EQ(std::string(line, static_cast<std::size_t>(std::max<ssize_t>(got, 0))), "q\n");
}

std::string elsewhere_name(const testing::TestParamInfo<elsewhere_case>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(output, output_elsewhere,
                         testing::Values(elsewhere_case{"into_a_pager", terminal_output::pager},
                                         elsewhere_case{"into_a_file", terminal_output::file}),
                         elsewhere_name);

std::string signal_name(const testing::TestParamInfo<int>& param) {
    if (const char* name = sigabbrev_np(param.param)) {
        return name;
    }
    if (param.param == SIGRTMAX) {
        return "RTMAX";
    }
    return "RTMIN_plus_" + std::to_string(param.param - SIGRTMIN);
}

class ending_signal : public key_wait_in_terminal, public testing::WithParamInterface<int> {};

TEST_P(ending_signal, restores_and_ends) {
    start_and_reach_key_wait();
    ASSERT_EQ(::kill(child.pid, GetParam()), 0);
    const int status = wait_for_end();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << describe_status(status);
    expect_mode(child.terminal, before, "after the signal");
}

// Every signal whose default action ends the process: those a user sends from the
// keyboard or with kill, timers and limits, faults (which also leave a core where the
// system keeps cores), a broken pipe, and the real-time signals.
INSTANTIATE_TEST_SUITE_P(signals, ending_signal,
                         testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2,
                                         SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPIPE,
                                         SIGPOLL, SIGPWR, SIGSYS, SIGTRAP, SIGSEGV, SIGBUS, SIGFPE,
                                         SIGILL, SIGABRT, SIGSTKFLT, SIGRTMIN, SIGRTMIN + 1,
                                         SIGRTMAX),
                         signal_name);

TEST_F(key_wait_in_terminal, ignored_hangup_signal_stays_ignored) {
    start_and_reach_key_wait(hangup_signal::ignored);
    ASSERT_EQ(::kill(child.pid, SIGHUP), 0);
    ASSERT_TRUE(wait_until_blocked_on_key(child.pid)) << "SIGHUP ended the wait under nohup";
    press_and_expect_normal_end("k");
}

// With SIGHUP ignored, a hangup ends the wait by a failed read; the closing line end then
// cannot reach the terminal, which is a failure to write standard output.
TEST_F(key_wait_in_terminal, hangup_ends_the_wait_as_a_failure) {
    start_and_reach_key_wait(hangup_signal::ignored);
    ::close(child.master);  // the terminal goes away: reads and writes now fail
    child.master = -1;
    const int status = wait_for_end();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << describe_status(status);
}

// As its session's leader the program's process group is orphaned, so the default stop
// action does nothing: the handler puts the mode back, is not stopped, and the
// interrupted read must be taken up again.
TEST_F(key_wait_in_terminal, interrupted_wait_is_taken_up_again) {
    start_and_reach_key_wait();
    ASSERT_EQ(::kill(child.pid, SIGTSTP), 0);
    ASSERT_TRUE(wait_until_blocked_on_key(child.pid)) << "the wait was not taken up again";
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
        ASSERT_TRUE(read_until(job.shell.master, press_any_key, seen)) << seen;
        ASSERT_TRUE(wait_for_non_canonical(job.shell.terminal)) << "never entered single-key mode";
    }

    // Presses a key once the job is back in single-key mode and expects a normal end.
    void press_key_and_expect_normal_end() {
        ASSERT_TRUE(wait_for_non_canonical(job.shell.terminal))
            << "the wait did not resume in single-key mode";
        send(job.shell.master, "k");
        const std::optional<int> status = wait_for_job(job);
        ASSERT_TRUE(status.has_value()) << "the key did not end the wait";
        EXPECT_TRUE(exited_normally(*status)) << describe_status(*status);
        expect_mode(job.shell.terminal, before, "after the key");
    }

    termios before = interactive_mode();
    terminal_job job{{-1, -1, -1, -1, -1, -1}, -1, -1, -1};
};

// Each stop must leave the terminal sane, the second as well as the first: the handler
// that restores the mode must be in place again after every continue.
TEST_F(key_wait_as_job, every_stop_leaves_the_terminal_sane) {
    start_and_reach_key_wait();
    for (const char* stop : {"first stop", "second stop"}) {
        ASSERT_EQ(::kill(job.pid, SIGTSTP), 0);
        ASSERT_TRUE(wait_for_state(job.pid, 'T')) << "the job did not stop: " << stop;
        expect_mode(job.shell.terminal, before, stop);
        ASSERT_EQ(::kill(job.pid, SIGCONT), 0);
        ASSERT_TRUE(wait_for_non_canonical(job.shell.terminal))
            << "the wait did not resume in single-key mode after the " << stop;
    }
    press_key_and_expect_normal_end();
}

TEST_F(key_wait_as_job, continued_in_the_background_it_stops) {
    start_and_reach_key_wait();
    ASSERT_EQ(::kill(job.pid, SIGTSTP), 0);
    ASSERT_TRUE(wait_for_state(job.pid, 'T'));
    ASSERT_TRUE(take_terminal_back(job));
    ASSERT_EQ(::kill(job.pid, SIGCONT), 0);  // as bg does; the stop ends as it is sent
    ASSERT_TRUE(wait_for_state(job.pid, 'T')) << "a background job must stop for terminal input";
    expect_mode(job.shell.terminal, before, "while stopped in the background");
    ASSERT_TRUE(give_terminal_to_job(job));  // as fg does
    press_key_and_expect_normal_end();
}

TEST_F(key_wait_as_job, ended_in_the_background_it_restores_the_mode) {
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
TEST_F(key_wait_as_job, started_in_the_background_it_waits_for_the_foreground) {
    job = start_job_in_terminal(before, job_start::background);
    ASSERT_GT(job.pid, 0);
    std::string seen;
    ASSERT_TRUE(read_until(job.shell.master, ask_start, seen)) << seen;
    termios shell_editing = before;
    shell_editing.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    ASSERT_EQ(::tcsetattr(job.shell.terminal, TCSANOW, &shell_editing), 0);
    send(job.shell.master, "ls");  // typed at the shell's prompt meanwhile
    send(job.shell.input, one_calculation);
    ASSERT_TRUE(read_until(job.shell.master, press_any_key, seen)) << seen;
    ASSERT_TRUE(wait_for_state(job.pid, 'T')) << "a background job must stop for terminal input";
    expect_mode(job.shell.terminal, shell_editing, "while the job waits in the background");
    pollfd typed_input{job.shell.terminal, POLLIN, 0};
    EXPECT_EQ(::poll(&typed_input, 1, 500), 1) << "the shell's typed input was discarded";
    ASSERT_EQ(::tcsetattr(job.shell.terminal, TCSANOW, &before), 0);  // as a shell does before fg
    ASSERT_TRUE(give_terminal_to_job(job));
    press_key_and_expect_normal_end();
}

}  // namespace
