// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/CUtf8Decoder.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace tw {

// Decodes UTF-8 bytes that a read function hands over a buffer at a time,
// such as a zip member inflated while it is parsed: the whole input is never
// held. The function fills up to size bytes and returns how many it gave,
// 0 at the end of the input and a negative number when reading failed; both
// end the input.
class CUtf8StreamSource final : public CUtf8Decoder {
public:
    using ReadFunction = std::function<long long(unsigned char* buffer, std::size_t size)>;

    explicit CUtf8StreamSource(ReadFunction read);

    // The read function reported a failure: the input ended early.
    bool failed() const { return m_failed; }
    long long bytesRead() const { return m_filled - (m_end - m_pos); }

protected:
    bool refill() override;

private:
    ReadFunction m_read;
    std::vector<unsigned char> m_buffer;
    long long m_filled = 0;
    bool m_ended = false;
    bool m_failed = false;
};

} // namespace tw
