// SPDX-License-Identifier: GPL-3.0-or-later
// The vector map reader on a real map: written from the OpenStreetMap extract
// of Liechtenstein (OsmMapFixture.h), read back tile by tile at every zoom
// interval and compared object by object with what was written.
#include "maps/mapsforge/MapFile.h"
#include "maps/mapsforge/MapFileSet.h"
#include "maps/mapsforge/TileMath.h"
#include "platform/Numbers.h"
#include "tests/maps/OsmMapFixture.h"
#include "tests/TestSupport.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>

namespace tw::maps::osmmap {
namespace {

struct Expected {
    std::vector<const OsmObject*> pois;
    std::vector<const OsmObject*> ways;
};

std::string describe(const std::vector<VectorTag>& tags)
{
    std::string s;
    for (const VectorTag& t : tags)
        s += t.key + "=" + t.value + ";";
    return s;
}

// The first field in which a read POI differs from the object written;
// empty when they agree.
std::string poiDiff(const MapPoi& got, const OsmObject& want, std::string_view language)
{
    if (got.position != want.position())
        return "position";
    if (got.layer != want.layer)
        return "layer";
    if (got.tags != want.tags)
        return "tags " + describe(got.tags) + " not " + describe(want.tags);
    if (got.name != want.nameIn(language))
        return "name \"" + got.name + "\" not \"" + want.nameIn(language) + "\"";
    if (got.houseNumber != want.houseNumber)
        return "house number";
    if (got.elevationM != want.elevationM)
        return "elevation";
    return {};
}

// The same of a way, which is read as one part per data block, from
// got[at] on; at is moved past its parts.
std::string wayDiff(const std::vector<MapWay>& got, std::size_t& at, const OsmObject& want, std::string_view language)
{
    for (std::size_t b = 0; b < want.blocks.size(); ++b, ++at) {
        if (at >= got.size())
            return "parts missing";
        const MapWay& w = got[at];
        if (w.layer != want.layer)
            return "layer";
        if (w.tags != want.tags)
            return "tags " + describe(w.tags) + " not " + describe(want.tags);
        if (w.name != want.nameIn(language))
            return "name \"" + w.name + "\" not \"" + want.nameIn(language) + "\"";
        if (w.houseNumber != want.houseNumber || w.ref != want.ref)
            return "house number or ref";
        if (w.rings != want.blocks[b])
            return "rings of block " + std::to_string(b);
        if (w.labelPosition != (b == 0 ? want.label : std::nullopt))
            return "label position";
    }
    return {};
}

// Compares a read tile with the objects expected in it, in their order;
// failures counts the objects that differ, over all calls.
void expectTile(const MapTile& got, const Expected& want, std::string_view language, const std::string& where,
                int& failures)
{
    std::size_t parts = 0;
    for (const OsmObject* o : want.ways)
        parts += o->blocks.size();
    if (got.pois.size() != want.pois.size() || got.ways.size() != parts) {
        ADD_FAILURE() << where << ": " << got.pois.size() << " POIs and " << got.ways.size() << " way parts, not "
                      << want.pois.size() << " and " << parts;
        ++failures;
        return;
    }
    for (std::size_t i = 0; i < got.pois.size() && failures < 10; ++i)
        if (const std::string d = poiDiff(got.pois[i], *want.pois[i], language); !d.empty()) {
            ADD_FAILURE() << where << ": POI of node " << want.pois[i]->osmId << ": " << d;
            ++failures;
        }
    std::size_t at = 0;
    for (const OsmObject* o : want.ways)
        if (const std::string d = wayDiff(got.ways, at, *o, language); !d.empty() && failures < 10) {
            ADD_FAILURE() << where << ": way of " << o->osmId << ": " << d;
            ++failures;
        }
}

// The objects of a stored tile drawn at zoom, filtered further by keep.
Expected storedAt(const OsmMap& map, std::size_t interval, const TileObjects* t, int zoom,
                  const std::function<bool(const OsmObject&, std::uint16_t subTiles)>& keep = {})
{
    Expected e;
    if (!t)
        return e;
    const IntervalPlan& z = kIntervals[interval];
    for (const std::size_t i : t->pois) {
        const OsmObject& o = map.data.objects[i];
        if (zoomRow(o, z) <= zoom && (!keep || keep(o, 0)))
            e.pois.push_back(&o);
    }
    for (std::size_t k = 0; k < t->ways.size(); ++k) {
        const OsmObject& o = map.data.objects[t->ways[k]];
        if (zoomRow(o, z) <= zoom && (!keep || keep(o, t->subTiles[k])))
            e.ways.push_back(&o);
    }
    return e;
}

bool inBox(MicroPoint p, const MicroBox& b)
{
    return p.latE6 >= b.minLatE6 && p.latE6 <= b.maxLatE6 && p.lonE6 >= b.minLonE6 && p.lonE6 <= b.maxLonE6;
}

std::string where(int zoom, std::int64_t x, std::int64_t y)
{
    return "tile " + std::to_string(x) + "," + std::to_string(y) + " at zoom " + std::to_string(zoom);
}

struct TileSpan {
    std::int64_t left, top, right, bottom;
};
TileSpan spanOf(const MicroBox& b, int zoom)
{
    return {tilemath::lonToTileX(b.minLonE6, zoom), tilemath::latToTileY(b.maxLatE6, zoom),
            tilemath::lonToTileX(b.maxLonE6, zoom), tilemath::latToTileY(b.minLatE6, zoom)};
}

class OsmMapRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        TW_REQUIRE_CORPUS();
        if (liechtensteinExtract().empty()) {
            if (test::underCi())
                FAIL() << "the OpenStreetMap extract osm/liechtenstein-2013-08-03.osm.pbf is missing under CI";
            GTEST_SKIP() << "the corpus holds no osm/liechtenstein-2013-08-03.osm.pbf";
        }
        ASSERT_TRUE(file.open(liechtensteinMap())) << file.errorDetail();
    }

