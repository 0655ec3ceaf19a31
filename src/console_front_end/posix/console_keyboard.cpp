// The closing key wait on a POSIX terminal: one key from the controlling
// terminal, read in non-canonical mode with echo off, the terminal's own mode
// put back on every way out: the key, a read error or hangup, and every signal
// that ends or stops the program while it waits.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "standard_streams.hpp"

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

// Each signal's disposition before the key wait, and whether the wait replaced it.
struct sigaction previous_actions[NSIG];
bool replaced[NSIG];

// The single-key mode made from a terminal's mode: every key arrives at once, unseen
// and unaltered. Async-signal-safe.
termios single_key_mode_from(const termios& mode) {
    termios single_key = mode;
    single_key.c_lflag &= ~static_cast<tcflag_t>(ICANON      // no line editing: no Enter needed
                                                 | ECHO      // the key is not shown
                                                 | ISIG      // Ctrl-C, Ctrl-Z, Ctrl-\ are keys too
                                                 | IEXTEN);  // so is Ctrl-V, where the system
                                                             // reads it even without line editing
    single_key.c_iflag &= ~static_cast<tcflag_t>(IXON);      // and Ctrl-S and Ctrl-Q
    single_key.c_cc[VMIN] = 1;   // a read returns as soon as one byte is there
    single_key.c_cc[VTIME] = 0;  // and waits for it without a timer
    return single_key;
}

// True when the terminal reads keys one at a time without echo, as asked: a terminal may
// accept a mode change in part. Async-signal-safe.
bool single_key_mode_is_set() {
    termios now{};
    return ::tcgetattr(keyboard, &now) == 0 && (now.c_lflag & (ICANON | ECHO)) == 0;
}

// Takes the terminal over if the process is in its foreground: saves the mode it has now
// and switches to single-key mode, discarding keys typed before. A background process
// leaves the terminal, which is the shell's, alone; it is taken over once the process is
// continued in the foreground. False when the terminal refuses. Async-signal-safe.
bool enter_single_key_mode() {
    if (::tcgetpgrp(keyboard) != ::getpgrp()) {
        return true;
    }
    if (::tcgetattr(keyboard, &saved_mode) != 0) {
        return false;
    }
    const termios single_key = single_key_mode_from(saved_mode);
    mode_changed = 1;  // set first: a signal from here on puts the mode back
    // Type-ahead goes before the mode changes, so that no key pressed after it is lost.
    return ::tcflush(keyboard, TCIFLUSH) == 0 && ::tcsetattr(keyboard, TCSANOW, &single_key) == 0 &&
           single_key_mode_is_set();
}

// Puts the saved mode back if the key wait may have changed it, discarding any bytes
// left from the key (an arrow key sends several). The one way the mode is restored.
// Neither this nor entering the mode waits for output to drain, so a terminal that
// takes no output cannot hold a signal handler up. False when the terminal refuses.
// Async-signal-safe.
bool restore_keyboard_mode() {
    if (mode_changed == 0) {
        return true;
    }
    mode_changed = 0;
    const bool flushed = ::tcflush(keyboard, TCIFLUSH) == 0;
    return ::tcsetattr(keyboard, TCSANOW, &saved_mode) == 0 && flushed;
}

// Runs a mode change outside a handler with the handled signals held off, so that no
// handler ever finds it half done; gives the change's result.
bool with_signals_held(bool (*change_mode)()) {
    sigset_t mask;
    ::sigprocmask(SIG_BLOCK, &handled_signals, &mask);
    const bool changed = change_mode();
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);
    return changed;
}

// Sets the action for one signal, holding off every handled signal while a handler runs.
// Async-signal-safe.
void set_signal_action(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = handled_signals;
    ::sigaction(signal_number, &action, nullptr);
}

// Lets one signal through the mask of the running handler. Async-signal-safe.
void unblock_signal(int signal_number) {
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    ::sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
}

