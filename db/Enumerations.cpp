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
    Named{CacheType::Unknown, "Unknown Cache"},         Named{CacheType::Webcam, "Webcam Cache"},
    Named{CacheType::Earthcache, "Earthcache"},         Named{CacheType::Wherigo, "Wherigo Cache"},
    Named{CacheType::Other, "Other"},
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

constexpr std::array kLogAliases{
    Named{LogType::TemporarilyDisable, "Disabled"}, Named{LogType::Enable, "Enabled"},
    Named{LogType::Archive, "Archive/Unarchive"},   Named{LogType::Archive, "Unarchive"},
};

constexpr std::array<std::string_view, 6> kWaypointTypes{
    "Final Location", "Parking Area", "Question to Answer", "Reference Point", "Stages of a Multicache",
    "Trailhead"};

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

} // namespace

int cacheTypeFromText(std::string_view text)
{
    for (const auto& t : kCacheTypes)
        if (t.text == text)
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
        if (kLogs[i].text == text)
            return static_cast<int>(i);
    for (const auto& alias : kLogAliases)
        if (alias.text == text)
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

int waypointTypeFromText(std::string_view text)
{
    for (std::size_t i = 0; i < kWaypointTypes.size(); ++i)
        if (kWaypointTypes[i] == text)
            return static_cast<int>(i);
    return WaypointType::Reference;
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
