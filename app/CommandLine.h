// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace tw {

// The batch words of the command line: "fn", "tgpx", "tkml", "tplt", "tdel",
// "i <file>" (import) and "e <file>" (export the filtered caches), and the
// window's "show <code>" (open that cache's listing). Words compare exactly,
// with or without a leading '-' or "--".
class CTarnwickCommandLine {
public:
    int fieldNotes = 0;
    int trackExport = 0;
    int trackGpx = 0;
    int trackKml = 0;
    int trackPlt = 0;
    int trackDelete = 0;
    int import = 0;
    int exportGpx = 0;
    std::string importFile;
    std::string exportFile;
    std::string showCode;
    std::string lastWord;

    void ParseParam(const std::string& word);
    // Every word after the program name.
    void parse(const std::vector<std::string>& words);
    // True when a batch word asks for work without a window.
    bool isBatch() const { return fieldNotes || trackExport || trackDelete || import || exportGpx; }
};

} // namespace tw
