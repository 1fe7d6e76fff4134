// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/RouteLoader.h"
#include "tests/TestSupport.h"

namespace tw {
namespace {

using RouteLoaderTest = test::TempDirTest;

TEST_F(RouteLoaderTest, FirstTrackOnly)
{
    test::writeFile(dir / "two.gpx",
                    "<?xml version=\"1.0\"?><gpx version=\"1.1\"><trk><trkseg>"
                    "<trkpt lat=\"50.1\" lon=\"14.2\"><ele>300</ele></trkpt><trkpt lat=\"50.2\" lon=\"14.3\"/>"
                    "</trkseg></trk><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>");
    const auto route = loadRouteFile(dir / "two.gpx");
    ASSERT_TRUE(route);
    ASSERT_EQ(route->size(), 2u);
    EXPECT_DOUBLE_EQ((*route)[1].lat, 50.2);
    EXPECT_DOUBLE_EQ((*route)[1].lon, 14.3);
}

TEST_F(RouteLoaderTest, RoutesCountOnlyInsideGpxAndMustEnd)
{
    test::writeFile(dir / "rte.gpx", "<gpx><rte><rtept lat=\"-33.8675\" lon=\"151.207\"/></rte></gpx>");
    EXPECT_EQ(loadRouteFile(dir / "rte.gpx")->size(), 1u);
    test::writeFile(dir / "outside.gpx", "<rte><rtept lat=\"1\" lon=\"1\"/></rte>");
    EXPECT_FALSE(loadRouteFile(dir / "outside.gpx"));
    test::writeFile(dir / "cut.gpx", "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"1\"/>");
    EXPECT_FALSE(loadRouteFile(dir / "cut.gpx"));
    test::writeFile(dir / "empty.gpx", "<gpx><trk></trk></gpx>");
    EXPECT_FALSE(loadRouteFile(dir / "empty.gpx"));
    EXPECT_FALSE(loadRouteFile(dir / "missing.gpx"));
}

TEST_F(RouteLoaderTest, TrackWrittenByAnotherProgram)
{
    TW_REQUIRE_CORPUS();
    const auto file = test::corpusDir() / "tracks" / "20070813_short~plt.gpx";
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    const auto route = loadRouteFile(file);
    ASSERT_TRUE(route);
    EXPECT_GT(route->size(), 1u);
    for (const auto& p : *route)
        EXPECT_FALSE(p.isEmpty());
}

} // namespace
} // namespace tw
