// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CGeocache.h"

namespace tw {

CGeocache::CGeocache(const CGeocache& other) : CGeoPoint(other)
{
    *this = other;
}

CGeocache& CGeocache::operator=(const CGeocache& other)
{
    if (this == &other)
        return *this;
    CGeoPoint::operator=(other);
    text.clear(); // the short description is a detail text
    author = other.author;
    ownerId = other.ownerId;
    cacheId = other.cacheId;
    type = other.type;
    size = other.size;
    difficulty = other.difficulty;
    terrain = other.terrain;
    hidden = other.hidden;
    found = other.found;
    foundTime = other.foundTime;
    comment = other.comment;
    country = other.country;
    state = other.state;
    status = other.status;
    hasFinal = other.hasFinal;
    textRank = other.textRank;

    shortDescHtml = 0;
    fieldNoteText.clear();
    fieldNoteType = 0;
    fieldNoteTime.clear();
    favorites.clear();
    shortName.clear();
    fieldNoteTextTag = fieldNoteTypeTag = fieldNoteTimeTag = 0;
    hint.clear();
    longDesc.clear();
    longDescHtml = 0;
    packedText.clear();
    packedLongDesc.clear();
    indexTextsReady = false;
    indexListing.clear();
    indexHint.clear();
    indexLogs.clear();
    attributes.clear();
    waypoints.clear();
    logs.clear();
    travelBugs.clear();
    hasOriginalPosition = false;
    originalLat = originalLon = 0.0;
    importedNote.clear();
    dnf.clear();
    detailsLoaded = waypointsLoaded = logsLoaded = 0;
    return *this;
}

} // namespace tw
