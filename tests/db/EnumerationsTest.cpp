// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Enumerations.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

enum class Kind { Cache, Log, Waypoint };

struct NameCase {
    const char* name;
    Kind kind;
    const char* text;
    int number;
};

class TypeNames : public ::testing::TestWithParam<NameCase> {};

// Names other writers use, each with the number it stands for.
TEST_P(TypeNames, ReadAsTheirNumber)
{
    const NameCase& p = GetParam();
    switch (p.kind) {
    case Kind::Cache: EXPECT_EQ(cacheTypeFromText(p.text), p.number); break;
    case Kind::Log: EXPECT_EQ(logTypeFromText(p.text), p.number); break;
    case Kind::Waypoint: EXPECT_EQ(waypointTypeFromText(p.text), p.number); break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Enumerations, TypeNames,
    ::testing::Values(
        NameCase{"PhysicalStage", Kind::Waypoint, "Physical Stage", WaypointType::Stage},
        NameCase{"VirtualStage", Kind::Waypoint, "Virtual Stage", WaypointType::Question},
        NameCase{"OriginalCoordinates", Kind::Waypoint, "Original Coordinates", WaypointType::Reference},
        NameCase{"TypeElementForm", Kind::Waypoint, "Waypoint|Physical Stage", WaypointType::Stage},
        NameCase{"TypeElementOfOurName", Kind::Waypoint, "waypoint|Parking Area", WaypointType::Parking},
        NameCase{"AnyCase", Kind::Waypoint, "FINAL LOCATION", WaypointType::Final},
        NameCase{"CacheTypeIsNoWaypointType", Kind::Waypoint, "Geocache|Trailhead", WaypointType::Reference},
        NameCase{"UnknownWaypoint", Kind::Waypoint, "Waypoint|Stage", WaypointType::Reference},
        NameCase{"ShortLetterbox", Kind::Cache, "Letterbox", CacheType::Letterbox},
        NameCase{"ShortVirtual", Kind::Cache, "Virtual", CacheType::Virtual},
        NameCase{"Locationless", Kind::Cache, "Locationless (Reverse) Cache", CacheType::Virtual},
        NameCase{"GigaEvent", Kind::Cache, "Giga-Event Cache", CacheType::Event},
        NameCase{"CacheAnyCase", Kind::Cache, "Multi-Cache", CacheType::Multi},
        NameCase{"CacheTypeElementForm", Kind::Cache, "Geocache|Earthcache", CacheType::Earthcache},
        NameCase{"LabCacheHasNoNumber", Kind::Cache, "Geocache|Lab Cache", CacheType::Other},
        NameCase{"WaypointIsNoCacheType", Kind::Cache, "Waypoint|Traditional Cache", CacheType::Other},
        NameCase{"ShortNote", Kind::Log, "note", LogType::WriteNote},
        NameCase{"ShortEnabled", Kind::Log, "enabled", LogType::Enable},
        NameCase{"ShortDisabled", Kind::Log, "temporarily_disabled", LogType::TemporarilyDisable},
        NameCase{"ShortMaintenance", Kind::Log, "needs_maintenance", LogType::NeedsMaintenance},
        NameCase{"ShortOwnerMaintenance", Kind::Log, "owner_maintenance", LogType::OwnerMaintenance},
        NameCase{"ShortPublished", Kind::Log, "published", LogType::Publish},
        NameCase{"ShortReviewerNote", Kind::Log, "reviewer_note", LogType::ReviewerNote},
        NameCase{"ShortWillAttend", Kind::Log, "will_attend", LogType::WillAttend},
        NameCase{"ShortNeedsArchived", Kind::Log, "needs_archived", LogType::NeedsArchived},
        NameCase{"OtherCase", Kind::Log, "Needs maintenance", LogType::NeedsMaintenance},
        NameCase{"RetractListing", Kind::Log, "Retract Listing", LogType::Archive},
        NameCase{"Announcement", Kind::Log, "Announcement", LogType::WriteNote},
        NameCase{"UnknownLog", Kind::Log, "Marked Missing", LogType::WriteNote},
        NameCase{"LongerThanAName", Kind::Log, "Found it!", LogType::WriteNote}),
    test::RowName{});

// Whatever was read, what is written are our own names, and they read back
// as the same number.
TEST(Enumerations, WrittenNamesAreOursAndReadBack)
{
    EXPECT_EQ(waypointTypeText(waypointTypeFromText("Physical Stage")), "Stages of a Multicache");
    EXPECT_EQ(waypointTypeText(waypointTypeFromText("Virtual Stage")), "Question to Answer");
    EXPECT_EQ(cacheTypeText(cacheTypeFromText("Letterbox")), "Letterbox Hybrid");
    EXPECT_EQ(cacheTypeText(cacheTypeFromText("Virtual")), "Virtual Cache");
    EXPECT_EQ(logTypeText(logTypeFromText("published")), "Publish Listing");
    EXPECT_EQ(logTypeText(logTypeFromText("Retract Listing")), "Archive");
    for (int type = WaypointType::Final; type <= WaypointType::Trailhead; ++type) {
        EXPECT_EQ(waypointTypeFromText(waypointTypeText(type)), type);
        EXPECT_EQ(knownWaypointType("Waypoint|" + waypointTypeText(type)), type);
    }
    for (int type = LogType::FoundIt; type <= LogType::UpdateCoordinates; ++type)
        EXPECT_EQ(logTypeFromText(logTypeText(type)), type) << type;
    for (const int type : {CacheType::Traditional, CacheType::Multi, CacheType::Virtual, CacheType::Letterbox,
                           CacheType::Event, CacheType::Unknown, CacheType::Webcam, CacheType::Earthcache,
                           CacheType::Wherigo, CacheType::Other})
        EXPECT_EQ(cacheTypeFromText(cacheTypeText(type)), type) << type;
    // The number the online service is sent is still the one of the type.
    EXPECT_EQ(logTypeLiveNumber(logTypeFromText("needs_maintenance")), "45");
    // Sizes are not types: they still read exactly.
    EXPECT_EQ(cacheSizeFromText("micro"), CacheSize::NotChosen);
}

} // namespace
} // namespace tw
