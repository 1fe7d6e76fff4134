// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tw {

// Cuts the byte stream of a receiver into sentences. A sentence starts at
// '$' and ends at LF (a CR before it is dropped); bytes outside a sentence
// are noise and dropped, and a '$' inside one starts over, so binary
// messages that some receivers mix into the stream never spoil the next
// sentence.
class NmeaLineAssembler {
public:
    static constexpr std::size_t kCapacity = 256;

    enum class Result { None, Line, Overflow };

    // Line: line() holds the sentence until the next push. Overflow: a
    // sentence ran over kCapacity bytes without a line end and was dropped.
    Result push(char c);
    std::string_view line() const { return {m_buffer.data(), m_lineLength}; }
    void clear() { m_length = 0; }

private:
    std::array<char, kCapacity> m_buffer{};
    std::size_t m_length = 0;
    std::size_t m_lineLength = 0;
};

} // namespace tw
