#include "child_process.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

namespace velmora_test {

namespace {

using clock = std::chrono::steady_clock;

// Milliseconds left until deadline, never below zero, for poll().
int milliseconds_until(clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// A pipe whose ends are closed in any program the test process starts.
void make_pipe(int ends[2]) {
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        std::abort();
    }
}

// In the child: give every signal the disposition a program started from a shell would
// have (but SIGHUP as asked), allow no core files, and run velmora, under the launcher
// named by VELMORA_TEST_LAUNCHER if it is set (for example "valgrind --error-exitcode=99").
[[noreturn]] void exec_velmora(hangup_signal hangup = hangup_signal::default_action) {
    for (const int signal_number : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGTSTP, SIGTTIN, SIGTTOU}) {
        std::signal(signal_number, SIG_DFL);
    }
    std::signal(SIGHUP, hangup == hangup_signal::ignored ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);

    std::vector<std::string> words;
    if (const char* launcher = std::getenv("VELMORA_TEST_LAUNCHER")) {
        std::istringstream split(launcher);
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
    }
    words.emplace_back(VELMORA_EXECUTABLE);
    std::vector<char*> arguments;
    arguments.reserve(words.size() + 1);
    for (std::string& word : words) {
        arguments.push_back(word.data());
    }
    arguments.push_back(nullptr);
    ::execvp(arguments[0], arguments.data());
    std::perror(arguments[0]);
    ::_exit(127);
}

// Reads one chunk from fd into collected, waiting until deadline; false when nothing came.
bool read_chunk(int fd, std::string& collected, clock::time_point deadline) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, milliseconds_until(deadline)) <= 0) {
        return false;
    }
    char chunk[4096];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) {
        return false;
    }
    collected.append(chunk, static_cast<std::size_t>(got));
    return true;
}

// Feeds the generated input to the child and collects its output until the output ends
// or time runs out.
std::string exchange(child_process& child, const input_generator& next_piece) {
    const clock::time_point deadline = clock::now() + patience;
    ::fcntl(child.input, F_SETFL, O_NONBLOCK);
    std::string_view unsent = next_piece();
    std::string output;
    while (milliseconds_until(deadline) > 0) {
        if (child.input >= 0 && unsent.empty()) {
            unsent = next_piece();
            if (unsent.empty()) {
                ::close(child.input);
                child.input = -1;
            }
        }
        pollfd ends[2] = {{child.output, POLLIN, 0}, {child.input, POLLOUT, 0}};
        const nfds_t count = child.input >= 0 ? 2 : 1;
        if (::poll(ends, count, milliseconds_until(deadline)) <= 0) {
            break;
        }
        if (count == 2 && (ends[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t wrote = ::write(child.input, unsent.data(), unsent.size());
            if (wrote > 0) {
                unsent.remove_prefix(static_cast<std::size_t>(wrote));
            } else {
                ::close(child.input);  // the program stopped reading
                child.input = -1;
            }
        }
        if ((ends[0].revents & (POLLIN | POLLHUP)) != 0 &&
            !read_chunk(child.output, output, deadline)) {
            break;
        }
    }
    return output;
}

}  // namespace

child_process start_without_terminal() {
    std::signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test
    int input[2];
    int output[2];
    make_pipe(input);
    make_pipe(output);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();  // a new session has no controlling terminal
        ::dup2(input[0], STDIN_FILENO);
        ::dup2(output[1], STDOUT_FILENO);
        exec_velmora();
    }
    ::close(input[0]);
    ::close(output[1]);
    return {pid, input[1], output[0], -1};
}

finished_run run_without_terminal(std::string_view input) {
    bool given = false;
    return run_without_terminal([&] {
        const bool first = !given;
        given = true;
        return first ? input : std::string_view();
    });
}

finished_run run_without_terminal(const input_generator& next_piece) {
    child_process child = start_without_terminal();
    std::string output = exchange(child, next_piece);
    struct rusage usage {};
    const std::optional<int> status = wait_for_exit(child.pid, &usage);
    close_descriptors(child);
    return {std::move(output), status.value_or(no_status), usage.ru_maxrss};
}

