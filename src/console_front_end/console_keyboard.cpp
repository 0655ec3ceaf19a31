// The closing key wait: one key from the controlling terminal, read in
// non-canonical mode with echo off, the terminal's own mode put back after.
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "console.hpp"

namespace velmora {

namespace {

// The controlling terminal while the key wait runs, or -1.
int keyboard = -1;

// The terminal's mode as it was before the key wait changed it.
termios saved_mode{};

// True while the terminal is in the key wait's mode and saved_mode must be put back.
bool mode_changed = false;

// Saves the keyboard's mode and switches it to single-key reading; false if the terminal refused.
bool enter_single_key_mode() {
    if (::tcgetattr(keyboard, &saved_mode) != 0) {
        return false;
    }
    termios single_key = saved_mode;
    single_key.c_lflag &= ~static_cast<tcflag_t>(ICANON  // bytes arrive at once, no Enter needed
                                                 | ECHO);  // the key is not shown
    single_key.c_cc[VMIN] = 1;   // a read returns as soon as one byte is there
    single_key.c_cc[VTIME] = 0;  // and waits for it without a timer
    if (::tcsetattr(keyboard, TCSANOW, &single_key) != 0) {
        return false;
    }
    mode_changed = true;
    return true;
}

// Puts the saved mode back if the key wait changed it; safe to call more than once.
void restore_keyboard_mode() {
    if (!mode_changed) {
        return;
    }
    mode_changed = false;
    ::tcsetattr(keyboard, TCSANOW, &saved_mode);
}

// Blocks until one byte arrives; returns on a read error or hangup too, so it never spins.
void read_one_key() {
    char key = 0;
    while (::read(keyboard, &key, 1) < 0 && errno == EINTR) {
    }
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
    if (enter_single_key_mode()) {
        read_one_key();
        restore_keyboard_mode();
    }
    ::close(keyboard);
    keyboard = -1;
}

}  // namespace velmora
