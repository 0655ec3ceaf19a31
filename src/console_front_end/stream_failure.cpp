#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "standard_streams.hpp"

namespace velmora {

void end_after_stream_failure(const char* failure, const char* reason) {
    std::array<char, 256> line{};
    const int length =
        std::snprintf(line.data(), line.size(), "velmora: %s: %s\n", failure, reason);
    if (length > 0) {
        // A reason too long for the line is cut short; the line still ends with a line end.
        const auto kept = std::min(static_cast<std::size_t>(length), line.size() - 1);
        line[kept - 1] = '\n';
        write_standard_error(std::string_view(line.data(), kept));
    }
    std::exit(stream_failure_exit_status);
}

}  // namespace velmora
