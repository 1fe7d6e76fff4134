// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Enumerations.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tw {
namespace {

struct Named {
    int number;
    std::string_view text;
};

constexpr std::array kCacheTypes{
    Named{CacheType::Traditional, "Traditional Cache"}, Named{CacheType::Multi, "Multi-cache"},
    Named{CacheType::Virtual, "Virtual Cache"},         Named{CacheType::Letterbox, "Letterbox Hybrid"},
    Named{CacheType::Event, "Event Cache"},             Named{CacheType::Event, "Mega-Event Cache"},
    Named{CacheType::Event, "Lost and Found Event Cache"},
    Named{CacheType::Event, "Cache In Trash Out Event"},
    Named{CacheType::Event, "Giga-Event Cache"},
    Named{CacheType::Unknown, "Unknown Cache"},         Named{CacheType::Webcam, "Webcam Cache"},
    Named{CacheType::Earthcache, "Earthcache"},         Named{CacheType::Wherigo, "Wherigo Cache"},
    Named{CacheType::Other, "Other"},
    // Short names of a mobile client's export.
    Named{CacheType::Virtual, "Virtual"},
    Named{CacheType::Letterbox, "Letterbox"},
    // A locationless cache has no container and is logged by what one saw,
    // as a virtual cache is; the layout has no number of its own for it.
    Named{CacheType::Virtual, "Locationless (Reverse) Cache"},
};

struct Size {
    int number;
    std::string_view text;
    int rank;
};

constexpr std::array kSizes{
    Size{CacheSize::NotChosen, "Not chosen", 5}, Size{CacheSize::Micro, "Micro", 1},
    Size{CacheSize::Regular, "Regular", 3},      Size{CacheSize::Large, "Large", 4},
    Size{CacheSize::Virtual, "Virtual", 7},      Size{CacheSize::Other, "Other", 6},
    Size{CacheSize::Small, "Small", 2},
};

struct Log {
    std::string_view text;
    std::string_view live;
};

// Indexed by log type number.
constexpr std::array<Log, 15> kLogs{{
    {"Found it", "2"},
    {"Didn't find it", "3"},
    {"Write note", "4"},
    {"Webcam Photo Taken", "11"},
    {"Attended", "10"},
    {"Will Attend", "9"},
    {"Temporarily Disable Listing", "22"},
    {"Enable Listing", "23"},
    {"Needs Archived", "7"},
    {"Needs Maintenance", "45"},
    {"Post Reviewer Note", "68"},
    {"Archive", "5"},
    {"Owner Maintenance", "46"},
    {"Publish Listing", "24"},
    {"Update Coordinates", "47"},
}};

// Other names of the log types: the layout's older ones, the site's names
// of kinds the layout has no number for, and the short names a mobile
// client writes ("note", "published"; its "needs_maintenance" and the like
// are our names with "_" for the blanks, which the comparison takes anyway).
constexpr std::array kLogAliases{
    Named{LogType::TemporarilyDisable, "Disabled"},
    Named{LogType::TemporarilyDisable, "Temporarily Disabled"},
    Named{LogType::Enable, "Enabled"},
    Named{LogType::Archive, "Archive/Unarchive"},
    Named{LogType::Archive, "Unarchive"},
    Named{LogType::Archive, "Archived"},
    // A listing taken back after its publication is gone from the site as
    // an archived one is.
    Named{LogType::Archive, "Retract Listing"},
    // The owner's word to the attendees of an event.
    Named{LogType::WriteNote, "Announcement"},
    Named{LogType::WriteNote, "Note"},
    Named{LogType::Publish, "Published"},
    Named{LogType::ReviewerNote, "Reviewer Note"},
    Named{LogType::FoundIt, "Found"},
    Named{LogType::DidntFindIt, "Didnt find"},
};

constexpr std::array<std::string_view, 6> kWaypointTypes{
    "Final Location", "Parking Area", "Question to Answer", "Reference Point", "Stages of a Multicache",
    "Trailhead"};

// The site's names of today, and other writers' names, for the six types.
constexpr std::array kWaypointAliases{
    Named{WaypointType::Stage, "Physical Stage"},
    Named{WaypointType::Question, "Virtual Stage"},
    // Where the listing put the cache before the user corrected it: a point
    // to know, not a stage to visit and never the final (that would mark a
    // mystery as solved).
    Named{WaypointType::Reference, "Original Coordinates"},
    // Opencaching's "stage or reference point".
    Named{WaypointType::Reference, "Flag, Green"},
};

// Indexed by attribute number − 1.
constexpr std::array<std::string_view, 66> kAttributes{
    "dogs",       "fee",         "rappelling", "boat",        "scuba",
    "kids",       "onehour",     "scenic",     "hiking",      "climbing",
    "wading",     "swimming",    "available",  "night",       "winter",
    "cactus",     "poisonoak",   "dangerousanimals", "ticks", "mine",
    "cliff",      "hunting",     "danger",     "wheelchair",  "parking",
    "public",     "water",       "restrooms",  "phone",       "picnic",
    "camping",    "bicycles",    "motorcycles", "quads",      "jeeps",
    "snowmobiles", "horses",     "campfires",  "thorn",       "stealth",
    "stroller",   "firstaid",    "cow",        "flashlight",  "landf",
    "rv",         "field_puzzle", "UV",        "snowshoes",   "skiis",
    "s-tool",     "nightcache",  "parkngrab",  "AbandonedBuilding", "hike_short",
    "hike_med",   "hike_long",   "fuel",       "food",        "wirelessbeacon",
    "partnership", "seasonal",   "touristOK",  "treeclimbing", "frontyard",
    "teamwork"};

// Sorted, for binary search.
constexpr std::array<std::string_view, 91> kAttributeIcons{
    "abandonedbuilding-no", "abandonedbuilding-yes", "available-no", "available-yes", "bicycles-no",
    "bicycles-yes", "boat-yes", "campfires-no", "campfires-yes", "camping-no", "camping-yes",
    "cliff-yes", "climbing-no", "climbing-yes", "cow-yes", "danger-yes", "dogs-no", "dogs-yes",
    "fee-yes", "firstaid-yes", "flashlight-yes", "food-no", "food-yes", "fuel-no", "fuel-yes",
    "hike_long-no", "hike_long-yes", "hike_med-no", "hike_med-yes", "hike_short-no", "hike_short-yes",
    "hiking-no", "hiking-yes", "horses-no", "horses-yes", "hunting-yes", "jeeps-no", "jeeps-yes",
    "kids-no", "kids-yes", "landf-no", "landf-yes", "mine-yes", "motorcycles-no", "motorcycles-yes",
    "night-no", "night-yes", "nightcache-no", "nightcache-yes", "onehour-no", "onehour-yes",
    "parking-no", "parking-yes", "parkngrab-no", "parkngrab-yes", "phone-no", "phone-yes",
    "picnic-yes", "poisonoak-no", "poisonoak-yes", "public-yes", "quads-no", "quads-yes",
    "rappelling-yes", "restrooms-yes", "rv-no", "rv-yes", "s-tool-yes", "scenic-no", "scenic-yes",
    "scuba-yes", "skiis-yes", "snakes-yes", "snowmobiles-no", "snowmobiles-yes", "snowshoes-yes",
    "stealth-no", "stealth-yes", "stroller-no", "stroller-yes", "swimming-yes", "thorn-yes",
    "ticks-yes", "uv-yes", "wading-yes", "water-no", "water-yes", "wheelchair-no", "wheelchair-yes",
    "winter-no", "winter-yes"};
static_assert(std::is_sorted(kAttributeIcons.begin(), kAttributeIcons.end()));

// Other writers spell the names in another case, write "_" for the blanks
// and put the kind before the name ("Waypoint|Parking Area"); none of that
// makes another type.
constexpr char folded(char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c == '_' ? ' ' : c;
}

bool sameName(std::string_view text, std::string_view name)
{
    return text.size() == name.size() &&
           std::equal(text.begin(), text.end(), name.begin(), [](char a, char b) { return folded(a) == folded(b); });
}

std::string_view withoutKind(std::string_view text, std::string_view kind)
{
    if (text.size() > kind.size() && sameName(text.substr(0, kind.size()), kind))
        return text.substr(kind.size());
    return text;
}

} // namespace

