// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/NmeaLineAssembler.h"

namespace tw {

NmeaLineAssembler::Result NmeaLineAssembler::push(char c)
{
    if (c == '$') {
        m_length = 0;
    } else if (m_length == 0) {
        return Result::None;
    } else if (c == '\n') {
        std::size_t n = m_length;
        if (n > 0 && m_buffer[n - 1] == '\r')
            --n;
        m_lineLength = n;
        m_length = 0;
        return Result::Line;
    }
    if (m_length == kCapacity) {
        m_length = 0;
        return Result::Overflow;
    }
    m_buffer[m_length++] = c;
    return Result::None;
}

} // namespace tw
