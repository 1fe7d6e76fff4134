// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CTarnwickCommandLine.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tw {
namespace {

bool isBatchWord(const std::string& word)
{
    static const std::array<const char*, 16> words = {"fn",   "tgpx",    "tkml",   "tplt",   "tdel", "i",    "e",   "show",
                                                      "dl",   "near",    "refresh", "visits", "find", "send", "png", "pdf"};
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return word == w; });
}

} // namespace

void CTarnwickCommandLine::ParseParam(const std::string& raw)
{
    // '/' is no switch here: it starts every absolute path.
    std::string word = raw;
    if (word.size() > 1 && word[0] == '-')
        word.erase(0, word.size() > 2 && word[1] == '-' ? 2 : 1);

    // The two words after "near" are coordinates, a negative one included.
    if (m_nearArgs > 0) {
        (m_nearArgs == 2 ? nearLat : nearLon) = raw;
        --m_nearArgs;
        return;
    }
    // The five words after "png" are its values, a negative one included;
    // a sixth names the source unless it is a word of its own.
    if (m_pictureArgs > 0) {
        pictureArgs.push_back(raw);
        --m_pictureArgs;
        if (m_pictureArgs == 0)
            lastWord = "png";
        return;
    }
    // The two words after "pdf" are the code (or "all") and the file,
    // whatever they read like.
    if (m_sheetArgs > 0) {
        sheetArgs.push_back(raw);
        --m_sheetArgs;
        return;
    }
    if (lastWord == "png" && pictureArgs.size() == 5 && !isBatchWord(word) && word != "map") {
        pictureArgs.push_back(raw);
        lastWord.clear();
        return;
    }
    // The words after "dl" are cache codes, up to the next batch word.
    if (m_codes && !isBatchWord(word)) {
        std::string code = raw;
        std::transform(code.begin(), code.end(), code.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        downloadCodes.push_back(code);
        return;
    }
    m_codes = false;

    // The word after "visits" names the unit or the file, unless it is
    // another batch word.
    if (lastWord == "visits" && visitsPlace.empty() && !isBatchWord(word) && word != "map") {
        visitsPlace = raw;
        lastWord.clear();
        return;
    }
    // The word after "find" is the query, whatever it reads like ("-word"
    // excludes a word).
    if (lastWord == "find" && find && findQuery.empty()) {
        findQuery = raw;
        lastWord.clear();
        return;
    }
    // The word after "show" is a cache code, whatever it reads like.
    if (lastWord == "show" && showCode.empty()) {
        showCode = raw;
        lastWord.clear();
        return;
    }
    if (word == "fn") {
        fieldNotes = 1;
    } else if (word == "tgpx") {
        trackGpx = trackExport = 1;
    } else if (word == "tkml") {
        trackKml = trackExport = 1;
    } else if (word == "tplt") {
        trackPlt = trackExport = 1;
    } else if (word == "tdel") {
        trackDelete = 1;
    } else if (word == "i") {
        import = 1;
    } else if (word == "e") {
        exportGpx = 1;
    } else if (word == "dl") {
        download = 1;
        m_codes = true;
    } else if (word == "near") {
        nearest = 1;
        m_nearArgs = 2;
    } else if (word == "refresh") {
        refresh = 1;
    } else if (word == "visits") {
        visits = 1;
    } else if (word == "find") {
        find = 1;
    } else if (word == "send") {
        send = 1;
    } else if (word == "png") {
        picture = 1;
        m_pictureArgs = 5;
        return;
    } else if (word == "pdf") {
        sheets = 1;
        m_sheetArgs = 2;
        lastWord = word;
        return;
    } else if (word == "map") {
        openMap = 1;
    } else if (lastWord == "send" && sendFolder.empty()) {
        // The word after "send", when it is no word of its own, names the unit.
        sendFolder = raw;
        lastWord.clear();
        return;
    } else if (lastWord != "i" && (lastWord != "e" || !exportFile.empty())) {
        unknownWords.push_back(raw);
    }
    // The word after "i" or "e" names the file, and is kept as given.
    if (lastWord == "i")
        importFile = raw;
    else if (lastWord == "e" && exportFile.empty())
        exportFile = raw;
    else
        lastWord = word;
}

void CTarnwickCommandLine::parse(const std::vector<std::string>& words)
{
    for (const auto& w : words)
        ParseParam(w);
}

} // namespace tw
