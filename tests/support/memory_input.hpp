// Input held in memory for the token reader, given out piece by piece as a
// pipe gives what was written to it: one read never spans two pieces, and
// takes no more than the reader has room for.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace velmora_test {

// The pieces still to be read; each view must outlive its reading.
inline std::vector<std::string_view> unread_pieces;

// The index of the piece read next.
inline std::size_t next_piece = 0;

// Makes pieces the input read_from_memory gives next, from the first.
inline void give_pieces(std::vector<std::string_view> pieces) {
    unread_pieces = std::move(pieces);
    next_piece = 0;
}

// A block reader over the pieces: the next bytes of the current piece, or 0 when all are read.
inline std::size_t read_from_memory(std::span<char> into) {
    while (next_piece < unread_pieces.size() && unread_pieces[next_piece].empty()) {
        ++next_piece;
    }
    if (next_piece == unread_pieces.size()) {
        return 0;
    }
    std::string_view& piece = unread_pieces[next_piece];
    const std::size_t count = std::min(piece.size(), into.size());
    std::copy_n(piece.data(), count, into.data());
    piece.remove_prefix(count);
    return count;
}

}  // namespace velmora_test
