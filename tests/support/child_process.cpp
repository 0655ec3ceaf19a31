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
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

// Stops the test process when the test's own plumbing fails: nothing it tests could hold.
void require(bool holds, const char* what) {
    if (!holds) {
        std::perror(what);
        std::abort();
    }
}

// Sets O_NONBLOCK on fd's open file description, which a child's descriptor shares.
void make_nonblocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    require(flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0, "fcntl");
}

// An empty in-memory file, closed in programs the test starts.
int memory_file(const char* name) {
    const int fd = ::memfd_create(name, MFD_CLOEXEC);
    require(fd >= 0, "memfd_create");
    return fd;
}

// In the child: puts the standard input the setup asks for in place of its own.
void redirect_input(input_source input, const int pipe_ends[2]) {
    switch (input) {
        case input_source::pipe:
            ::dup2(pipe_ends[0], STDIN_FILENO);
            break;
        case input_source::directory: {
            const int directory = ::open("/", O_RDONLY | O_DIRECTORY);
            require(directory >= 0, "/");
            ::dup2(directory, STDIN_FILENO);
            break;
        }
        case input_source::closed:
            ::close(STDIN_FILENO);
            break;
    }
}

// In the child: limits the size of the files it writes; a write beyond the limit then fails
// instead of ending the program by SIGXFSZ.
void limit_file_size(rlim_t limit) {
    if (limit == RLIM_INFINITY) {
        return;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit file_size{limit, limit};
    require(::setrlimit(RLIMIT_FSIZE, &file_size) == 0, "setrlimit");
}

// In the child: puts the standard output the setup asks for in place of its own; for a file,
// the pipe's writing end stands for the file.
void redirect_output(output_to output, const int pipe_ends[2]) {
    switch (output) {
        case output_to::pipe:
        case output_to::file:
        case output_to::reader_gone:
            ::dup2(pipe_ends[1], STDOUT_FILENO);
            break;
        case output_to::full_disk: {
            const int full = ::open("/dev/full", O_WRONLY);
            require(full >= 0, "/dev/full");
            ::dup2(full, STDOUT_FILENO);
            break;
        }
        case output_to::closed:
            ::close(STDOUT_FILENO);
            break;
    }
}

// True when fd is open on a regular file.
bool is_regular_file(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
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

// Gives the generated input to fd until it is all given or fd stops taking it, then closes fd.
void feed(int fd, const input_generator& next_piece) {
    for (std::string_view piece = next_piece(); !piece.empty() && send(fd, piece);
         piece = next_piece()) {
    }
    ::close(fd);
}

// The fields of /proc/pid/<file>'s first line, or none once the process is gone.
std::vector<std::string> proc_fields(pid_t pid, const char* file) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    std::getline(in, line);
    std::istringstream split(line);
    std::vector<std::string> fields;
    for (std::string field; split >> field;) {
        fields.push_back(field);
    }
    return fields;
}

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

// True when no signal waits to be delivered to the process, to its thread or to the group.
bool no_signal_pending(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    bool seen = false;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigPnd:") || line.starts_with("ShdPnd:")) {
            seen = true;
            if (line.find_first_not_of("0\t ", line.find(':') + 1) != std::string::npos) {
                return false;
            }
        }
    }
    return seen;
}

// True when the process sleeps in read(2) on a descriptor other than standard input.
bool sleeps_reading_a_key(pid_t pid) {
    const std::vector<std::string> call = proc_fields(pid, "syscall");
    return process_state(pid) == 'S' && call.size() >= 2 && call[0] == std::to_string(SYS_read) &&
           call[1] != "0x0";
}

