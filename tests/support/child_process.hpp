// Starting the built velmora as a child process and talking to it: on pipes
// with no controlling terminal, or in a fresh pseudo-terminal.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sys/resource.h>
#include <sys/types.h>
#include <termios.h>

namespace velmora_test {

using namespace std::chrono_literals;

// How long any one step waits for the program before the test gives up on it.
inline constexpr std::chrono::milliseconds patience = 10s;

// The wait status of a run that had to be killed for taking too long.
inline constexpr int no_status = -1;

// A finished run: everything written to standard output, the wait status, and the
// program's peak resident memory as the kernel accounted it.
struct finished_run {
    std::string output;
    int wait_status;
    long peak_memory_kb;
};

// Runs the program on input given through a pipe, in a session of its own with no
// controlling terminal; kills it if it runs longer than the patience allows.
finished_run run_without_terminal(std::string_view input);

// Gives the next piece of a long input, valid until the next call, or an empty piece
// once it is all given.
using input_generator = std::function<std::string_view()>;

// As above, with the input made piece by piece as the program takes it, so that the test
// never holds it whole. The peak memory the kernel reports for the child includes this
// process's own at the time of the fork, so a test comparing peaks keeps itself small.
finished_run run_without_terminal(const input_generator& next_piece);

// A running child: the pid and the parent's ends of its descriptors (-1 where unused).
struct child_process {
    pid_t pid;
    int input;     // write end of the child's standard input pipe
    int output;    // read end of its standard output (the pipe, or the terminal's master)
    int terminal;  // the pseudo-terminal's replica, kept open for inspecting its mode
};

// Starts the program on pipes, in a session of its own with no controlling terminal.
child_process start_without_terminal();

// How a program started in a pseudo-terminal gets its standard input.
enum class input_from { terminal, pipe };

// What the program inherits for SIGHUP: the default action, or ignored as under nohup.
enum class hangup_signal { default_action, ignored };

// Starts the program in a new pseudo-terminal set to mode, which becomes its controlling
// terminal and its standard output; standard input is the terminal or a pipe. The program
// leads the terminal's session, so its process group is orphaned: stop signals with their
// default action do not stop it.
child_process start_in_terminal(const termios& mode, input_from source,
                                hangup_signal hangup = hangup_signal::default_action);

// Whether a job starts in the terminal's foreground or in the background.
enum class job_start { foreground, background };

// The program run as a job under a minimal job-control shell in a new pseudo-terminal,
// so that stop signals stop it as they would under a real shell.
struct terminal_job {
    child_process shell;  // the shell; its output and terminal are the pseudo-terminal's,
                          // its input is the job's standard input pipe
    pid_t pid;            // the job: velmora
    int control;          // commands to the shell
    int report;  // the shell's answers: the job's pid, command acknowledgements, its wait status
};

// Starts the program as a job, its standard input a pipe, its output the terminal.
terminal_job start_job_in_terminal(const termios& mode, job_start start);

// Gives the terminal to the job and continues it, as the shell's fg does.
bool give_terminal_to_job(terminal_job& job);

// Gives the terminal back to the shell, as a shell does when its job stops.
bool take_terminal_back(terminal_job& job);

// Waits for the job to end and gives its wait status; nothing if the patience runs out.
std::optional<int> wait_for_job(terminal_job& job);

// Ends the shell and the job if they still run, and closes every descriptor.
void close_job(terminal_job& job);

// Polls until the process is in state; false if the patience runs out.
bool wait_for_state(pid_t pid, char state);

// A typical interactive terminal mode: canonical, echo on, no output processing.
termios interactive_mode();

// Reads from fd into collected until marker appears in what this call read; false if the patience
// runs out or the output ends first.
bool read_until(int fd, std::string_view marker, std::string& collected);

// Reads whatever arrives on fd until nothing has come for quiet_for, or the output ends.
std::string read_until_quiet(int fd, std::chrono::milliseconds quiet_for = 200ms);

// Writes all of bytes to fd.
void send(int fd, std::string_view bytes);

// Polls the terminal until its mode has ICANON off; false if the patience runs out.
bool wait_for_non_canonical(int terminal);

// Waits for the child to end and gives its wait status; kills it and gives nothing if
// the patience runs out. With usage given, the child's resource usage is stored there.
std::optional<int> wait_for_exit(pid_t pid, struct rusage* usage = nullptr);

// Closes every descriptor of the child that the parent still holds.
void close_descriptors(child_process& child);

// True when two terminal modes agree in every flag, control character and speed.
bool same_mode(const termios& a, const termios& b);

// A readable account of a mode's flags, for failure messages.
std::string describe_mode(const termios& mode);

// A readable account of a wait status, for failure messages.
std::string describe_status(int wait_status);

// True for a wait status of a normal exit with status 1.
bool exited_normally(int wait_status);

}  // namespace velmora_test
