// The closing key wait on a Windows console: one key from the console's own
// input (CONIN$), whatever standard input is, with line input, echo and the
// system's handling of Ctrl-C off, and the console's input mode put back on
// every way out: the key, a failed read, and the console's control events
// (Ctrl-Break, the window closed, logoff, shutdown).
#include <windows.h>

#include "standard_streams.hpp"
#include "windows/system_errors.hpp"

namespace velmora {

namespace {

// The console's input while the key wait runs.
HANDLE keyboard = INVALID_HANDLE_VALUE;

// The console's input mode as it was before the key wait.
DWORD saved_mode = 0;

// Nonzero while the console may be in single-key mode and saved_mode must be put back;
// the control handler runs on a thread of its own, so it is exchanged atomically.
volatile LONG mode_changed = 0;

// The single-key mode made from a console's input mode: every key arrives at once as an
// input event, unseen, Ctrl-C among them.
DWORD single_key_mode_from(DWORD mode) {
    return mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT    // no line editing: no Enter needed
                                      | ENABLE_ECHO_INPUT  // the key is not shown
                                      | ENABLE_PROCESSED_INPUT);  // Ctrl-C is a key, not a signal
}

// Puts the saved mode back if the key wait may have changed it, discarding the events
// left from the key (its release, the further characters of an arrow key). The one way
// the mode is restored; safe from the control handler's thread. False when the console
// refuses.
bool restore_keyboard_mode() {
    if (::InterlockedExchange(&mode_changed, 0) == 0) {
        return true;
    }
    const bool flushed = ::FlushConsoleInputBuffer(keyboard) != 0;
    return ::SetConsoleMode(keyboard, saved_mode) != 0 && flushed;
}

// Control handler: puts the mode back, then lets the next handler, in the end the
// system's, end the process as it would have.
BOOL WINAPI restore_on_control_event(DWORD) {
    restore_keyboard_mode();
    return FALSE;
}

// Saves the console's mode and switches it to single-key mode, discarding keys typed
// before. False when the console refuses.
bool enter_single_key_mode() {
    if (::GetConsoleMode(keyboard, &saved_mode) == 0) {
        return false;
    }
    ::InterlockedExchange(&mode_changed, 1);  // set first: a control event now puts it back
    // Type-ahead goes before the mode changes, so that no key pressed after it is lost.
    return ::FlushConsoleInputBuffer(keyboard) != 0 &&
           ::SetConsoleMode(keyboard, single_key_mode_from(saved_mode)) != 0;
}

// True for the key of a modifier or a lock, which a user does not press on its own to
// answer "Press any key".
bool is_bare_modifier(WORD virtual_key) {
    switch (virtual_key) {
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_CAPITAL:
        case VK_NUMLOCK:
            return true;
        default:
            return false;
    }
}

// True for the event of a key pressed that answers the wait.
bool is_key_press(const INPUT_RECORD& event) {
    return event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown != 0 &&
           !is_bare_modifier(event.Event.KeyEvent.wVirtualKeyCode);
}

// Reads input events until a key is pressed; a failed read ends the wait.
void read_one_key() {
    INPUT_RECORD event{};
    DWORD count = 0;
    while (::ReadConsoleInputW(keyboard, &event, 1, &count) != 0) {
        if (count == 1 && is_key_press(event)) {
            return;
        }
    }
}

// The key wait proper, on the open console input. A console that refuses single-key
// mode is not waited on: no key could be read as the closing message promises.
void wait_in_single_key_mode() {
    const bool handled = ::SetConsoleCtrlHandler(restore_on_control_event, TRUE) != 0;
    if (handled && enter_single_key_mode()) {
        read_one_key();
    }
    const bool restored = restore_keyboard_mode();
    const DWORD restore_error = ::GetLastError();
    if (handled) {
        ::SetConsoleCtrlHandler(restore_on_control_event, FALSE);
    }
    if (!restored) {
        end_after_stream_failure("cannot restore the console's mode",
                                 system_error_text(restore_error));
    }
}

// True when standard output is a console, so that the closing message is on a screen.
// Not so for a file, a pipe or NUL, which other tests can mistake for a console.
bool output_is_console() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace

void wait_for_key_press() {
    if (!output_is_console()) {
        return;
    }
    // CONIN$ is the console's input whatever standard input is; opened for writing too,
    // which changing its mode needs. Without a console there is no keyboard to wait for.
    keyboard =
        ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (keyboard == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD mode = 0;
    if (::GetConsoleMode(keyboard, &mode) != 0) {
        wait_in_single_key_mode();
    }
    ::CloseHandle(keyboard);  // only read from: nothing written can be lost by a failed close
    keyboard = INVALID_HANDLE_VALUE;
}

}  // namespace velmora