int cacheTypeFromText(std::string_view text)
{
    text = withoutKind(text, "Geocache|");
    for (const auto& t : kCacheTypes)
        if (sameName(text, t.text))
            return t.number;
    return CacheType::Other;
}

std::string cacheTypeText(int type)
{
    for (const auto& t : kCacheTypes)
        if (t.number == type)
            return std::string(t.text);
    return "Other";
}

int cacheSizeFromText(std::string_view text)
{
    for (const auto& s : kSizes)
        if (s.text == text)
            return s.number;
    return CacheSize::NotChosen;
}

std::string cacheSizeText(int size)
{
    for (const auto& s : kSizes)
        if (s.number == size)
            return std::string(s.text);
    return "Not chosen";
}

int cacheSizeSortRank(int size)
{
    for (const auto& s : kSizes)
        if (s.number == size)
            return s.rank;
    return 9;
}

int logTypeFromText(std::string_view text)
{
    for (std::size_t i = 0; i < kLogs.size(); ++i)
        if (sameName(text, kLogs[i].text))
            return static_cast<int>(i);
    for (const auto& alias : kLogAliases)
        if (sameName(text, alias.text))
            return alias.number;
    return LogType::WriteNote;
}

std::string logTypeText(int type)
{
    if (type < 0 || type >= static_cast<int>(kLogs.size()))
        return {};
    return std::string(kLogs[static_cast<std::size_t>(type)].text);
}

std::string logTypeLiveNumber(int type)
{
    if (type < 0 || type >= static_cast<int>(kLogs.size()))
        return {};
    return std::string(kLogs[static_cast<std::size_t>(type)].live);
}

bool logTypeIsFind(int type)
{
    return type == LogType::FoundIt || type == LogType::WebcamPhotoTaken || type == LogType::Attended;
}

std::optional<int> knownWaypointType(std::string_view text)
{
    text = withoutKind(text, "Waypoint|");
    for (std::size_t i = 0; i < kWaypointTypes.size(); ++i)
        if (sameName(text, kWaypointTypes[i]))
            return static_cast<int>(i);
    for (const auto& alias : kWaypointAliases)
        if (sameName(text, alias.text))
            return alias.number;
    return std::nullopt;
}

int waypointTypeFromText(std::string_view text)
{
    return knownWaypointType(text).value_or(WaypointType::Reference);
}

std::string waypointTypeText(int type)
{
    if (type < 0 || type >= static_cast<int>(kWaypointTypes.size()))
        return std::string(kWaypointTypes[WaypointType::Reference]);
    return std::string(kWaypointTypes[static_cast<std::size_t>(type)]);
}

std::string attributeName(int number)
{
    if (number < 1 || number > static_cast<int>(kAttributes.size()))
        return {};
    return std::string(kAttributes[static_cast<std::size_t>(number - 1)]);
}

bool attributeHasIcon(std::string_view entry)
{
    return std::binary_search(kAttributeIcons.begin(), kAttributeIcons.end(), entry);
}

} // namespace tw
