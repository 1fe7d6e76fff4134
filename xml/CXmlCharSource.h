// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace tw {

// Where the XML tokenizer reads its characters from, one UTF-16 code unit at
// a time. 0 means "end of input" from GetChar; a source may also return 0
// for a NUL in the data and go on after it when asked again. Bad input that
// is not a NUL comes out as U+FFFD.
class CXmlCharSource {
public:
    virtual ~CXmlCharSource() = default;
    virtual char16_t GetChar() = 0;
    // Up to max units at once; 0 only at the end of the input. A NUL, which
    // XML does not allow anywhere, is left out. The tokenizer reads through
    // this.
    virtual std::size_t getChars(char16_t* out, std::size_t max)
    {
        const char16_t c = GetChar();
        if (c == 0 || max == 0)
            return 0;
        out[0] = c;
        return 1;
    }
};

} // namespace tw
