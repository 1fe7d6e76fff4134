// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace tw {

// The batch words of the command line: "fn", "tgpx", "tkml", "tplt", "tdel",
// "i <file>" (import) and "e <file>" (export the filtered caches), the
// online words "dl <code>..." (download caches by code), "near <lat> <lon>"
// (the nearest caches) and "refresh" (fresh data of the saved filter's
// caches), "find <query>" (print the caches whose texts match), and the
// window's "show <code>" (open that cache's listing) and "map" (open the map
// over the cache list), and "visits [FOLDER|FILE]" (read the visits of a
// handheld GPS, or of a visits file, as field notes), and "send [folder]"
// (the filtered caches onto a handheld unit: the one at folder, else the
// configured or the first one mounted), and "png LAT LON ZOOM WxH FILE
// [SOURCE]" (a picture of the map there), and "pdf CODE|all FILE" (the
// printed sheet of a cache, or of every cache of the saved filter).
// Words compare exactly, with or without a leading '-' or "--".
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
    int openMap = 0;
    int download = 0;
    std::vector<std::string> downloadCodes; // upper case
    int nearest = 0;
    std::string nearLat, nearLon;          // as given; empty when missing
    int refresh = 0;
    int visits = 0;
    std::string visitsPlace; // empty: the first unit found
    int find = 0;
    std::string findQuery; // the word after "find", as given
    int send = 0;
    std::string sendFolder; // empty: the configured unit or the first one found
    int picture = 0;
    // The words after "png" as given: latitude, longitude, zoom, size and
    // file, then the source when one is named.
    std::vector<std::string> pictureArgs;
    int sheets = 0;
    // The words after "pdf" as given: the code or "all", and the file.
    std::vector<std::string> sheetArgs;
    std::string lastWord;
    // Words that are none of the above, nor the argument of one, as given.
    // A batch run refuses them; a window run leaves them to Qt.
    std::vector<std::string> unknownWords;

    void ParseParam(const std::string& word);
    // Every word after the program name.
    void parse(const std::vector<std::string>& words);
    // True when a batch word asks for work without a window.
    bool isBatch() const
    {
        return fieldNotes || trackExport || trackDelete || import || exportGpx || download || nearest || refresh ||
               visits || find || send || picture || sheets;
    }

private:
    int m_nearArgs = 0; // coordinates still expected after "near"
    int m_pictureArgs = 0; // words still expected after "png"; the source may follow
    int m_sheetArgs = 0;   // words still expected after "pdf"
    bool m_codes = false; // the words after "dl" are codes
};

} // namespace tw
