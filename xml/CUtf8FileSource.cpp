// SPDX-License-Identifier: GPL-3.0-or-later
#include "xml/CUtf8FileSource.h"

namespace tw {
namespace {

constexpr std::size_t kReadBufferBytes = 64 * 1024;

} // namespace

CUtf8FileSource::CUtf8FileSource(const std::filesystem::path& path)
    : m_file(std::fopen(path.c_str(), "rb")), m_buffer(kReadBufferBytes)
{
}

CUtf8FileSource::~CUtf8FileSource()
{
    if (m_file)
        std::fclose(m_file);
}

bool CUtf8FileSource::refill()
{
    if (!m_file)
        return false;
    const std::size_t n = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    if (n == 0)
        return false;
    m_filled += static_cast<long long>(n);
    m_pos = m_buffer.data();
    m_end = m_pos + n;
    return true;
}

} // namespace tw
