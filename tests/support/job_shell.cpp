#include "job_shell.hpp"

#include <csignal>
#include <string_view>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

namespace velmora_test {

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

// In the job shell: carries out one command from the test.
void carry_out(char command, pid_t job) {
    if (command == foreground_command) {
        ::tcsetpgrp(STDOUT_FILENO, job);
        ::kill(-job, SIGCONT);
    } else if (command == take_back_command) {
        ::tcsetpgrp(STDOUT_FILENO, ::getpgrp());
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
            carry_out(command, job);
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
    return send(job.control, std::string_view(&command, 1)) &&
           read_report(job.report, acknowledged_tag) == command;
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
    terminal_job job{{shell, job_input[1], -1, master, replica, -1}, -1, control[1], report[0]};
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

}  // namespace velmora_test
