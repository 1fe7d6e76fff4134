// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/CUtf8StreamSource.h"

namespace tw {
namespace {

constexpr std::size_t kStreamBufferBytes = 64 * 1024;

} // namespace

CUtf8StreamSource::CUtf8StreamSource(ReadFunction read) : m_read(std::move(read)), m_buffer(kStreamBufferBytes) {}

bool CUtf8StreamSource::refill()
{
    if (m_ended)
        return false;
    const long long n = m_read(m_buffer.data(), m_buffer.size());
    if (n <= 0) {
        m_ended = true;
        m_failed = n < 0;
        return false;
    }
    m_filled += n;
    m_pos = m_buffer.data();
    m_end = m_pos + n;
    return true;
}

} // namespace tw
