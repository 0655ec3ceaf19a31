#include "child_process.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

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
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// A pipe whose ends are closed in any program the test process starts.
void make_pipe(int ends[2]) {
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        std::abort();
    }
}

// In the child: undo what the test process set that a program would not expect, then run velmora.
[[noreturn]] void exec_velmora() {
    std::signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execl(VELMORA_EXECUTABLE, "velmora", static_cast<char*>(nullptr));
    std::perror("execl " VELMORA_EXECUTABLE);
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

// Feeds input to the child and collects its output until the output ends or time runs out.
std::string exchange(child_process& child, std::string_view input) {
    const clock::time_point deadline = clock::now() + patience;
    ::fcntl(child.input, F_SETFL, O_NONBLOCK);
    std::string output;
    while (milliseconds_until(deadline) > 0) {
        pollfd ends[2] = {{child.output, POLLIN, 0}, {child.input, POLLOUT, 0}};
        const nfds_t count = child.input >= 0 ? 2 : 1;
        if (::poll(ends, count, milliseconds_until(deadline)) <= 0) {
            break;
        }
        if (count == 2 && (ends[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t wrote = ::write(child.input, input.data(), input.size());
            if (wrote > 0) {
                input.remove_prefix(static_cast<std::size_t>(wrote));
            }
            if (wrote < 0 || input.empty()) {
                ::close(child.input);
                child.input = -1;
            }
        }
        if ((ends[0].revents & (POLLIN | POLLHUP)) != 0 && !read_chunk(child.output, output, deadline)) {
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
    child_process child = start_without_terminal();
    std::string output = exchange(child, input);
    const std::optional<int> status = wait_for_exit(child.pid);
    close_descriptors(child);
    return {std::move(output), status.value_or(no_status)};
}

child_process start_in_terminal(const termios& mode, input_from source) {
    std::signal(SIGPIPE, SIG_IGN);
    int master = -1;
    int replica = -1;
    termios initial = mode;
    if (::openpty(&master, &replica, nullptr, &initial, nullptr) != 0) {
        std::perror("openpty");
        std::abort();
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(replica, F_SETFD, FD_CLOEXEC);
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
        exec_velmora();
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

std::optional<int> wait_for_exit(pid_t pid) {
    const clock::time_point deadline = clock::now() + patience;
    int status = 0;
    while (clock::now() < deadline) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
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

bool same_mode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

std::string describe_mode(const termios& mode) {
    std::string text = "iflag=" + std::to_string(mode.c_iflag) + " oflag=" + std::to_string(mode.c_oflag) +
                       " cflag=" + std::to_string(mode.c_cflag) + " lflag=" + std::to_string(mode.c_lflag);
    text += (mode.c_lflag & ICANON) != 0 ? " canonical" : " non-canonical";
    text += (mode.c_lflag & ECHO) != 0 ? " echo" : " no-echo";
    text += " VMIN=" + std::to_string(mode.c_cc[VMIN]) + " VTIME=" + std::to_string(mode.c_cc[VTIME]);
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
