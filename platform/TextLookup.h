// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tw {

// The language table as the layers below the program see it. A layer that
// shows a message of its own looks it up by its number and keeps the English
// text beside the number, for a table that lacks the entry (no language
// file, a file of an older version). Lookups may come from any thread.
class TextLookup {
public:
    // The entry's text, or fallback when the table has none.
    virtual std::string textOr(int number, std::string_view fallback) const = 0;

protected:
    ~TextLookup() = default;
};

// No table at all: every lookup gives its English fallback.
inline const TextLookup& englishTexts()
{
    struct English final : TextLookup {
        std::string textOr(int, std::string_view fallback) const override { return std::string(fallback); }
    };
    static const English english;
    return english;
}

} // namespace tw
