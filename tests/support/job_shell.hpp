// The built velmora run as a job under a minimal job-control shell in a new
// pseudo-terminal, so that stop signals stop it as they would under a real shell.
#pragma once

#include <optional>

#include <sys/types.h>
#include <termios.h>

#include "child_process.hpp"

namespace velmora_test {

// Whether a job starts in the terminal's foreground or in the background.
enum class job_start { foreground, background };

// The shell and its job: velmora, its standard input a pipe, its output the terminal.
struct terminal_job {
    child_process shell;  // the shell; its master and terminal are the pseudo-terminal's,
                          // its input is the job's standard input pipe
    pid_t pid;            // the job: velmora
    int control;          // commands to the shell
    int report;  // the shell's answers: the job's pid, command acknowledgements, its wait status
};

// Starts the program as a job of a new shell in a new pseudo-terminal set to mode.
terminal_job start_job_in_terminal(const termios& mode, job_start start);

// Gives the terminal to the job and continues it, as the shell's fg does.
bool give_terminal_to_job(terminal_job& job);

// Gives the terminal back to the shell, as a shell does when its job stops.
bool take_terminal_back(terminal_job& job);

// Waits for the job to end and gives its wait status; nothing if the patience runs out.
std::optional<int> wait_for_job(terminal_job& job);

// Ends the shell and the job if they still run, and closes every descriptor.
void close_job(terminal_job& job);

}  // namespace velmora_test
