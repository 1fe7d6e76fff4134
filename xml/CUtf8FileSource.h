// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/CUtf8Decoder.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace tw {

// Decodes an XML file through a read buffer. A file that cannot be opened
// reads as empty.
class CUtf8FileSource final : public CUtf8Decoder {
public:
    explicit CUtf8FileSource(const std::filesystem::path& path);
    ~CUtf8FileSource() override;

    bool isOpen() const { return m_file != nullptr; }
    // Bytes consumed so far (for progress on large files).
    long long bytesRead() const { return m_filled - (m_end - m_pos); }

protected:
    bool refill() override;

private:
    std::FILE* m_file = nullptr;
    std::vector<unsigned char> m_buffer;
    long long m_filled = 0;
};

} // namespace tw