namespace {

// A new pseudo-terminal in mode; its master and replica are closed in programs the test starts.
void open_terminal(const termios& mode, int& master, int& replica) {
    termios initial = mode;
    if (::openpty(&master, &replica, nullptr, &initial, nullptr) != 0) {
        std::perror("openpty");
        std::abort();
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(replica, F_SETFD, FD_CLOEXEC);
}

}  // namespace

child_process start_in_terminal(const termios& mode, input_from source, hangup_signal hangup) {
    std::signal(SIGPIPE, SIG_IGN);
    int master = -1;
    int replica = -1;
    open_terminal(mode, master, replica);
    int input[2] = {-1, -1};
    if (source == input_from::pipe) {
        make_pipe(input);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::login_tty(replica);  // new session, replica as controlling terminal and fds 0, 1, 2
        if (source == input_from::pipe) {
            ::dup2(input[0], STDIN_FILENO);
        }
        exec_velmora(hangup);
    }
    if (source == input_from::pipe) {
        ::close(input[0]);
    }
    return {pid, input[1], master, replica};
}

termios interactive_mode() {
    termios mode{};
    mode.c_iflag = ICRNL | IXON;
    mode.c_oflag = 0;  // no output processing: the program's bytes arrive unchanged
    mode.c_cflag = CS8 | CREAD;
    mode.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN;
    mode.c_cc[VINTR] = 0x03;
    mode.c_cc[VQUIT] = 0x1c;
    mode.c_cc[VERASE] = 0x7f;
    mode.c_cc[VKILL] = 0x15;
    mode.c_cc[VEOF] = 0x04;
    mode.c_cc[VSUSP] = 0x1a;
    mode.c_cc[VSTART] = 0x11;
    mode.c_cc[VSTOP] = 0x13;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    cfsetispeed(&mode, B38400);
    cfsetospeed(&mode, B38400);
    return mode;
}

bool read_until(int fd, std::string_view marker, std::string& collected) {
    const clock::time_point deadline = clock::now() + patience;
    const std::size_t from = collected.size();
    while (collected.find(marker, from) == std::string::npos) {
        if (!read_chunk(fd, collected, deadline)) {
            return false;
        }
    }
    return true;
}

std::string read_until_quiet(int fd, std::chrono::milliseconds quiet_for) {
    std::string collected;
    while (read_chunk(fd, collected, clock::now() + quiet_for)) {
    }
    return collected;
}

void send(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
}

bool wait_for_non_canonical(int terminal) {
    const clock::time_point deadline = clock::now() + patience;
    termios mode{};
    while (clock::now() < deadline) {
        if (::tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ICANON) == 0) {
            return true;
        }
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

std::optional<int> wait_for_exit(pid_t pid, struct rusage* usage) {
    const clock::time_point deadline = clock::now() + patience;
    int status = 0;
    while (clock::now() < deadline) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, usage);
        if (done == pid) {
            return status;
        }
        if (done < 0 && errno != EINTR) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(2ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return std::nullopt;
}

void close_descriptors(child_process& child) {
    for (int* fd : {&child.input, &child.output, &child.terminal}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

namespace {

// What the job shell tells the test.
enum report_tag : int { job_pid_tag = 'p', acknowledged_tag = 'a', job_status_tag = 's' };

struct shell_report {
    int tag;
    int value;
};

// Commands the test gives the job shell.
constexpr char foreground_command = 'f';
constexpr char take_back_command = 'b';

// In the job shell: writes one report to the test.
void write_report(int fd, shell_report report) {
    if (::write(fd, &report, sizeof report) != sizeof report) {
        ::_exit(3);
    }
}

// In the job shell: carries out the test's commands until the job ends, then reports its
// wait status. A closed command pipe means the test is gone: the job is killed.
[[noreturn]] void serve_job(pid_t job, int control, int report) {
    for (;;) {
        pollfd command_ready{control, POLLIN, 0};
        if (::poll(&command_ready, 1, 5) > 0) {
            char command = 0;
            if (::read(control, &command, 1) <= 0) {
                ::kill(job, SIGKILL);
                ::_exit(1);
            }
            if (command == foreground_command) {
                ::tcsetpgrp(STDOUT_FILENO, job);
                ::kill(-job, SIGCONT);
            } else if (command == take_back_command) {
                ::tcsetpgrp(STDOUT_FILENO, ::getpgrp());
            }
            write_report(report, {acknowledged_tag, command});
        }
        int status = 0;
        if (::waitpid(job, &status, WNOHANG) == job) {
            write_report(report, {job_status_tag, status});
            ::_exit(0);
        }
    }
}

// In the child that leads the terminal's session: a minimal shell with job control that
// runs velmora as a job in a process group of its own.
[[noreturn]] void run_job_shell(int job_input, int control, int report, job_start start) {
    for (const int signal_number : {SIGTTOU, SIGTTIN, SIGTSTP, SIGINT, SIGQUIT}) {
        std::signal(signal_number, SIG_IGN);  // as an interactive shell does
    }
    const pid_t job = ::fork();
    if (job == 0) {
        ::setpgid(0, 0);
        if (start == job_start::foreground) {
            ::tcsetpgrp(STDOUT_FILENO, ::getpid());
        }
        ::dup2(job_input, STDIN_FILENO);
        exec_velmora();
    }
    ::setpgid(job, job);
    if (start == job_start::foreground) {
        ::tcsetpgrp(STDOUT_FILENO, job);
    }
    write_report(report, {job_pid_tag, job});
    serve_job(job, control, report);
}

// Reads the shell's next report, which must carry tag; nothing if the patience runs out.
std::optional<int> read_report(int fd, int tag) {
    pollfd ready{fd, POLLIN, 0};
    shell_report report{};
    if (::poll(&ready, 1, static_cast<int>(patience.count())) <= 0 ||
        ::read(fd, &report, sizeof report) != sizeof report || report.tag != tag) {
        return std::nullopt;
    }
    return report.value;
}

// Sends one command to the shell and waits for it to be carried out.
bool command_shell(terminal_job& job, char command) {
    send(job.control, std::string_view(&command, 1));
    return read_report(job.report, acknowledged_tag) == command;
}

}  // namespace

terminal_job start_job_in_terminal(const termios& mode, job_start start) {
    std::signal(SIGPIPE, SIG_IGN);
    int master = -1;
    int replica = -1;
    open_terminal(mode, master, replica);
    int job_input[2];
    int control[2];
    int report[2];
    make_pipe(job_input);
    make_pipe(control);
    make_pipe(report);
    const pid_t shell = ::fork();
    if (shell == 0) {
        ::login_tty(replica);
        run_job_shell(job_input[0], control[0], report[1], start);
    }
    ::close(job_input[0]);
    ::close(control[0]);
    ::close(report[1]);
    terminal_job job{{shell, job_input[1], master, replica}, -1, control[1], report[0]};
    job.pid = read_report(job.report, job_pid_tag).value_or(-1);
    return job;
}

bool give_terminal_to_job(terminal_job& job) {
    return command_shell(job, foreground_command);
}

bool take_terminal_back(terminal_job& job) {
    return command_shell(job, take_back_command);
}

std::optional<int> wait_for_job(terminal_job& job) {
    const std::optional<int> status = read_report(job.report, job_status_tag);
    if (status.has_value()) {
        wait_for_exit(job.shell.pid);
        job.shell.pid = -1;
    }
    return status;
}

void close_job(terminal_job& job) {
    if (job.shell.pid > 0) {
        if (job.pid > 0) {
            ::kill(job.pid, SIGKILL);
        }
        ::kill(job.shell.pid, SIGKILL);
        ::waitpid(job.shell.pid, nullptr, 0);
        job.shell.pid = -1;
    }
    close_descriptors(job.shell);
    for (int* fd : {&job.control, &job.report}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

namespace {

// The process's state letter from /proc (R, S, T for stopped, ...), or '?' once it is gone.
char process_state(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return '?';
    }
    const std::size_t name_end = line.rfind(')');
    return name_end != std::string::npos && name_end + 2 < line.size() ? line[name_end + 2] : '?';
}

}  // namespace

bool wait_for_state(pid_t pid, char state) {
    const clock::time_point deadline = clock::now() + patience;
    while (clock::now() < deadline) {
        if (process_state(pid) == state) {
            return true;
        }
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

bool same_mode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

std::string describe_mode(const termios& mode) {
    std::string text =
        "iflag=" + std::to_string(mode.c_iflag) + " oflag=" + std::to_string(mode.c_oflag) +
        " cflag=" + std::to_string(mode.c_cflag) + " lflag=" + std::to_string(mode.c_lflag);
    text += (mode.c_lflag & ICANON) != 0 ? " canonical" : " non-canonical";
    text += (mode.c_lflag & ECHO) != 0 ? " echo" : " no-echo";
    text +=
        " VMIN=" + std::to_string(mode.c_cc[VMIN]) + " VTIME=" + std::to_string(mode.c_cc[VTIME]);
    return text;
}

std::string describe_status(int wait_status) {
    if (wait_status == no_status) {
        return "did not end in time and was killed";
    }
    if (WIFEXITED(wait_status)) {
        return "exited with status " + std::to_string(WEXITSTATUS(wait_status));
    }
    if (WIFSIGNALED(wait_status)) {
        return std::string("killed by signal ") + strsignal(WTERMSIG(wait_status));
    }
    return "did not end (wait status " + std::to_string(wait_status) + ")";
}

bool exited_normally(int wait_status) {
    return WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 1;
}

}  // namespace velmora_test
