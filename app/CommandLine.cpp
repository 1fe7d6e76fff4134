// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

namespace tw {

void CTarnwickCommandLine::ParseParam(const std::string& raw)
{
    // '/' is no switch here: it starts every absolute path.
    std::string word = raw;
    if (word.size() > 1 && word[0] == '-')
        word.erase(0, word.size() > 2 && word[1] == '-' ? 2 : 1);

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
