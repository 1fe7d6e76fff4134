// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/CXmlCharSource.h"

#include <algorithm>
#include <string_view>

namespace tw {

// Walks a UTF-16 text that the caller keeps alive.
class CWideStringSource final : public CXmlCharSource {
public:
    explicit CWideStringSource(std::u16string_view text) : m_pos(text.data()), m_end(text.data() + text.size()) {}
    char16_t GetChar() override { return m_pos < m_end ? *m_pos++ : u'\0'; }
    std::size_t getChars(char16_t* out, std::size_t max) override
    {
        char16_t* o = out;
        while (o == out && m_pos < m_end) {
            const std::size_t n = std::min(max, static_cast<std::size_t>(m_end - m_pos));
            o = std::remove_copy(m_pos, m_pos + n, out, u'\0');
            m_pos += n;
        }
        return static_cast<std::size_t>(o - out);
    }

private:
    const char16_t* m_pos;
    const char16_t* m_end;
};

} // namespace tw
