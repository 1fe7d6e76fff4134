// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/VisibleText.h"
#include "geo/LatLon.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What the printed sheet of one cache says, every text ready to set: the
// listing reduced to words and pictures, in the user's language and
// coordinate style. The sheet painter lays it out; nothing here draws.
namespace tw {

class CGlobalData;

namespace listing {
struct Listing;
}

namespace sheet {

// At most this many logs go on a sheet, the newest.
inline constexpr std::size_t kLogsOnSheet = 5;

struct Waypoint {
    std::string prefix;
    std::string type;
    std::string name;
    std::string coords; // empty when the waypoint has no position
    std::string note;   // the description the file gave it, then the user's note
    std::optional<geo::LatLon> at;
};

struct Log {
    std::string heading; // date, type and finder
    std::string text;    // the words, images left out
};

struct Picture {
    std::filesystem::path file; // an existing file of the offline folder
    std::string caption;        // may be empty
};

// A block of a description: text, or a picture kept offline.
struct Piece {
    TextBlock::Kind kind = TextBlock::Kind::Paragraph;
    std::string text;
    std::filesystem::path image; // set for Kind::Image
};

// The captions of the sheet's parts, from the language table.
struct Labels {
    std::string owner, hidden, hint, rot13, description, waypoints, logs, images, note;
    std::string page; // "Page %s of %s"
};

struct Content {
    std::string code;
    std::string name;
    std::string facts;   // type, size, D/T
    std::string owner;   // owner and date hidden
    std::string coords;  // empty when the cache has no position
    geo::LatLon at{};
    std::string hint;      // as the listing shows it first
    std::string hintRot13; // the same hint passed through ROT13
    std::vector<Piece> description; // the short description, then the long one
    std::vector<Picture> pictures;  // the listing images not shown in the description
    std::vector<Waypoint> waypoints;
    std::vector<Log> logs; // newest first, at most kLogsOnSheet
    std::string note;      // the personal note
    Labels labels;
};

// The sheet of a loaded listing: pictures are taken from the offline folder
// under mapFolder and left out where the file is not there.
Content contentOf(const CGlobalData& global, const listing::Listing& listing, const std::filesystem::path& mapFolder);

// Reads the cache with this code from the cache database; nothing when
// there is no such cache. Lets SQLite::Error through.
std::optional<Content> loadContent(CGlobalData& global, const std::string& code);

} // namespace sheet
} // namespace tw
