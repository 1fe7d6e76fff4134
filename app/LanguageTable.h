// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include "platform/TextLookup.h"

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The language's way of writing a date, for geo::formatDate: "%d.%m.%Y" in
// Czech, "%m/%d/%Y" in English. Dates follow the program's language, never
// the system's locale.
inline constexpr int kTextDatePattern = 1101;
inline constexpr const char* kDefaultDatePattern = "%d.%m.%Y";

// The texts the program shows, looked up by number from the language file
// "lang.<code>" in the installation folder. A missing file or entry gives
// empty text and is never reported. Texts are kept as well-formed UTF-8 of
// at most kMaxEntryBytes. The GPS reader and the long jobs look texts up on
// their own threads while the window thread may load the table again.
class LanguageTable final : public TextLookup {
public:
    // Far above any caption or message. A widget lays out its whole text
    // whenever it is sized, which takes seconds for a megabyte: a longer
    // entry is cut at a character boundary.
    static constexpr std::size_t kMaxEntryBytes = 4096;

    struct Language {
        std::string code; // two characters
        std::string name;
    };

    // Rebuilds the table from installDir/lang.<code>.
    void loadTable(const std::filesystem::path& installDir, const std::string& code);
    // The entry's text, empty when absent.
    std::string text(int number) const;
    // The entry's text, or fallback when absent: for failures whose text
    // also tells the caller that something failed.
    std::string textOr(int number, std::string_view fallback) const override;
    bool empty() const;
    // The date pattern of the loaded language (kTextDatePattern).
    std::string datePattern() const { return textOr(kTextDatePattern, kDefaultDatePattern); }

    // Every installed language file, in file-name order.
    static std::vector<Language> listLanguages(const std::filesystem::path& installDir);
    // Index of the entry to select for the current code: the last match, or 0.
    static int selectedIndex(const std::vector<Language>& languages, const std::string& code);
    // The language code of list entry index; empty when out of range.
    static std::string codeAt(const std::vector<Language>& languages, int index);

private:
    mutable std::mutex m_mutex;
    std::map<int, std::string> m_table;
};

} // namespace tw
