// The closing key wait: one key from the controlling terminal, read in
// non-canonical mode with echo off, the terminal's own mode put back on every
// way out: the key, a read error or hangup, and the signals that end or stop
// the program while it waits.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include "console.hpp"

namespace velmora {

namespace {

// The controlling terminal while the key wait runs, or -1.
int keyboard = -1;

// The terminal's mode as it was when the key wait last took the terminal over.
termios saved_mode{};

// Nonzero while the terminal may be in single-key mode and saved_mode must be put back.
volatile std::sig_atomic_t mode_changed = 0;

// Every signal the key wait handles; held off while the mode changes outside a handler,
// and while any of the handlers runs.
sigset_t handled_signals;

// The signal mask as it was before the key wait.
sigset_t previous_mask;

// The single-key mode made from a terminal's mode: every key arrives at once, unseen
// and unaltered. Async-signal-safe.
termios single_key_mode_from(const termios& mode) {
    termios single_key = mode;
    single_key.c_lflag &= ~static_cast<tcflag_t>(ICANON      // no line editing: no Enter needed
                                                 | ECHO      // the key is not shown
                                                 | ISIG      // Ctrl-C, Ctrl-Z, Ctrl-\ are keys too
                                                 | IEXTEN);  // so are Ctrl-V and Ctrl-O
    single_key.c_iflag &= ~static_cast<tcflag_t>(IXON);      // and Ctrl-S and Ctrl-Q
    single_key.c_cc[VMIN] = 1;   // a read returns as soon as one byte is there
    single_key.c_cc[VTIME] = 0;  // and waits for it without a timer
    return single_key;
}

// Takes the terminal over if the process is in its foreground: saves the mode it has now
// and switches to single-key mode, discarding keys typed before. A background process
// leaves the terminal, which is the shell's, alone. Async-signal-safe.
void enter_single_key_mode() {
    if (::tcgetpgrp(keyboard) != ::getpgrp() || ::tcgetattr(keyboard, &saved_mode) != 0) {
        return;
    }
    const termios single_key = single_key_mode_from(saved_mode);
    mode_changed = 1;               // set first: a signal from here on puts the mode back
    ::tcflush(keyboard, TCIFLUSH);  // before the mode changes, so no key after it is lost
    ::tcsetattr(keyboard, TCSANOW, &single_key);
}

// Puts the saved mode back if the key wait may have changed it, discarding any bytes
// left from the key (an arrow key sends several). The one way the mode is restored.
// Neither this nor entering the mode waits for output to drain, so a terminal that
// takes no output cannot hold a signal handler up. Async-signal-safe.
void restore_keyboard_mode() {
    if (mode_changed == 0) {
        return;
    }
    ::tcflush(keyboard, TCIFLUSH);
    ::tcsetattr(keyboard, TCSANOW, &saved_mode);
    mode_changed = 0;
}

// Runs a mode change outside a handler with the handled signals held off, so that no
// handler ever finds it half done.
void with_signals_held(void (*change_mode)()) {
    sigset_t mask;
    ::sigprocmask(SIG_BLOCK, &handled_signals, &mask);
    change_mode();
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);
}

// Sets the action for one signal, holding off every handled signal while a handler runs.
// Async-signal-safe.
void set_signal_action(int signal_number, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = handled_signals;
    ::sigaction(signal_number, &action, previous);
}

// Lets one signal through the mask of the running handler. Async-signal-safe.
void unblock_signal(int signal_number) {
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    ::sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
}

// Handler for a signal that ends the program: restore the mode, then end by the same
// signal, so that the exit status still names it.
extern "C" void end_after_restoring(int signal_number) {
    restore_keyboard_mode();
    set_signal_action(signal_number, SIG_DFL, nullptr);
    ::raise(signal_number);  // delivered as soon as this handler returns
}

// Handler for a signal that stops the program: restore the mode, stop, and once continued
// take the terminal over again if the program is back in the foreground.
extern "C" void stop_after_restoring(int signal_number) {
    const int saved_errno = errno;
    restore_keyboard_mode();
    set_signal_action(signal_number, SIG_DFL, nullptr);
    unblock_signal(signal_number);
    ::raise(signal_number);  // the program stops here until it is continued
    set_signal_action(signal_number, stop_after_restoring, nullptr);
    enter_single_key_mode();
    errno = saved_errno;
}

// A signal the key wait handles, its handler, and its disposition before the wait.
struct signal_handling {
    int number;
    void (*handler)(int);
    struct sigaction previous;
};

signal_handling signal_handlings[] = {
    {SIGINT, end_after_restoring, {}},   {SIGTERM, end_after_restoring, {}},
    {SIGHUP, end_after_restoring, {}},   {SIGQUIT, end_after_restoring, {}},
    {SIGTSTP, stop_after_restoring, {}}, {SIGTTIN, stop_after_restoring, {}},
};

// Installs the key wait's handlers; a signal that was ignored (as under nohup) stays ignored.
void install_signal_handlers() {
    sigemptyset(&handled_signals);
    for (const signal_handling& handling : signal_handlings) {
        sigaddset(&handled_signals, handling.number);
    }
    for (signal_handling& handling : signal_handlings) {
        set_signal_action(handling.number, handling.handler, &handling.previous);
        if (handling.previous.sa_handler == SIG_IGN) {
            ::sigaction(handling.number, &handling.previous, nullptr);
        }
    }
}

// Puts back the signal dispositions that the key wait replaced.
void remove_signal_handlers() {
    for (const signal_handling& handling : signal_handlings) {
        ::sigaction(handling.number, &handling.previous, nullptr);
    }
}

// Blocks SIGTTOU for the whole wait, so that setting the mode from a background process
// group (after the shell has taken the terminal back) does not stop the program.
void block_terminal_output_stops() {
    sigset_t ttou;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    ::sigprocmask(SIG_BLOCK, &ttou, &previous_mask);
}

// Blocks until one byte arrives; a read error or hangup ends the wait, EINTR retries.
void read_one_key() {
    char key = 0;
    while (::read(keyboard, &key, 1) < 0 && errno == EINTR) {
    }
}

// The key wait proper, on the open controlling terminal.
void wait_in_single_key_mode() {
    block_terminal_output_stops();
    install_signal_handlers();
    with_signals_held(enter_single_key_mode);
    read_one_key();
    with_signals_held(restore_keyboard_mode);
    remove_signal_handlers();
    ::sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
}

}  // namespace

void wait_for_key() {
    std::fflush(stdout);
    // /dev/tty is the controlling terminal whatever standard input is; without one
    // there is no keyboard to wait for.
    keyboard = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keyboard < 0) {
        return;
    }
    if (::isatty(keyboard) != 0) {
        wait_in_single_key_mode();
    }
    ::close(keyboard);
    keyboard = -1;
}

}  // namespace velmora
