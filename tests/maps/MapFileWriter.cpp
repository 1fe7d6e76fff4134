// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/maps/MapFileWriter.h"

#include "maps/mapsforge/TileMath.h"

namespace tw::maps::testmap {

void patch(std::string& bytes, std::size_t at, const std::string& with) { bytes.replace(at, with.size(), with); }

WrittenMap writeMap(const MapContent& content)
{
    WrittenMap map;
    map.bytes = mapwriter::encodeMap(content, &map);
    return map;
}

MapContent richMap()
{
    const std::int32_t north = tilemath::tileNorthE6(kRichY, 14);
    const std::int32_t west = tilemath::tileWestE6(kRichX, 14);
    MapContent content;
    content.version = 5;
    content.bounds = {north - 1000, west, north, tilemath::tileWestE6(kRichX + 1, 14) + 1000};
    content.poiTags = {"amenity=cafe", "ele=%i"};
    content.wayTags = {"highway=path", "name=%s", "building=yes"};
    IntervalContent z{14, 12, 16, {}};
    TileContent tile{kRichX, kRichY, false, {}, {}, {}};
    PoiContent poi;
    poi.position = {north - 100, west + 150};
    poi.zoom = 14;
    poi.tags = {1, 0};
    poi.tagValues = fixed(static_cast<std::uint32_t>(-12), 4);
    poi.name = std::string("Kavárna\ben\bCafe");
    poi.houseNumber = "12a";
    poi.elevationM = -3;
    tile.pois.push_back(poi);
    WayContent way;
    way.zoom = 13;
    way.layer = 2;
    way.tags = {2, 1};
    way.tagValues = text("Dům");
    way.name = "Dům";
    way.houseNumber = "7";
    way.ref = "B 96";
    way.label = MicroPoint{north - 55, west + 55};
    way.doubleDelta = true;
    way.blocks = {{{{north - 10, west + 10}, {north - 200, west + 10}, {north - 200, west + 200}, {north - 10, west + 10}},
                   {{north - 50, west + 50}, {north - 60, west + 50}, {north - 60, west + 60}, {north - 50, west + 50}}},
                  {{{north - 300, west + 300}, {north - 310, west + 320}, {north - 305, west + 340}}}};
    tile.ways.push_back(way);
    z.tiles.push_back(tile);
    content.intervals.push_back(z);
    return content;
}

MapContent oneTileMap(std::string block)
{
    constexpr int kZoom = 14;
    const std::int64_t x = 8800;
    const std::int64_t y = 5370;
    MapContent content;
    const std::int32_t north = tilemath::tileNorthE6(y, kZoom);
    const std::int32_t west = tilemath::tileWestE6(x, kZoom);
    content.bounds = {north - 100, west, north, west + 100};
    content.poiTags = {"amenity=cafe"};
    content.wayTags = {"highway=path"};
    IntervalContent z{kZoom, 12, 16, {}};
    TileContent tile{x, y, false, {}, {}, std::move(block)};
    z.tiles.push_back(std::move(tile));
    content.intervals.push_back(std::move(z));
    return content;
}

std::filesystem::path MapFileTest::save(const std::string& bytes, const std::string& name)
{
    const auto path = dir / name;
    ::tw::test::writeFile(path, bytes);
    return path;
}

MapFile MapFileTest::openWritten(const std::string& bytes, const std::string& name)
{
    MapFile map;
    EXPECT_TRUE(map.open(save(bytes, name))) << map.errorDetail();
    return map;
}

} // namespace tw::maps::testmap