    const OsmMap& map() const { return liechtensteinContent(); }

    MapTile read(int zoom, std::int64_t x, std::int64_t y, std::string_view language = {})
    {
        MapTile tile;
        EXPECT_TRUE(file.readTile({zoom, x, y}, language, tile)) << where(zoom, x, y) << ": " << file.errorDetail();
        return tile;
    }

    MapFile file;
};

// What the writer made of the extract, and the header the reader finds.
TEST_F(OsmMapRead, TheExtractGivesObjectsOfEveryKindInEveryInterval)
{
    const OsmMap& m = map();
    std::size_t kinds[4] = {};
    std::size_t withHoles = 0, multiBlock = 0, german = 0, english = 0, elevations = 0, houseNumbers = 0;
    for (const OsmObject& o : m.data.objects) {
        ++kinds[static_cast<int>(o.kind)];
        withHoles += std::any_of(o.blocks.begin(), o.blocks.end(), [](const auto& b) { return b.size() > 1; });
        multiBlock += o.blocks.size() > 1;
        const auto has = [&o](std::string_view lang) {
            return std::any_of(o.names.begin(), o.names.end(), [&](const auto& n) { return n.first == lang; });
        };
        german += has("de");
        english += o.nameIn("en") != o.name || o.nameIn("fr") != o.name;
        elevations += o.elevationM.has_value();
        houseNumbers += !o.houseNumber.empty();
    }
    std::cout << kinds[0] << " POIs, " << kinds[1] << " lines, " << kinds[2] << " areas, " << kinds[3]
              << " boundaries; " << withHoles << " with holes, " << multiBlock << " of several outer rings\n";
    EXPECT_GT(kinds[int(Kind::Poi)], 500u);
    EXPECT_GT(kinds[int(Kind::Line)], 2000u);
    EXPECT_GT(kinds[int(Kind::Area)], 3000u);
    EXPECT_GE(kinds[int(Kind::Boundary)], 1u); // the country
    EXPECT_GT(withHoles, 0u);
    EXPECT_GT(multiBlock, 0u);
    EXPECT_GT(german, 0u);
    EXPECT_GT(english, 0u); // translated, not only repeated
    EXPECT_GT(elevations, 10u);
    EXPECT_GT(houseNumbers, 100u);

    // Each interval holds objects; the high one both encodings and ways on
    // some of a tile's sub-tiles only.
    for (std::size_t i = 0; i < m.content.intervals.size(); ++i) {
        std::size_t pois = 0, ways = 0, doubleDelta = 0, partial = 0, water = 0;
        for (const testmap::TileContent& t : m.content.intervals[i].tiles) {
            water += t.water;
            pois += t.pois.size();
            ways += t.ways.size();
            for (const testmap::WayContent& w : t.ways) {
                doubleDelta += w.doubleDelta;
                partial += w.subTiles != 0xffff;
            }
        }
        std::cout << "interval " << i << " (base zoom " << kIntervals[i].baseZoom << "): "
                  << m.content.intervals[i].tiles.size() << " tiles, " << pois << " POIs, " << ways << " ways, "
                  << doubleDelta << " double-delta, " << partial << " on some sub-tiles only, " << water
                  << " tiles all water\n";
        EXPECT_GT(ways, 0u) << i;
        if (i + 1 == m.content.intervals.size()) {
            EXPECT_GT(pois, 500u);
            EXPECT_GT(doubleDelta, 0u);
            EXPECT_LT(doubleDelta, ways);
            EXPECT_GT(partial, ways / 4);
        }
    }
    const WriteTimes times = liechtensteinWriteTimes();
    std::cout << "map: " << m.bytes.size() << " bytes; extract read in " << num::formatFixed(times.readSeconds, 2)
              << " s, map written in " << num::formatFixed(times.writeSeconds, 2) << " s\n";

    const MapFileHeader& h = file.header();
    EXPECT_EQ(h.version, 4);
    EXPECT_EQ(h.fileSize, m.bytes.size());
    EXPECT_EQ(h.languages, "de,en,fr,it");
    EXPECT_EQ(h.bounds.minLatE6, m.data.bounds.minLatE6);
    EXPECT_EQ(h.bounds.maxLonE6, m.data.bounds.maxLonE6);
    // Liechtenstein lies about 47.05–47.27 N, 9.47–9.64 E.
    EXPECT_NEAR(h.bounds.minLatE6, 47'050'000, 100'000);
    EXPECT_NEAR(h.bounds.maxLonE6, 9'640'000, 100'000);
    ASSERT_EQ(h.intervals.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(h.intervals[i].baseZoom, kIntervals[i].baseZoom);
        EXPECT_EQ(h.intervals[i].minZoom, kIntervals[i].minZoom);
        EXPECT_EQ(h.intervals[i].maxZoom, kIntervals[i].maxZoom);
    }
    ASSERT_EQ(h.wayTags.size(), m.content.wayTags.size());
    EXPECT_EQ(h.wayTags[0].tag.key + "=" + h.wayTags[0].tag.value, m.content.wayTags[0]);
}

// Every tile of every interval at its base zoom, empty ones included: the
// objects written, in their order, with every field and node.
TEST_F(OsmMapRead, EveryStoredTileReadsAsWritten)
{
    const OsmMap& m = map();
    int failures = 0;
    for (std::size_t i = 0; i < std::size(kIntervals); ++i) {
        const int zoom = kIntervals[i].baseZoom;
        const TileSpan s = spanOf(m.data.bounds, zoom);
        std::size_t objects = 0;
        for (std::int64_t y = s.top; y <= s.bottom; ++y)
            for (std::int64_t x = s.left; x <= s.right; ++x) {
                const TileObjects* t = m.tile(i, x, y);
                const Expected want = storedAt(m, i, t, zoom);
                const MapTile got = read(zoom, x, y);
                expectTile(got, want, {}, where(zoom, x, y), failures);
                EXPECT_EQ(got.water, t && t->water) << where(zoom, x, y);
                objects += got.pois.size() + got.ways.size();
            }
        EXPECT_GT(objects, 0u) << "interval " << i;
    }
}

// Closer in than a stored tile: of its sub-tiles (two zoom levels down, or a
// quarter of them one level down), a way only in those it lies on, a POI
// only in the one it is in.
TEST_F(OsmMapRead, AboveTheBaseZoomOnlyTheSubTilesAWayLiesOn)
{
    const OsmMap& m = map();
    int failures = 0;
    std::size_t wrongBits = 0;
    const TileObjects* busiest = nullptr;
    for (std::size_t i = 0; i < std::size(kIntervals); ++i) {
        const int base = kIntervals[i].baseZoom;
        for (const TileObjects& t : m.tiles[i]) {
            if (i + 1 == std::size(kIntervals) && (!busiest || t.ways.size() > busiest->ways.size()))
                busiest = &t;
            for (int shift = 1; shift <= 2 && base + shift <= kIntervals[i].maxZoom; ++shift) {
                const int zoom = base + shift;
                const int n = 1 << shift;
                for (int r = 0; r < n; ++r)
                    for (int c = 0; c < n; ++c) {
                        std::uint16_t mask = 0;
                        const int size = 4 / n;
                        for (int sr = r * size; sr < (r + 1) * size; ++sr)
                            for (int sc = c * size; sc < (c + 1) * size; ++sc)
                                mask |= static_cast<std::uint16_t>(0x8000 >> (sr * 4 + sc));
                        const std::int64_t x = t.x * n + c;
                        const std::int64_t y = t.y * n + r;
                        const MicroBox box = tileBox(x, y, zoom);
                        const Expected want = storedAt(m, i, &t, zoom, [&](const OsmObject& o, std::uint16_t bits) {
                            return o.kind == Kind::Poi ? inBox(o.position(), box) : (bits & mask) != 0;
                        });
                        expectTile(read(zoom, x, y), want, {}, where(zoom, x, y), failures);
                    }
            }
            // The bitmaps themselves, from the nodes: a way with a node
            // inside a sub-tile is on it; a way on a sub-tile reaches it.
            for (std::size_t k = 0; k < t.ways.size(); ++k) {
                const OsmObject& o = m.data.objects[t.ways[k]];
                for (int s = 0; s < 16; ++s) {
                    const MicroBox sub = tileBox(t.x * 4 + s % 4, t.y * 4 + s / 4, base + 2);
                    const MicroBox inner{sub.minLatE6 + 1, sub.minLonE6 + 1, sub.maxLatE6 - 1, sub.maxLonE6 - 1};
                    const bool set = t.subTiles[k] & (0x8000 >> s);
                    bool nodeInside = false;
                    for (const auto& block : o.blocks)
                        for (const auto& ring : block)
                            nodeInside = nodeInside || std::any_of(ring.begin(), ring.end(),
                                                                   [&](MicroPoint p) { return inBox(p, inner); });
                    const bool reaches = o.box.maxLatE6 >= sub.minLatE6 && o.box.minLatE6 <= sub.maxLatE6 &&
                                         o.box.maxLonE6 >= sub.minLonE6 && o.box.minLonE6 <= sub.maxLonE6;
                    wrongBits += (nodeInside && !set) || (set && !reaches);
                }
            }
        }
    }
    EXPECT_EQ(wrongBits, 0u);

    // Three levels down from the busiest stored tile: each tile takes the
    // ways of the sub-tile it lies in.
    ASSERT_NE(busiest, nullptr);
    const std::size_t high = std::size(kIntervals) - 1;
    const int zoom = kIntervals[high].baseZoom + 3;
    for (std::int64_t y = busiest->y * 8; y < busiest->y * 8 + 8; ++y)
        for (std::int64_t x = busiest->x * 8; x < busiest->x * 8 + 8; ++x) {
            const auto bit = static_cast<std::uint16_t>(0x8000 >> (((y >> 1) & 3) * 4 + ((x >> 1) & 3)));
            const MicroBox box = tileBox(x, y, zoom);
            const Expected want = storedAt(m, high, busiest, zoom, [&](const OsmObject& o, std::uint16_t bits) {
                return o.kind == Kind::Poi ? inBox(o.position(), box) : (bits & bit) != 0;
            });
            expectTile(read(zoom, x, y), want, {}, where(zoom, x, y), failures);
        }
}

// Farther out than a stored tile: the stored tiles it holds, row by row, each
// with the objects drawn at that zoom.
TEST_F(OsmMapRead, BelowTheBaseZoomStoredTilesAreMerged)
{
    const OsmMap& m = map();
    int failures = 0;
    std::size_t merged = 0;
    for (std::size_t i = 0; i < std::size(kIntervals); ++i) {
        const int base = kIntervals[i].baseZoom;
        const TileSpan stored = spanOf(m.data.bounds, base);
        for (int zoom = base - 1; zoom >= std::max(kIntervals[i].minZoom, base - 2); --zoom) {
            const int shift = base - zoom;
            const TileSpan s = spanOf(m.data.bounds, zoom);
            for (std::int64_t y = s.top; y <= s.bottom; ++y)
                for (std::int64_t x = s.left; x <= s.right; ++x) {
                    Expected want;
                    std::size_t tiles = 0;
                    for (std::int64_t sy = std::max(y << shift, stored.top);
                         sy <= std::min(((y + 1) << shift) - 1, stored.bottom); ++sy)
                        for (std::int64_t sx = std::max(x << shift, stored.left);
                             sx <= std::min(((x + 1) << shift) - 1, stored.right); ++sx) {
                            const Expected part = storedAt(m, i, m.tile(i, sx, sy), zoom);
                            want.pois.insert(want.pois.end(), part.pois.begin(), part.pois.end());
                            want.ways.insert(want.ways.end(), part.ways.begin(), part.ways.end());
                            tiles += !part.pois.empty() || !part.ways.empty();
                        }
                    merged += tiles > 1;
                    expectTile(read(zoom, x, y), want, {}, where(zoom, x, y), failures);
                }
        }
    }
    EXPECT_GT(merged, 0u); // some tiles were made of several stored ones
}

// The names in German, English, French and Italian where the data has them,
// else the local ones; the local ones when no language or one the file lacks
// (Spanish) is asked for.
TEST_F(OsmMapRead, NamesInTheAskedLanguageElseTheLocalOne)
{
    const OsmMap& m = map();
    int failures = 0;
    std::size_t translated = 0;
    const std::size_t high = std::size(kIntervals) - 1;
    const int zoom = kIntervals[high].baseZoom;
    for (const TileObjects& t : m.tiles[high]) {
        const MapTile local = read(zoom, t.x, t.y);
        for (const std::string_view language : {"de", "en", "fr", "it", "es"}) {
            const MapTile got = read(zoom, t.x, t.y, language);
            expectTile(got, storedAt(m, high, &t, zoom), language, where(zoom, t.x, t.y), failures);
            ASSERT_EQ(got.ways.size(), local.ways.size());
            for (std::size_t k = 0; k < got.ways.size(); ++k)
                translated += got.ways[k].name != local.ways[k].name;
            for (std::size_t k = 0; k < got.pois.size() && k < local.pois.size(); ++k)
                translated += got.pois[k].name != local.pois[k].name;
        }
    }
    EXPECT_GT(translated, 10u);
}

// Every tile over the map at every zoom level up to 16 reads within the
// reader's limits, and tiles beside the map are empty.
TEST_F(OsmMapRead, EveryTileAtEveryZoomReadsWithinTheLimits)
{
    const MicroBox& b = map().data.bounds;
    const auto start = std::chrono::steady_clock::now();
    std::size_t tiles = 0;
    std::size_t objects = 0;
    for (int zoom = 0; zoom <= 16; ++zoom) {
        const TileSpan s = spanOf(b, zoom);
        std::size_t here = 0;
        for (std::int64_t y = s.top; y <= s.bottom; ++y)
            for (std::int64_t x = s.left; x <= s.right; ++x) {
                const MapTile tile = read(zoom, x, y);
                here += tile.pois.size() + tile.ways.size();
                ++tiles;
            }
        EXPECT_GT(here, 0u) << "zoom " << zoom;
        objects += here;
        if (s.left > 0) {
            const MapTile beside = read(zoom, s.left - 1, s.top);
            EXPECT_TRUE(beside.pois.empty() && beside.ways.empty()) << "zoom " << zoom;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << tiles << " tiles at zoom levels 0 to 16 with " << objects << " objects read in "
              << num::formatFixed(seconds, 2) << " s\n";
}

// The extract in two files split by longitude, read as one set: every tile
// holds what the whole map holds there, and the tiles across the split hold
// objects of both files.
TEST_F(OsmMapRead, TwoNeighbouringFilesReadAsTheWholeMap)
{
    const MapHalves& halves = liechtensteinHalves();
    MapFileSet set;
    ASSERT_TRUE(set.add(halves.westPath)) << set.errorDetail();
    ASSERT_TRUE(set.add(halves.eastPath)) << set.errorDetail();
    MapFile west;
    ASSERT_TRUE(west.open(halves.westPath)) << west.errorDetail();
    EXPECT_LT(west.header().bounds.minLonE6, kLiechtensteinSplitLonE6);
    EXPECT_GT(west.header().bounds.maxLonE6, kLiechtensteinSplitLonE6); // its ways run on across

    const auto keys = [](const MapTile& t) {
        std::vector<std::string> k;
        for (const MapPoi& p : t.pois)
            k.push_back("poi " + p.name + describe(p.tags) + std::to_string(p.position.latE6) + "/" +
                        std::to_string(p.position.lonE6));
        for (const MapWay& w : t.ways) {
            std::string s = "way " + w.name + "|" + w.ref + "|" + describe(w.tags);
            for (const auto& ring : w.rings)
                s += std::to_string(ring.size()) + ":" + std::to_string(ring.front().latE6) + "/" +
                     std::to_string(ring.front().lonE6) + ";";
            k.push_back(std::move(s));
        }
        std::sort(k.begin(), k.end());
        return k;
    };
    std::size_t acrossWithBoth = 0;
    for (const int zoom : {5, 10, 13, 14, 15}) {
        const TileSpan s = spanOf(map().data.bounds, zoom);
        const std::int64_t splitX = tilemath::lonToTileX(kLiechtensteinSplitLonE6, zoom);
        for (std::int64_t y = s.top; y <= s.bottom; ++y)
            for (std::int64_t x = s.left; x <= s.right; ++x) {
                MapTile both;
                ASSERT_TRUE(set.readTile({zoom, x, y}, {}, both)) << set.errorDetail();
                EXPECT_EQ(keys(both), keys(read(zoom, x, y))) << where(zoom, x, y);
                if (x == splitX) {
                    MapTile part;
                    ASSERT_TRUE(west.readTile({zoom, x, y}, {}, part));
                    const std::size_t fromWest = part.pois.size() + part.ways.size();
                    acrossWithBoth += fromWest > 0 && fromWest < both.pois.size() + both.ways.size();
                }
            }
    }
    EXPECT_GT(acrossWithBoth, 5u);
}

// A lake over several stored tiles (Liechtenstein has none that large): the
// tiles it covers whole are marked as water, those its shore crosses not,
// and a tile closer in takes the mark of its stored tile.
class OsmMapWater : public test::TempDirTest {};

TEST_F(OsmMapWater, TilesAllUnderWaterAreMarked)
{
    constexpr int kZoom = 14;
    const std::int64_t x = 8628;
    const std::int64_t y = 5750;
    OsmData data;
    OsmObject lake;
    lake.osmId = 1;
    lake.kind = Kind::Area;
    lake.water = true;
    lake.tags = {{"natural", "water"}};
    lake.firstZoom = 12;
    // From the middle of the tile north-west of (x, y) to the middle of the
    // one south-east of it: only (x, y) lies wholly inside.
    const MicroBox nw = tileBox(x - 1, y - 1, kZoom);
    const MicroBox se = tileBox(x + 1, y + 1, kZoom);
    const std::int32_t north = (nw.minLatE6 + nw.maxLatE6) / 2;
    const std::int32_t west = (nw.minLonE6 + nw.maxLonE6) / 2;
    const std::int32_t south = (se.minLatE6 + se.maxLatE6) / 2;
    const std::int32_t east = (se.minLonE6 + se.maxLonE6) / 2;
    lake.blocks = {{{{north, west}, {north, east}, {south, east}, {south, west}, {north, west}}}};
    lake.box = {south, west, north, east};
    data.objects.push_back(lake);
    data.bounds = lake.box;
    const OsmMap written = writeOsmMap(data);
    test::writeFile(dir / "lake.map", written.bytes);
    MapFile file;
    ASSERT_TRUE(file.open(dir / "lake.map")) << file.errorDetail();
    MapTile tile;
    for (std::int64_t ty = y - 1; ty <= y + 1; ++ty)
        for (std::int64_t tx = x - 1; tx <= x + 1; ++tx) {
            ASSERT_TRUE(file.readTile({kZoom, tx, ty}, {}, tile)) << file.errorDetail();
            EXPECT_EQ(tile.water, tx == x && ty == y) << where(kZoom, tx, ty);
            EXPECT_EQ(tile.ways.size(), 1u) << where(kZoom, tx, ty); // the lake, on every tile
        }
    ASSERT_TRUE(file.readTile({kZoom + 2, x * 4 + 1, y * 4 + 2}, {}, tile));
    EXPECT_TRUE(tile.water);
    EXPECT_EQ(tile.ways.size(), 1u);
}

} // namespace
} // namespace tw::maps::osmmap
