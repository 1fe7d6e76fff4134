// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

namespace tw {

// Writes data as one zlib stream of a single deflate block with the fixed
// Huffman codes, found by a greedy one-probe match search. It compresses
// short texts about a tenth worse than a full compressor but several times
// faster: it has no tables to clear and no codes to build per call, which
// for a log of a few hundred bytes is most of the work. Any zlib reader
// inflates it. out's room is used again.
void deflateFixed(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out);

} // namespace tw
