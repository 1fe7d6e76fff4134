// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LanguageTable.h"

#include "platform/Numbers.h"

#include <SimpleIni.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace tw {
namespace {

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
    m_table.clear();
    CSimpleIniA ini;
    if (!loadIni(ini, installDir / ("lang." + code)))
        return;
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
        m_table[*number] = value ? value : "";
    }
}

std::string LanguageTable::text(int number) const
{
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
        languages.push_back({ini.GetValue("Header", "langCode", ""), ini.GetValue("Header", "langName", "")});
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
