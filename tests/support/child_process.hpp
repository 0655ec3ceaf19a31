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

// A finished run: everything written to standard output and standard error, the wait
// status, and the program's peak resident memory as the kernel accounted it.
struct finished_run {
    std::string output;
    std::string errors;
    int wait_status;
    long peak_memory_kb;
};

// Gives the next piece of a long input, valid until the next call, or an empty piece
// once it is all given.
using input_generator = std::function<std::string_view()>;

// Where the program's standard output goes when it runs without a terminal.
enum class output_to {
    pipe,         // a pipe the test reads
    file,         // a file the test reads, as large as file_size_limit allows
    full_disk,    // /dev/full, where every write fails for want of space
    closed,       // nowhere: the descriptor is closed
    reader_gone,  // a pipe whose reading end is already closed
};

// Where the program's standard input comes from when it runs without a terminal.
enum class input_source {
    pipe,       // a pipe the test writes
    directory,  // a directory, which cannot be read as a stream of bytes
    closed,     // nowhere: the descriptor is closed
};

// What the program inherits for SIGPIPE: the default action, or ignored by its parent.
enum class broken_pipe_signal { default_action, ignored };

// How a program started without a terminal gets its standard streams. Standard error is
// always kept for the test to read.
struct stream_setup {
    input_source input = input_source::pipe;
    output_to output = output_to::pipe;
    broken_pipe_signal broken_pipe = broken_pipe_signal::default_action;
    bool nonblocking_input = false;   // the input pipe left non-blocking, as some launchers do
    bool nonblocking_output = false;  // the output pipe left non-blocking
    rlim_t file_size_limit = RLIM_INFINITY;  // the most any file may hold, with SIGXFSZ ignored
};

// A running child: the pid and the test's ends of its descriptors (-1 where unused).
struct child_process {
    pid_t pid;
    int input;     // write end of the child's standard input pipe
    int output;    // read end of its standard output, when that is a pipe or a file
    int master;    // the pseudo-terminal's master: keys typed go in, the screen comes out
    int terminal;  // the pseudo-terminal's replica, kept open for inspecting its mode
    int errors;    // a file holding what it wrote to standard error
};

// Starts the program in a session of its own with no controlling terminal.
child_process start_without_terminal(const stream_setup& setup = {});

// Runs the program without a terminal on input given through a pipe; kills it if it runs
// longer than the patience allows.
finished_run run_without_terminal(std::string_view input, const stream_setup& setup = {});

// As above, with the input made piece by piece as the program takes it, so that the test
// never holds it whole; once the program has ended, the rest is not given. The peak
// memory the kernel reports for the child includes this process's own at the time of the
// fork, so a test comparing peaks keeps itself small.
finished_run run_without_terminal(const input_generator& next_piece,
                                  const stream_setup& setup = {});

// Reads the rest of the child's standard output after output_so_far, waits for the child
// to end (killing it if the patience runs out), gathers what it wrote to standard error,
// and closes the test's descriptors.
finished_run finish_run(child_process& child, std::string output_so_far = {});

// How a program started in a pseudo-terminal gets its standard input.
enum class input_from { terminal, pipe };

// Where a program started in a pseudo-terminal sends its standard output.
enum class terminal_output {
    screen,  // the terminal itself
    pager,   // a pipe, as into a pager that reads the same terminal's keys
    file,    // a file
};

// What the program inherits for SIGHUP: the default action, or ignored as under nohup.
enum class hangup_signal { default_action, ignored };

// How a program started in a pseudo-terminal gets its standard streams.
struct terminal_setup {
    input_from input = input_from::pipe;
    terminal_output output = terminal_output::screen;
    hangup_signal hangup = hangup_signal::default_action;
};

// Starts the program in a new pseudo-terminal set to mode, which becomes its controlling
// terminal and its standard error, and its standard input and output unless the setup
// says otherwise. The program leads the terminal's session, so its process group is
// orphaned: stop signals with their default action do not stop it.
child_process start_in_terminal(const termios& mode, const terminal_setup& setup = {});

// A typical interactive terminal mode: canonical, echo on, no output processing.
termios interactive_mode();

// Reads from fd into collected until marker appears in what this call read; false if the
// patience runs out or the output ends first.
bool read_until(int fd, std::string_view marker, std::string& collected);

// Reads whatever arrives on fd until nothing has come for quiet_for, or the output ends.
std::string read_until_quiet(int fd, std::chrono::milliseconds quiet_for = 200ms);

// Reads everything from fd until it ends; stops early if the patience runs out.
std::string read_to_end(int fd);

// Reads the whole of a file from its start.
std::string read_file(int fd);

// Writes all of bytes to fd; false if fd stopped taking them.
bool send(int fd, std::string_view bytes);

// Polls the terminal until its mode has ICANON off; false if the patience runs out.
bool wait_for_non_canonical(int terminal);

// Polls until the process sleeps in a read of a descriptor other than standard input, with
// no signal pending: the key wait has nothing to read, so no key typed before it began,
// and no signal sent to it, has ended it. False if the patience runs out.
bool wait_until_blocked_on_key(pid_t pid);

// Polls until the process is in state (R, S, T for stopped, Z once it has ended); false if
// the patience runs out.
bool wait_for_state(pid_t pid, char state);

// Waits for the child to end and gives its wait status; kills it and gives nothing if
// the patience runs out. With usage given, the child's resource usage is stored there.
std::optional<int> wait_for_exit(pid_t pid, struct rusage* usage = nullptr);

// Closes every descriptor of the child that the test still holds.
void close_descriptors(child_process& child);

// In a child about to become velmora: gives every signal the disposition a program
// started from a shell would have, but SIGHUP and SIGPIPE as asked, allows no core files,
// and runs velmora, under the launcher named by VELMORA_TEST_LAUNCHER if it is set (for
// example "valgrind --error-exitcode=99", or "wine" with VELMORA_TEST_PROGRAM naming
// another build of the program, velmora.exe).
[[noreturn]] void exec_velmora(hangup_signal hangup = hangup_signal::default_action,
                               broken_pipe_signal broken_pipe = broken_pipe_signal::default_action);

// A pipe whose ends are closed in any program the test process starts.
void make_pipe(int ends[2]);

// A new pseudo-terminal in mode; its master and replica are closed in programs the test starts.
void open_terminal(const termios& mode, int& master, int& replica);

// True when two terminal modes agree in every flag, control character and speed.
bool same_mode(const termios& a, const termios& b);

// A readable account of a mode's flags, for failure messages.
std::string describe_mode(const termios& mode);

// A readable account of a wait status, for failure messages.
std::string describe_status(int wait_status);

// True for a wait status of a normal exit with status 1.
bool exited_normally(int wait_status);

}  // namespace velmora_test
