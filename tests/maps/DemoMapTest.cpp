// SPDX-License-Identifier: GPL-3.0-or-later
// The demo's made-up map, read back by the program's reader.
#include "maps/mapsforge/MapFileSet.h"
#include "maps/mapsforge/TileMath.h"
#include "platform/Numbers.h"
#include "tests/maps/MapFileWriter.h"
#include "tools/demomap/DemoMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace tw::maps::testmap {
namespace {

class DemoMapRead : public MapFileTest {};

bool hasTag(const std::vector<VectorTag>& tags, const std::string& key, const std::string& value)
{
    for (const VectorTag& t : tags)
        if (t.key == key && t.value == value)
            return true;
    return false;
}

// Around the demo's square and around the screen tour's walk: every tile of
// every interval reads, and the things a walker looks for are there.
TEST_F(DemoMapRead, EveryTileReadsAndHoldsTheNamedRiverAndThePeak)
{
    for (const auto& [lat, lon] : {std::pair{demomap::kDemoLat, demomap::kDemoLon}, std::pair{50.0905, 14.4105}}) {
        SCOPED_TRACE(num::formatFixed(lat, 4) + " " + num::formatFixed(lon, 4));
        const std::string bytes = mapwriter::encodeMap(demomap::demoMap(lat, lon).content);
        EXPECT_EQ(bytes, mapwriter::encodeMap(demomap::demoMap(lat, lon).content)) << "the same map every time";
        MapFileSet set;
        ASSERT_TRUE(set.add(save(bytes, "demo.map"))) << set.errorDetail();
        const MapFileHeader& header = set.file(0).header();
        ASSERT_EQ(header.intervals.size(), 3U);
        EXPECT_TRUE(header.bounds.minLatE6 < lat * 1e6 && lat * 1e6 < header.bounds.maxLatE6);
        EXPECT_TRUE(header.bounds.minLonE6 < lon * 1e6 && lon * 1e6 < header.bounds.maxLonE6);
        EXPECT_EQ(header.startZoom, demomap::kStartZoom) << "opens where its caches stand apart";
        ASSERT_TRUE(header.startPosition);
        EXPECT_EQ(*header.startPosition, (MicroPoint{tilemath::toE6(lat), tilemath::toE6(lon)}));
        EXPECT_EQ(header.comment, "A made-up map for the demo") << "the fields after the start read too";

        std::set<std::string> seen; // at zoom 15
        for (const ZoomInterval& z : header.intervals) {
            // Near the interval's deepest zoom level, which reaches all its rows of
            // objects but the benches', through the sub-tiles of the stored tiles.
            const int zoom = std::min(z.maxZoom, 15);
            std::size_t objects = 0;
            for (std::int64_t y = tilemath::latToTileY(header.bounds.maxLatE6, zoom);
                 y <= tilemath::latToTileY(header.bounds.minLatE6, zoom); ++y)
                for (std::int64_t x = tilemath::lonToTileX(header.bounds.minLonE6, zoom);
                     x <= tilemath::lonToTileX(header.bounds.maxLonE6, zoom); ++x) {
                    MapTile tile;
                    ASSERT_TRUE(set.readTile({zoom, x, y}, {}, tile)) << zoom << "/" << x << "/" << y << ": "
                                                                      << set.errorDetail();
                    objects += tile.pois.size() + tile.ways.size();
                    if (zoom != 15)
                        continue;
                    for (const MapPoi& p : tile.pois)
                        if (hasTag(p.tags, "natural", "peak") && p.name == demomap::kPeakName &&
                            p.elevationM == demomap::kPeakElevationM)
                            seen.insert("peak");
                    for (const MapWay& w : tile.ways) {
                        if (hasTag(w.tags, "waterway", "river") && w.name == demomap::kRiverName)
                            seen.insert("river");
                        if (hasTag(w.tags, "landuse", "forest") && w.rings.size() == 2)
                            seen.insert("forest with a clearing");
                        if (hasTag(w.tags, "building", "yes") && !w.houseNumber.empty())
                            seen.insert("numbered house");
                        if (hasTag(w.tags, "highway", "residential") && !w.name.empty())
                            seen.insert("named street");
                        if (hasTag(w.tags, "sac_scale", "mountain_hiking") && hasTag(w.tags, "trail_visibility", "bad"))
                            seen.insert("mountain path");
                    }
                }
            EXPECT_GT(objects, 0U) << "interval stored at zoom " << z.baseZoom;
        }
        EXPECT_EQ(seen, (std::set<std::string>{"forest with a clearing", "mountain path", "named street",
                                               "numbered house", "peak", "river"}));
    }
}

} // namespace
} // namespace tw::maps::testmap
