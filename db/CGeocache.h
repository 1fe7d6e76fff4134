// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeoLog.h"
#include "db/CGeoPoint.h"
#include "db/CTravelBug.h"
#include "db/CWaypoint.h"
#include "db/Enumerations.h"

#include <memory>
#include <type_traits>
#include <string>
#include <vector>

namespace tw {

class CGeocache final : public CGeoPoint {
public:
    CGeocache() = default;
    // A copy takes the list fields only: descriptions, tags, waypoints and
    // logs are left unloaded and are read again when needed.
    CGeocache(const CGeocache& other);
    CGeocache& operator=(const CGeocache& other);
    // Moves keep everything, and must not throw: a vector of caches that
    // copied on growth would silently drop their logs and waypoints.
    CGeocache(CGeocache&&) noexcept = default;
    CGeocache& operator=(CGeocache&&) noexcept = default;

    int shortDescHtml = 0;
    std::string author;
    int ownerId = 0;
    int cacheId = 0;
    int type = CacheType::Unknown;
    int size = CacheSize::NotChosen;
    int difficulty = 10; // × 10: 10 to 50
    int terrain = 10;    // × 10: 10 to 50
    int hidden = 0;      // YYYYMMDD
    int found = 0;       // YYYYMMDD, 0 when not found
    int foundTime = 0;   // HHMM
    std::string fieldNoteText;
    int fieldNoteType = 0;
    std::string fieldNoteTime;
    std::string favorites;
    // The name a file gave the cache where that is not its code (a cache
    // manager's short name, a title); empty otherwise. Kept as a tag, like
    // the favourites, so not copied.
    std::string shortName;
    int fieldNoteTextTag = 0;
    int fieldNoteTypeTag = 0;
    int fieldNoteTimeTag = 0;
    std::string hint;
    std::string longDesc;
    int longDescHtml = 0;
    // Both descriptions as stored (compressed), when an import has already
    // packed them on a thread of its own; empty otherwise. Never read back
    // from the database, and not copied.
    std::vector<unsigned char> packedText;
    std::vector<unsigned char> packedLongDesc;
    // The listing, the hint and the logs as the full-text index reads them,
    // when an import has made them on a thread of its own
    // (fulltext::prepareDocument) and set indexTextsReady; not copied.
    bool indexTextsReady = false;
    std::string indexListing;
    std::string indexHint;
    std::string indexLogs;
    std::string comment;
    std::string country;
    std::string state;
    std::vector<std::string> attributes;
    std::vector<std::unique_ptr<CWaypoint>> waypoints;
    std::vector<std::unique_ptr<CGeoLog>> logs;
    // Loaded with the details; an import replaces the stored ones with these.
    std::vector<CTravelBug> travelBugs;
    // What other cache managers' files add to a cache; read by the import
    // and stored with the cache (see CacheStore), never read back into these.
    // The position the listing gave before the user corrected it (lat and
    // lon are the corrected one); stored as a waypoint of the cache.
    bool hasOriginalPosition = false;
    double originalLat = 0.0;
    double originalLon = 0.0;
    // The user's own texts of the file (notes, user fields), each under a
    // heading, for the end of the personal note.
    std::string importedNote;
    // The user's "didn't find" as a tag: its date as the file writes it
    // ("2021-03-20"), "x" without a date; empty when there is none.
    std::string dnf;
    // How well the cache matched the list's text query (the full-text index's
    // rank: smaller is better); 0 without one.
    double textRank = 0.0;
    int status = 0; // 0 available, 1 disabled, 2 archived
    int hasFinal = 0;
    int detailsLoaded = 0;
    int waypointsLoaded = 0;
    int logsLoaded = 0;
};

static_assert(std::is_nothrow_move_constructible_v<CGeocache>);

} // namespace tw
