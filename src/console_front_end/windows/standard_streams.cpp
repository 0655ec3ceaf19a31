// Standard input, output and error as Windows handles, read and written with
// ReadFile and WriteFile rather than through the C library's text mode: the
// bytes pass unchanged both ways, with no CR added before LF and no Ctrl-Z in a
// file or pipe taken for the end of input, as on every other system.
#include "standard_streams.hpp"

#include <windows.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "windows/system_errors.hpp"

namespace velmora {

namespace {

// At most as many bytes as one ReadFile or WriteFile call takes.
DWORD call_size(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
}

}  // namespace

const char* system_error_text(DWORD error) {
    static std::array<char, 256> text{};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                         0, text.data(), static_cast<DWORD>(text.size()), nullptr);
    if (length == 0) {
        return "unknown error";
    }
    std::size_t end = length;
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == ' ')) {
        --end;
    }
    text[end] = '\0';
    return text.data();
}

std::size_t read_standard_input(std::span<char> into) {
    DWORD got = 0;
    if (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), into.data(), call_size(into.size()), &got,
                   nullptr) != 0) {
        return got;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
        return 0;  // the writing end of the pipe was closed: the end of input
    }
    end_after_stream_failure("cannot read standard input", system_error_text(error));
}

void write_standard_output(std::span<const char> bytes) {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    while (!bytes.empty()) {
        DWORD wrote = 0;
        if (::WriteFile(output, bytes.data(), call_size(bytes.size()), &wrote, nullptr) == 0) {
            end_after_stream_failure("cannot write standard output",
                                     system_error_text(::GetLastError()));
        }
        if (wrote == 0) {
            end_after_stream_failure("cannot write standard output", "no byte was taken");
        }
        bytes = bytes.subspan(wrote);
    }
}

void write_standard_error(std::string_view text) {
    const HANDLE errors = ::GetStdHandle(STD_ERROR_HANDLE);
    while (!text.empty()) {
        DWORD wrote = 0;
        if (::WriteFile(errors, text.data(), call_size(text.size()), &wrote, nullptr) == 0 ||
            wrote == 0) {
            return;  // standard error is the last place a failure can be told
        }
        text.remove_prefix(wrote);
    }
}

}  // namespace velmora
