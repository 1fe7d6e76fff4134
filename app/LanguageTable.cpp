// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LanguageTable.h"

#include "platform/Numbers.h"

#include <SimpleIni.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the well-formed UTF-8 character at the start of s; 0 when it is
// not one (a stray continuation byte, a cut or overlong sequence, a
// surrogate, beyond U+10FFFF).
std::size_t utf8CharLength(std::string_view s)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

// The text as kept: every byte that does not form a UTF-8 character becomes
// U+FFFD, and the text ends before the character that would pass the limit.
std::string cleanText(std::string_view raw)
{
    constexpr std::size_t kMaxEntryBytes = LanguageTable::kMaxEntryBytes;
    std::string out;
    out.reserve(std::min(raw.size(), kMaxEntryBytes));
    while (!raw.empty()) {
        const std::size_t n = utf8CharLength(raw);
        const std::string_view piece = n > 0 ? raw.substr(0, n) : kReplacement;
        if (out.size() + piece.size() > kMaxEntryBytes)
            break;
        out += piece;
        raw.remove_prefix(n > 0 ? n : 1);
    }
    return out;
}

bool loadIni(CSimpleIniA& ini, const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    const std::string bytes = content.str();
    ini.SetUnicode(true);
    // Quoted values keep their leading and trailing blanks, which texts that
    // are joined with others (a path between two halves) need.
    ini.SetQuotes(true);
    return ini.LoadData(bytes.data(), bytes.size()) >= 0;
}

} // namespace

void LanguageTable::loadTable(const fs::path& installDir, const std::string& code)
{
    std::map<int, std::string> table;
    CSimpleIniA ini;
    if (loadIni(ini, installDir / ("lang." + code))) {
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys("StringTable", keys);
        keys.sort(CSimpleIniA::Entry::LoadOrder());
        // In file order, so that of two keys naming one number ("12", "12a")
        // the later wins.
        for (const auto& key : keys) {
            const auto number = num::leadingInt(key.pItem);
            if (!number)
                continue;
            const char* value = ini.GetValue("StringTable", key.pItem, "");
            table[*number] = cleanText(value ? value : "");
        }
    }
    std::lock_guard lock(m_mutex);
    m_table = std::move(table);
}

std::string LanguageTable::textOr(int number, std::string_view fallback) const
{
    std::string shown = text(number);
    return shown.empty() ? std::string(fallback) : shown;
}

bool LanguageTable::empty() const
{
    std::lock_guard lock(m_mutex);
    return m_table.empty();
}

std::string LanguageTable::text(int number) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_table.find(number);
    return it == m_table.end() ? std::string() : it->second;
}

std::vector<LanguageTable::Language> LanguageTable::listLanguages(const fs::path& installDir)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(installDir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("lang.", 0) == 0 && name.size() > 5 && entry.is_regular_file(ec))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<Language> languages;
    for (const auto& file : files) {
        CSimpleIniA ini;
        loadIni(ini, file);
        languages.push_back({cleanText(ini.GetValue("Header", "langCode", "")),
                             cleanText(ini.GetValue("Header", "langName", ""))});
    }
    return languages;
}

int LanguageTable::selectedIndex(const std::vector<Language>& languages, const std::string& code)
{
    int selected = 0;
    for (std::size_t i = 0; i < languages.size(); ++i)
        if (languages[i].code.substr(0, 2) == code.substr(0, 2))
            selected = static_cast<int>(i);
    return selected;
}

std::string LanguageTable::codeAt(const std::vector<Language>& languages, int index)
{
    if (index < 0 || index >= static_cast<int>(languages.size()))
        return {};
    return languages[static_cast<std::size_t>(index)].code.substr(0, 2);
}

} // namespace tw