// Checks condition every few milliseconds until it holds; false if the patience runs out.
bool eventually(const std::function<bool()>& condition) {
    const clock::time_point deadline = clock::now() + patience;
    while (!condition()) {
        if (clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

}  // namespace

void make_pipe(int ends[2]) {
    require(::pipe2(ends, O_CLOEXEC) == 0, "pipe2");
}

void open_terminal(const termios& mode, int& master, int& replica) {
    termios initial = mode;
    require(::openpty(&master, &replica, nullptr, &initial, nullptr) == 0, "openpty");
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(replica, F_SETFD, FD_CLOEXEC);
}

[[noreturn]] void exec_velmora(hangup_signal hangup, broken_pipe_signal broken_pipe) {
    for (const int signal_number : {SIGINT, SIGQUIT, SIGTERM, SIGTSTP, SIGTTIN, SIGTTOU}) {
        std::signal(signal_number, SIG_DFL);
    }
    std::signal(SIGHUP, hangup == hangup_signal::ignored ? SIG_IGN : SIG_DFL);
    std::signal(SIGPIPE, broken_pipe == broken_pipe_signal::ignored ? SIG_IGN : SIG_DFL);
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
    const char* program = std::getenv("VELMORA_TEST_PROGRAM");
    words.emplace_back(program != nullptr ? program : VELMORA_EXECUTABLE);
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

child_process start_without_terminal(const stream_setup& setup) {
    std::signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test
    int input[2];
    int output[2];
    make_pipe(input);
    if (setup.output == output_to::file) {
        output[1] = memory_file("velmora-output");
        output[0] = ::dup(output[1]);
        require(output[0] >= 0, "dup");
    } else {
        make_pipe(output);
    }
    if (setup.nonblocking_input) {
        make_nonblocking(input[0]);
    }
    if (setup.nonblocking_output) {
        make_nonblocking(output[1]);
    }
    if (setup.output == output_to::reader_gone) {
        ::close(output[0]);
        output[0] = -1;
    }
    const int errors = memory_file("velmora-errors");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();  // a new session has no controlling terminal
        redirect_input(setup.input, input);
        redirect_output(setup.output, output);
        ::dup2(errors, STDERR_FILENO);
        limit_file_size(setup.file_size_limit);
        exec_velmora(hangup_signal::default_action, setup.broken_pipe);
    }
    ::close(input[0]);
    ::close(output[1]);
    if (setup.output != output_to::pipe && setup.output != output_to::file && output[0] >= 0) {
        ::close(output[0]);
        output[0] = -1;
    }
    return {pid, input[1], output[0], -1, -1, errors};
}

finished_run run_without_terminal(std::string_view input, const stream_setup& setup) {
    bool given = false;
    return run_without_terminal(
        [&] {
            const bool first = !given;
            given = true;
            return first ? input : std::string_view();
        },
        setup);
}

finished_run run_without_terminal(const input_generator& next_piece, const stream_setup& setup) {
    child_process child = start_without_terminal(setup);
    std::thread writer(feed, child.input, std::cref(next_piece));
    child.input = -1;  // the writer closes it
    finished_run run = finish_run(child);
    writer.join();  // the child is gone, so the writer's last write has failed if not done
    return run;
}

finished_run finish_run(child_process& child, std::string output_so_far) {
    // A file is read whole once the child has ended; a pipe is read until it ends.
    const bool into_file = child.output >= 0 && is_regular_file(child.output);
    if (child.output >= 0 && !into_file) {
        output_so_far += read_to_end(child.output);
    }
    struct rusage usage {};
    const std::optional<int> status = wait_for_exit(child.pid, &usage);
    if (into_file) {
        output_so_far = read_file(child.output);
    }
    const std::string errors = child.errors >= 0 ? read_file(child.errors) : "";
    close_descriptors(child);
    return {std::move(output_so_far), errors, status.value_or(no_status), usage.ru_maxrss};
}

child_process start_in_terminal(const termios& mode, const terminal_setup& setup) {
    std::signal(SIGPIPE, SIG_IGN);
    int master = -1;
    int replica = -1;
    open_terminal(mode, master, replica);
    int input[2] = {-1, -1};
    if (setup.input == input_from::pipe) {
        make_pipe(input);
    }
    int output[2] = {-1, -1};
    if (setup.output == terminal_output::pager) {
        make_pipe(output);
    } else if (setup.output == terminal_output::file) {
        output[1] = memory_file("velmora-output");
        output[0] = ::dup(output[1]);
        require(output[0] >= 0, "dup");
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::login_tty(replica);  // new session, replica as controlling terminal and fds 0, 1, 2
        if (input[0] >= 0) {
            ::dup2(input[0], STDIN_FILENO);
        }
        if (output[1] >= 0) {
            ::dup2(output[1], STDOUT_FILENO);
        }
        exec_velmora(setup.hangup);
    }
    for (const int child_end : {input[0], output[1]}) {
        if (child_end >= 0) {
            ::close(child_end);
        }
    }
    return {pid, input[1], output[0], master, replica, -1};
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
    mode.c_cc[VLNEXT] = 0x16;
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

std::string read_to_end(int fd) {
    const clock::time_point deadline = clock::now() + patience;
    std::string collected;
    while (read_chunk(fd, collected, deadline)) {
    }
    return collected;
}

std::string read_file(int fd) {
    std::string content;
    char chunk[4096];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, chunk, sizeof chunk, offset);
        if (got <= 0) {
            return content;
        }
        content.append(chunk, static_cast<std::size_t>(got));
        offset += got;
    }
}

bool send(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

bool wait_for_non_canonical(int terminal) {
    return eventually([terminal] {
        termios mode{};
        return ::tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ICANON) == 0;
    });
}

bool wait_until_blocked_on_key(pid_t pid) {
    return eventually([pid] { return sleeps_reading_a_key(pid) && no_signal_pending(pid); });
}

bool wait_for_state(pid_t pid, char state) {
    return eventually([pid, state] { return process_state(pid) == state; });
}

std::optional<int> wait_for_exit(pid_t pid, struct rusage* usage) {
    int status = 0;
    pid_t done = 0;
    const bool ended = eventually([&] {
        done = ::wait4(pid, &status, WNOHANG, usage);
        return done == pid || (done < 0 && errno != EINTR);
    });
    if (ended) {
        return done == pid ? std::optional<int>(status) : std::nullopt;
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return std::nullopt;
}

void close_descriptors(child_process& child) {
    for (int* fd : {&child.input, &child.output, &child.master, &child.terminal, &child.errors}) {
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