// Handler for a signal that ends the program: restore the mode, then end by the same
// signal, so that the exit status still names it, and a core is kept where the signal
// leaves one.
void end_after_restoring(int signal_number) {
    restore_keyboard_mode();
    set_signal_action(signal_number, SIG_DFL);
    ::raise(signal_number);  // delivered as soon as this handler returns
}

// Handler for a signal that stops the program: restore the mode, stop, and once continued
// take the terminal over again if the program is back in the foreground.
void stop_after_restoring(int signal_number) {
    const int saved_errno = errno;
    restore_keyboard_mode();
    set_signal_action(signal_number, SIG_DFL);
    unblock_signal(signal_number);
    ::raise(signal_number);  // the program stops here until it is continued
    set_signal_action(signal_number, stop_after_restoring);
    enter_single_key_mode();
    errno = saved_errno;
}

// The key wait's handler for a signal: stopping for the stop signals of the keyboard and
// of terminal input, ending for every signal whose default action ends the process, and
// none for the rest: those that cannot be caught, those whose default is to go on, and
// SIGTTOU, which is blocked for the whole wait.
void (*handler_for(int signal_number))(int) {
    switch (signal_number) {
        case SIGTSTP:
        case SIGTTIN:
            return stop_after_restoring;
        case SIGKILL:
        case SIGSTOP:
        case SIGTTOU:
        case SIGCHLD:
        case SIGCONT:
        case SIGURG:
        case SIGWINCH:
            return nullptr;
        default:
            return end_after_restoring;
    }
}

// Installs the key wait's handlers. Each signal's disposition is looked at first, and one
// that was ignored (as under nohup) is left ignored; signals the C library keeps for
// itself refuse to be looked at and are left alone.
void install_signal_handlers() {
    sigemptyset(&handled_signals);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        if (handler_for(signal_number) != nullptr) {
            sigaddset(&handled_signals, signal_number);
        }
    }
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        replaced[signal_number] =
            sigismember(&handled_signals, signal_number) == 1 &&
            ::sigaction(signal_number, nullptr, &previous_actions[signal_number]) == 0 &&
            previous_actions[signal_number].sa_handler != SIG_IGN;
        if (replaced[signal_number]) {
            set_signal_action(signal_number, handler_for(signal_number));
        }
    }
}

// Puts back the signal dispositions that the key wait replaced.
void remove_signal_handlers() {
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        if (replaced[signal_number]) {
            ::sigaction(signal_number, &previous_actions[signal_number], nullptr);
        }
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

// The key wait proper, on the open controlling terminal. A terminal that refuses
// single-key mode is not waited on: no key could be read as the closing message promises.
void wait_in_single_key_mode() {
    block_terminal_output_stops();
    install_signal_handlers();
    if (with_signals_held(enter_single_key_mode)) {
        read_one_key();
    }
    const bool restored = with_signals_held(restore_keyboard_mode);
    const int restore_error = errno;
    remove_signal_handlers();
    ::sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
    if (!restored) {
        end_after_stream_failure("cannot restore the terminal's mode",
                                 std::strerror(restore_error));
    }
}

// True when standard output is the controlling terminal, so that the closing message is
// on the screen of the keyboard the key is read from. Not so when the output goes to a
// file or to a pager, which reads the same keyboard itself. Only the controlling terminal
// tells its foreground process group, whichever group asks.
bool output_is_controlling_terminal() {
    return ::tcgetpgrp(STDOUT_FILENO) != -1;
}

}  // namespace

void wait_for_key_press() {
    if (!output_is_controlling_terminal()) {
        return;
    }
    // /dev/tty is the controlling terminal opened for reading, whatever standard input is.
    keyboard = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keyboard < 0) {
        return;
    }
    wait_in_single_key_mode();
    ::close(keyboard);  // only read from: nothing written can be lost by a failed close
    keyboard = -1;
}

}  // namespace velmora
