// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/CGcLiveClient.h"
#include "online/CNetClient.h"
#include "online/LiveParsers.h"
#include "online/LiveRequests.h"

#include <gmock/gmock.h>

namespace tw::net {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(LiveRequestsTest, PlaceholdersAreFilledOnceWithEscapedValues)
{
    const std::string body = fillTemplate(nearestTemplate(true, true), {{"ACCESS", "t"},
                                                                       {"ISLITE", "true"},
                                                                       {"MAX_PER_PAGE", "5"},
                                                                       {"DIST", fixed0(2.5 * 1000)},
                                                                       {"LAT", fixed6(50.5)},
                                                                       {"LON", fixed6(-14.25)},
                                                                       {"NICK", xmlEscape("A&B %LAT%")}});
    EXPECT_THAT(body, HasSubstr(">2500</DistanceInMeters>"));
    EXPECT_THAT(body, HasSubstr(">50.500000</Latitude>"));
    EXPECT_THAT(body, HasSubstr(">-14.250000</Longitude>"));
    EXPECT_THAT(body, HasSubstr(">A&amp;B %LAT%</string></UserNames></NotFoundByUsers>"));
    EXPECT_THAT(body, HasSubstr(">2</long></GeocacheTypeIds>"));
    EXPECT_THAT(fillTemplate(nearestTemplate(false, false), {}), Not(HasSubstr("GeocacheTypeIds")));
    EXPECT_EQ(noteText("a<b\nc"), "a&lt;b&#xD;&#xA;c");
    EXPECT_EQ(redactToken("x/GetAPILimits?AccessToken=ab%2Fc%2B&y=1"), "x/GetAPILimits?AccessToken=…&y=1");
    EXPECT_EQ(CNetClient::urlEncode("a/b+c"), "a%2Fb%2Bc");
}

TEST(LiveParsersTest, TextsStatusAndBrokenDocuments)
{
    const std::string ok = "<R xmlns=\"d\"><Status><StatusCode>55</StatusCode><StatusMessage>gone</StatusMessage>"
                           "</Status><Geocaches xmlns:a=\"t\"><a:Geocache><a:Code>GC1</a:Code>"
                           "<a:LongDescription>one&#xD;\ntwo&#xD;three</a:LongDescription><a:Latitude>50"
                           "</a:Latitude></a:Geocache></Geocaches></R>";
    const LiveSearchPage page = parseGeocacheResponse(ok, "");
    EXPECT_TRUE(page.wellFormed);
    EXPECT_EQ(page.status.code, 55);
    ASSERT_EQ(page.caches.size(), 1u);
    EXPECT_EQ(page.caches[0].cache->longDesc, "one\ntwo\nthree");
    // Cut short anywhere, the document yields no cache.
    for (std::size_t n = 0; n < ok.size(); ++n)
        EXPECT_TRUE(parseGeocacheResponse(ok.substr(0, n), "").caches.empty()) << n;
}

// Names, logs, hints, notes and waypoint names are full of emoji, sent as
// they are or as references; a reference to a surrogate is no character.
TEST(LiveParsersTest, CharactersBeyondTheBasicPlaneArriveWhole)
{
    const std::string horn = "\xF0\x9F\x93\xAF", hundred = "\xF0\x9F\x92\xAF";
    const std::string doc =
        "<R xmlns=\"d\"><Status><StatusCode>0</StatusCode></Status><Geocaches xmlns:a=\"t\"><a:Geocache>"
        "<a:AdditionalWaypoints><AdditionalWaypoint><Code>PK1</Code><Description>Parking " + horn +
        "</Description><Comment>&#128175;&#xD;\nhere</Comment><Latitude>50</Latitude><Longitude>14</Longitude>"
        "</AdditionalWaypoint></a:AdditionalWaypoints><a:Code>GC1</a:Code><a:Name>" + horn + " Horn &#x1F4AF;</a:Name>"
        "<a:EncodedHints>" + hundred + "</a:EncodedHints><a:GeocacheNote>note &#x1f4af;</a:GeocacheNote>"
        "<a:GeocacheLogs><a:GeocacheLog><a:LogText>TFTC " + horn + horn + " &#xD83D;</a:LogText>"
        "<a:UserName>" + hundred + "</a:UserName></a:GeocacheLog></a:GeocacheLogs>"
        "<a:Latitude>50</a:Latitude><a:Longitude>14</a:Longitude></a:Geocache></Geocaches></R>";
    const LiveSearchPage page = parseGeocacheResponse(doc, "");
    ASSERT_EQ(page.caches.size(), 1u);
    const CGeocache& c = *page.caches[0].cache;
    EXPECT_EQ(c.name, horn + " Horn " + hundred);
    EXPECT_EQ(c.hint, hundred);
    EXPECT_EQ(c.comment, "note " + hundred);
    ASSERT_EQ(c.logs.size(), 1u);
    EXPECT_EQ(c.logs[0]->text, "TFTC " + horn + horn + " &#xD83D;");
    EXPECT_EQ(c.logs[0]->finder, hundred);
    ASSERT_EQ(c.waypoints.size(), 1u);
    EXPECT_EQ(c.waypoints[0]->name, "Parking " + horn);
    EXPECT_EQ(c.waypoints[0]->text, hundred + "\nhere");
}

// A waypoint somewhere off the Earth goes, as a cache there does; the cache
// keeps its other waypoints.
TEST(LiveParsersTest, WaypointsOffTheEarthAreDropped)
{
    const auto waypoint = [](const char* code, const char* lat) {
        return std::string("<AdditionalWaypoint><Code>") + code + "</Code><Latitude>" + lat +
               "</Latitude><Longitude>14.4</Longitude></AdditionalWaypoint>";
    };
    const std::string doc = "<R xmlns=\"d\"><Status><StatusCode>0</StatusCode></Status><Geocaches xmlns:a=\"t\">"
                            "<a:Geocache><a:AdditionalWaypoints>" +
                            waypoint("PK1", "NaN") + waypoint("PK2", "50.1") + waypoint("PK3", "91") +
                            waypoint("PK4", "") +
                            "</a:AdditionalWaypoints><a:Code>GC1</a:Code><a:Latitude>50</a:Latitude>"
                            "<a:Longitude>14</a:Longitude></a:Geocache></Geocaches></R>";
    const LiveSearchPage page = parseGeocacheResponse(doc, "");
    ASSERT_EQ(page.caches.size(), 1u);
    const auto& waypoints = page.caches[0].cache->waypoints;
    ASSERT_EQ(waypoints.size(), 1u);
    EXPECT_EQ(waypoints[0]->code, "PK2");
    EXPECT_DOUBLE_EQ(waypoints[0]->lat, 50.1);
}

// Trackables carry members of the same names as the cache's (a code, a
// name, images with names, an owner's user name): only a trackable's own
// code, number and name make its travel bug, and none of them reaches the
// cache. The favourite points go with the cache record.
TEST(LiveParsersTest, TrackablesBecomeTravelBugsAndLeaveTheCacheAlone)
{
    const auto trackable = [](const char* code, const char* id, const char* name) {
        return std::string("<a:Trackable><a:Code>") + code + "</a:Code><a:CurrentGeocacheCode>GC1</a:CurrentGeocacheCode>"
               "<a:Id>" + id + "</a:Id><a:Images><a:ImageData><a:Name>photo of " + code +
               "</a:Name><a:Url>http://x/y.jpg</a:Url></a:ImageData></a:Images><a:Name>" + name +
               "</a:Name><a:OriginalOwner><a:UserName>owner</a:UserName></a:OriginalOwner></a:Trackable>";
    };
    const std::string doc = "<R xmlns=\"d\"><Status><StatusCode>0</StatusCode></Status><Geocaches xmlns:a=\"t\">"
                            "<a:Geocache><a:Code>GC1</a:Code><a:FavoritePoints>12</a:FavoritePoints>"
                            "<a:Images><a:ImageData><a:Name>Spoiler</a:Name><a:Url>http://x/s.jpg</a:Url>"
                            "</a:ImageData></a:Images><a:Latitude>50</a:Latitude><a:Longitude>14</a:Longitude>"
                            "<a:Name>The cache</a:Name><a:Owner><a:UserName>hider</a:UserName></a:Owner>"
                            "<a:Trackables>" +
                            trackable("TB1A", "101", "First &amp; foremost") + trackable("TB2B", "", "Second") +
                            "</a:Trackables></a:Geocache><a:Geocache><a:Code>GC2</a:Code><a:Latitude>50</a:Latitude>"
                            "<a:Longitude>14</a:Longitude><a:Trackables/></a:Geocache></Geocaches></R>";
    const LiveSearchPage page = parseGeocacheResponse(doc, "");
    ASSERT_EQ(page.caches.size(), 2u);
    const CGeocache& c = *page.caches[0].cache;
    EXPECT_EQ(c.code, "GC1");
    EXPECT_EQ(c.name, "The cache");
    EXPECT_EQ(c.author, "hider");
    EXPECT_EQ(c.favorites, "12");
    EXPECT_EQ(page.caches[0].images.size(), 1u);
    EXPECT_EQ(c.travelBugs, (std::vector<CTravelBug>{{101, "TB1A", "First & foremost"}, {0, "TB2B", "Second"}}));
    EXPECT_TRUE(page.caches[1].cache->travelBugs.empty());
    EXPECT_EQ(page.caches[1].cache->favorites, "");
}

} // namespace
} // namespace tw::net
