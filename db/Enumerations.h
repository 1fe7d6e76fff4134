// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The numbered vocabularies of caches, containers, logs, waypoints and
// attributes. The numbers are stored in databases and files and never change;
// the texts are the GPX forms used in the database, in GPX files and online.
namespace tw {

namespace CacheType {
constexpr int Traditional = 2, Multi = 3, Virtual = 4, Letterbox = 5, Event = 6, Unknown = 8,
              Webcam = 11, Earthcache = 137, Wherigo = 1858, Other = 9999;
}

namespace CacheSize {
constexpr int NotChosen = 1, Micro = 2, Regular = 3, Large = 4, Virtual = 5, Other = 6, Small = 8;
}

namespace LogType {
constexpr int FoundIt = 0, DidntFindIt = 1, WriteNote = 2, WebcamPhotoTaken = 3, Attended = 4,
              WillAttend = 5, TemporarilyDisable = 6, Enable = 7, NeedsArchived = 8,
              NeedsMaintenance = 9, ReviewerNote = 10, Archive = 11, OwnerMaintenance = 12,
              Publish = 13, UpdateCoordinates = 14;
// Only an argument of the found-state update: the find is cleared.
constexpr int ClearFind = 100;
} // namespace LogType

namespace WaypointType {
constexpr int Final = 0, Parking = 1, Question = 2, Reference = 3, Stage = 4, Trailhead = 5;
}

// Cache, log and waypoint types read in any case, with "_" for a blank, and
// after the "Geocache|" / "Waypoint|" that GPX type elements put before the
// name; writing gives our own names. Sizes read exactly.

// Unknown texts read as Other (9999); Mega-Event and the other event kinds as
// Event; a locationless cache as Virtual.
int cacheTypeFromText(std::string_view text);
std::string cacheTypeText(int type);

// Unknown texts (and other spellings, e.g. "micro") read as Not chosen.
int cacheSizeFromText(std::string_view text);
std::string cacheSizeText(int size);
// Order of sizes in the sorted list; unknown numbers sort last (9).
int cacheSizeSortRank(int size);

// Unknown texts read as Write note (2).
int logTypeFromText(std::string_view text);
// Empty for numbers without a text.
std::string logTypeText(int type);
// The log type number the online service expects, as text; empty when none.
std::string logTypeLiveNumber(int type);
// Found it, Webcam Photo Taken and Attended count as finds.
bool logTypeIsFind(int type);

// Unknown texts read as Reference Point (3). Today's names of the site
// ("Physical Stage", "Virtual Stage") read as the types they replaced.
int waypointTypeFromText(std::string_view text);
// Empty for a text that names none of the six types.
std::optional<int> knownWaypointType(std::string_view text);
std::string waypointTypeText(int type);

// Short name of an attribute number ("dogs" for 1); empty for unknown numbers.
std::string attributeName(int number);
// True for the attribute entries ("dogs-yes") that have an icon; exact,
// case-sensitive comparison.
bool attributeHasIcon(std::string_view entry);

} // namespace tw
