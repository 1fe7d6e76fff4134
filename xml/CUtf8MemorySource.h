// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/CUtf8Decoder.h"

#include <string_view>

namespace tw {

// Decodes XML bytes held in memory (a zip member, a network response).
class CUtf8MemorySource final : public CUtf8Decoder {
public:
    explicit CUtf8MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    long long bytesRead() const { return m_pos ? m_pos - reinterpret_cast<const unsigned char*>(m_bytes.data()) : 0; }

protected:
    bool refill() override
    {
        if (m_given || m_bytes.empty())
            return false;
        m_given = true;
        m_pos = reinterpret_cast<const unsigned char*>(m_bytes.data());
        m_end = m_pos + m_bytes.size();
        return true;
    }

private:
    std::string_view m_bytes;
    bool m_given = false;
};

} // namespace tw
