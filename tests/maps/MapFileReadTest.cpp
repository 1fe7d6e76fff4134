// SPDX-License-Identifier: GPL-3.0-or-later
// The vector map reader on files other software wrote: the five reference
// maps (each beside the OpenStreetMap data it was written from, whose
// positions the expectations below repeat) and a small real map.
#include "maps/mapsforge/MapFile.h"
#include "maps/mapsforge/MapFileSet.h"
#include "maps/mapsforge/TileMath.h"
#include "tests/maps/MapFileWriter.h"
#include "tests/TestSupport.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <set>

namespace tw::maps {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

fs::path referenceMap(const char* name)
{
    return test::corpusDir() / "mapsforge" / "reference" / name / "output.map";
}

MapFile openMap(const fs::path& path)
{
    MapFile map;
    EXPECT_TRUE(map.open(path)) << path << ": " << map.errorDetail();
    return map;
}

MapTile readTile(MapFile& map, int zoom, std::int64_t x, std::int64_t y, std::string_view language = {})
{
    MapTile tile;
    EXPECT_TRUE(map.readTile({zoom, x, y}, language, tile)) << map.errorDetail();
    return tile;
}

MicroPoint at(double latDeg, double lonDeg)
{
    return {static_cast<std::int32_t>(std::lround(latDeg * 1e6)), static_cast<std::int32_t>(std::lround(lonDeg * 1e6))};
}

// The tile of zoom that holds the position.
MapTileId tileAt(MicroPoint p, int zoom)
{
    return {zoom, tilemath::lonToTileX(p.lonE6, zoom), tilemath::latToTileY(p.latE6, zoom)};
}

TEST(MapFileRead, HeaderFieldsAllPresent)
{
    TW_REQUIRE_CORPUS();
    MapFile map = openMap(referenceMap("file_header"));
    const MapFileHeader& h = map.header();
    EXPECT_EQ(h.version, 3);
    EXPECT_EQ(h.fileSize, 709u);
    EXPECT_EQ(h.creationMs, 1335871456973);
    EXPECT_EQ(h.bounds.minLatE6, 100000);
    EXPECT_EQ(h.bounds.minLonE6, 200000);
    EXPECT_EQ(h.bounds.maxLatE6, 300000);
    EXPECT_EQ(h.bounds.maxLonE6, 400000);
    EXPECT_EQ(h.tileSizePx, 256);
    EXPECT_EQ(h.projection, "Mercator");
    EXPECT_FALSE(h.debug);
    EXPECT_EQ(h.startPosition, (MicroPoint{150000, 250000}));
    EXPECT_EQ(h.startZoom, 16);
    EXPECT_EQ(h.languages, "en");
    EXPECT_EQ(h.comment, "testcomment");
    EXPECT_EQ(h.createdBy, "mapsforge-map-writer-0.3.1-SNAPSHOT");
    EXPECT_TRUE(h.poiTags.empty());
    EXPECT_TRUE(h.wayTags.empty());
    ASSERT_EQ(h.intervals.size(), 3u);
    const int zooms[3][3] = {{5, 0, 7}, {10, 8, 11}, {14, 12, 21}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(h.intervals[i].baseZoom, zooms[i][0]);
        EXPECT_EQ(h.intervals[i].minZoom, zooms[i][1]);
        EXPECT_EQ(h.intervals[i].maxZoom, zooms[i][2]);
    }
    EXPECT_EQ(h.intervals[0].start, 194u);
    EXPECT_EQ(h.intervals[2].size, 500u);
}

TEST(MapFileRead, EmptyMapHasOptionalFieldsLeftOutAndNoObjects)
{
    TW_REQUIRE_CORPUS();
    MapFile map = openMap(referenceMap("empty"));
    const MapFileHeader& h = map.header();
    EXPECT_EQ(h.version, 4);
    EXPECT_EQ(h.bounds.minLatE6, 990000);
    EXPECT_EQ(h.bounds.maxLonE6, 1010000);
    EXPECT_FALSE(h.startPosition);
    EXPECT_FALSE(h.startZoom);
    EXPECT_EQ(h.languages, "");
    EXPECT_EQ(h.comment, "");
    for (int zoom = 0; zoom <= 22; ++zoom) {
        const MapTile tile = readTile(map, zoom, tileAt(at(1, 1), zoom).x, tileAt(at(1, 1), zoom).y);
        EXPECT_TRUE(tile.pois.empty() && tile.ways.empty()) << "zoom " << zoom;
    }
    // Outside the bounds: empty, and no error.
    const MapTile far = readTile(map, 14, 0, 0);
    EXPECT_TRUE(far.pois.empty() && far.ways.empty());
    EXPECT_FALSE(map.covers({14, 0, 0}));
}

// The same closed way, written once with each encoding of its coordinates.
TEST(MapFileRead, SingleAndDoubleDeltaGiveTheNodesTheWayWasWrittenFrom)
{
    TW_REQUIRE_CORPUS();
    MapFile single = openMap(referenceMap("single_delta_encoding"));
    MapFile twice = openMap(referenceMap("double_delta_encoding"));
    const std::vector<MicroPoint> square = {at(0, 0), at(0, 0.1), at(-0.1, 0.1), at(-0.1, 0), at(0, 0)};
    // Stored at zoom 10 the square lies in one tile, whole.
    for (const int zoom : {8, 10, 11}) {
        SCOPED_TRACE(zoom);
        const MapTileId id = tileAt(at(-0.05, 0.0001), zoom);
        for (MapFile* map : {&single, &twice}) {
            const MapTile tile = readTile(*map, zoom, id.x, id.y);
            ASSERT_EQ(tile.ways.size(), 1u);
            const MapWay& way = tile.ways[0];
            EXPECT_THAT(way.tags, ElementsAre(VectorTag{"highway", "motorway"}));
            ASSERT_EQ(way.rings.size(), 1u);
            EXPECT_EQ(way.rings[0], square);
        }
    }
    // Stored at zoom 14 it is cut into the tiles it covers: the same pieces
    // in both files, each within its tile and the writer's small margin.
    std::size_t pieces = 0;
    for (std::int64_t y = 8192; y <= 8197; ++y)
        for (std::int64_t x = 8192; x <= 8197; ++x) {
            const MapTile a = readTile(single, 14, x, y);
            const MapTile b = readTile(twice, 14, x, y);
            ASSERT_EQ(a.ways.size(), b.ways.size());
            for (std::size_t i = 0; i < a.ways.size(); ++i) {
                EXPECT_EQ(a.ways[i].rings, b.ways[i].rings) << x << "," << y;
                for (const MicroPoint& p : a.ways[i].rings.at(0)) {
                    EXPECT_GE(p.latE6, tilemath::tileNorthE6(y + 1, 14) - 1000);
                    EXPECT_LE(p.latE6, tilemath::tileNorthE6(y, 14) + 1000);
                    EXPECT_GE(p.lonE6, tilemath::tileWestE6(x, 14) - 1000);
                    EXPECT_LE(p.lonE6, tilemath::tileWestE6(x + 1, 14) + 1000);
                }
                ++pieces;
            }
        }
    EXPECT_GT(pieces, 10u);
}

TEST(MapFileRead, PoiAndWayWithAllTheirFields)
{
    TW_REQUIRE_CORPUS();
    MapFile map = openMap(referenceMap("with_data"));
    EXPECT_TRUE(map.header().debug);
    const MicroPoint poiAt = at(0.04, 0.08);
    for (const int zoom : {10, 14, 17}) {
        const MapTileId id = tileAt(poiAt, zoom);
        SCOPED_TRACE(zoom);
        const MapTile tile = readTile(map, zoom, id.x, id.y);
        ASSERT_EQ(tile.pois.size(), 1u) << "zoom " << zoom;
        const MapPoi& poi = tile.pois[0];
        EXPECT_EQ(poi.position, poiAt);
        EXPECT_THAT(poi.tags, ElementsAre(VectorTag{"place", "country"}));
        EXPECT_EQ(poi.name, "АБВГДЕЖЗ");
        EXPECT_EQ(poi.houseNumber, "абвгдежз");
        EXPECT_EQ(poi.elevationM, 25);
        EXPECT_EQ(poi.layer, 2);

        ASSERT_EQ(tile.ways.size(), 1u) << "zoom " << zoom;
        const MapWay& way = tile.ways[0];
        EXPECT_THAT(way.tags, ElementsAre(VectorTag{"highway", "motorway"}));
        EXPECT_EQ(way.name, "ÄÖÜ");
        EXPECT_EQ(way.ref, "äöü");
        EXPECT_EQ(way.layer, -1);
        ASSERT_EQ(way.rings.size(), 1u);
        if (zoom == 10)
            EXPECT_EQ(way.rings[0], (std::vector<MicroPoint>{at(0, 0), poiAt, at(0.08, 0)}));
        else // cut to the tile
            EXPECT_THAT(way.rings[0], ::testing::Contains(poiAt));
    }
    // The place is drawn from zoom 3 on, the motorway from zoom 6.
    const auto counts = [&](int zoom) {
        const MapTileId id = tileAt(poiAt, zoom);
        const MapTile tile = readTile(map, zoom, id.x, id.y);
        return std::pair(tile.pois.size(), tile.ways.size());
    };
    EXPECT_EQ(counts(2), std::pair(std::size_t{0}, std::size_t{0}));
    EXPECT_EQ(counts(3), std::pair(std::size_t{1}, std::size_t{0}));
    EXPECT_EQ(counts(6), std::pair(std::size_t{1}, std::size_t{1}));
}

TEST(MapFileRead, RealMapEveryTileOfEveryIntervalReads)
{
    TW_REQUIRE_CORPUS();
    MapFile map = openMap(test::corpusDir() / "mapsforge" / "pankow.map");
    EXPECT_EQ(map.header().version, 3);
    EXPECT_EQ(map.header().poiTags.size(), 4u);
    std::set<std::string> streets;
    std::size_t pois = 0;
    for (int zoom = 0; zoom <= 21; ++zoom) {
        const MicroBox& b = map.header().bounds;
        for (std::int64_t y = tilemath::latToTileY(b.maxLatE6, zoom); y <= tilemath::latToTileY(b.minLatE6, zoom); ++y)
            for (std::int64_t x = tilemath::lonToTileX(b.minLonE6, zoom); x <= tilemath::lonToTileX(b.maxLonE6, zoom);
                 ++x) {
                const MapTile tile = readTile(map, zoom, x, y);
                for (const MapWay& way : tile.ways) {
                    for (const auto& ring : way.rings)
                        for (const MicroPoint& p : ring) {
                            // Ways run on beyond the bounds, but not far.
                            EXPECT_NEAR(p.latE6, 52'581'000, 20'000);
                            EXPECT_NEAR(p.lonE6, 13'400'000, 20'000);
                        }
                    if (zoom == 16 && !way.name.empty() &&
                        std::find(way.tags.begin(), way.tags.end(), VectorTag{"highway", "residential"}) != way.tags.end())
                        streets.insert(way.name);
                }
                if (zoom == 18)
                    pois += tile.pois.size();
            }
    }
    EXPECT_FALSE(streets.empty());
    EXPECT_GT(pois, 0u);
}

TEST(MapFileRead, SetAnswersFromEveryFileThatCoversATile)
{
    TW_REQUIRE_CORPUS();
    MapFileSet set;
    ASSERT_TRUE(set.add(referenceMap("single_delta_encoding")));
    ASSERT_TRUE(set.add(referenceMap("double_delta_encoding")));
    ASSERT_TRUE(set.add(referenceMap("with_data")));
    EXPECT_FALSE(set.add(referenceMap("no_such_map")));
    EXPECT_EQ(set.error(), MapFileError::CannotOpen);
    EXPECT_EQ(set.size(), 3u);

    // A tile south-east of 0/0 holds both squares; one north-east of it the
    // POI of the third file.
    MapTile tile;
    EXPECT_TRUE(set.readTile(tileAt(at(-0.05, 0.05), 8), {}, tile));
    EXPECT_EQ(std::count_if(tile.ways.begin(), tile.ways.end(),
                            [](const MapWay& w) { return w.rings.size() == 1 && w.rings[0].size() == 5; }),
              2);
    EXPECT_TRUE(set.readTile(tileAt(at(0.04, 0.08), 12), {}, tile));
    EXPECT_EQ(tile.pois.size(), 1u);
    EXPECT_FALSE(set.covers({12, 0, 0}));
    EXPECT_TRUE(set.readTile({12, 0, 0}, {}, tile));
    EXPECT_TRUE(tile.ways.empty());
}

} // namespace
} // namespace tw::maps
