// Standard input, output and error as POSIX descriptors. A descriptor that the
// program was started with may be non-blocking (some launchers leave it so):
// then the program waits until it is ready instead of taking "try again" for
// the end of input or a failed write.
#include "standard_streams.hpp"

#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

// True for the error of a non-blocking descriptor that is not ready yet.
bool is_not_ready(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// Waits until descriptor is ready for events; false, with errno set, when it cannot wait.
bool wait_until_ready(int descriptor, short events) {
    pollfd ready{descriptor, events, 0};
    for (;;) {
        const int count = ::poll(&ready, 1, -1);
        if (count > 0) {
            return true;
        }
        if (count < 0 && errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

std::size_t read_standard_input(std::span<char> into) {
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, into.data(), into.size());
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno == EINTR || (is_not_ready(errno) && wait_until_ready(STDIN_FILENO, POLLIN))) {
            continue;
        }
        end_after_stream_failure("cannot read standard input", std::strerror(errno));
    }
}

void write_standard_output(std::span<const char> bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (wrote > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(wrote));
            continue;
        }
        if (wrote < 0 &&
            (errno == EINTR || (is_not_ready(errno) && wait_until_ready(STDOUT_FILENO, POLLOUT)))) {
            continue;
        }
        end_after_stream_failure("cannot write standard output",
                                 wrote < 0 ? std::strerror(errno) : "no byte was taken");
    }
}

void write_standard_error(std::string_view text) {
    while (!text.empty()) {
        const ssize_t wrote = ::write(STDERR_FILENO, text.data(), text.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return;  // standard error is the last place a failure can be told
        }
        text.remove_prefix(static_cast<std::size_t>(wrote));
    }
}

}  // namespace velmora
