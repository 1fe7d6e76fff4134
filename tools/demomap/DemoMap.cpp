// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/demomap/DemoMap.h"

#include "maps/mapsforge/TileMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw::demomap {
namespace {

using mapwriter::MicroBox;
using mapwriter::MicroPoint;
namespace tilemath = maps::tilemath;

using Ring = std::vector<MicroPoint>;
using Tags = std::initializer_list<const char*>;

// A thing on the map, in its place.
struct Thing {
    bool poi = false;
    int firstZoom = 0; // as the built-in theme first draws it
    std::vector<std::string> tags;
    std::optional<std::string> name;
    std::optional<std::string> houseNumber;
    std::optional<int> elevationM;
    bool label = false;      // named areas: the name at the centre
    std::vector<Ring> rings; // a POI: one ring of its position; an area: outer ring, then holes
    MicroBox box;
};

// As the built-in maps: 0–7, 8–11 and 12–21, stored at the zoom levels 5, 10 and 14.
struct Interval {
    int baseZoom, minZoom, maxZoom;
};
constexpr Interval kIntervals[] = {{5, 0, 7}, {10, 8, 11}, {14, 12, 21}};

// Where the town lies, in metres east and north of the centre.
constexpr double kStreetsEastWest[] = {400, 650, 900, 1150};
constexpr double kStreetsNorthSouth[] = {-600, -200, 200, 600};
const char* const kEastWestNames[] = {"Dolní", "Zahradní", "Hlavní", "Horní"};
const char* const kNorthSouthNames[] = {"Polní", "Školní", "Nádražní", "Lesní"};

// The river's course: west to east, rising a little and bending.
double riverNorth(double east) { return -600 + (east + 3000) / 6 + 220 * std::sin(east / 450); }

class World {
public:
    World(double lat, double lon)
        : m_lat(lat), m_lon(lon), m_metresPerLonDegree(kMetresPerLatDegree * std::cos(lat * std::numbers::pi / 180))
    {
    }

    MicroPoint at(double east, double north) const
    {
        return {static_cast<std::int32_t>(std::lround((m_lat + north / kMetresPerLatDegree) * 1e6)),
                static_cast<std::int32_t>(std::lround((m_lon + east / m_metresPerLonDegree) * 1e6))};
    }

    Ring line(std::initializer_list<std::pair<double, double>> points) const
    {
        Ring ring;
        for (const auto& [east, north] : points)
            ring.push_back(at(east, north));
        return ring;
    }
    Ring closed(std::initializer_list<std::pair<double, double>> points) const
    {
        Ring ring = line(points);
        ring.push_back(ring.front());
        return ring;
    }
    Ring rect(double west, double south, double east, double north) const
    {
        return closed({{west, south}, {east, south}, {east, north}, {west, north}});
    }
    Ring ellipse(double east, double north, double halfWidth, double halfHeight) const
    {
        Ring ring;
        for (int i = 0; i < 24; ++i) {
            const double a = 2 * std::numbers::pi * i / 24;
            ring.push_back(at(east + halfWidth * std::cos(a), north + halfHeight * std::sin(a)));
        }
        ring.push_back(ring.front());
        return ring;
    }

    Thing& way(int firstZoom, Tags tags, std::vector<Ring> rings)
    {
        Thing t;
        t.firstZoom = firstZoom;
        t.tags.assign(tags.begin(), tags.end());
        t.rings = std::move(rings);
        return add(std::move(t));
    }
    Thing& poi(int firstZoom, Tags tags, double east, double north)
    {
        Thing& t = way(firstZoom, tags, {{at(east, north)}});
        t.poi = true;
        return t;
    }

    std::vector<Thing> things;

private:
    static constexpr double kMetresPerLatDegree = 111'320;

    Thing& add(Thing t)
    {
        t.box = {t.rings[0][0].latE6, t.rings[0][0].lonE6, t.rings[0][0].latE6, t.rings[0][0].lonE6};
        for (const Ring& ring : t.rings)
            for (const MicroPoint& p : ring) {
                t.box.minLatE6 = std::min(t.box.minLatE6, p.latE6);
                t.box.minLonE6 = std::min(t.box.minLonE6, p.lonE6);
                t.box.maxLatE6 = std::max(t.box.maxLatE6, p.latE6);
                t.box.maxLonE6 = std::max(t.box.maxLonE6, p.lonE6);
            }
        things.push_back(std::move(t));
        return things.back();
    }

    double m_lat;
    double m_lon;
    double m_metresPerLonDegree;
};

void landscape(World& w)
{
    Ring river;
    for (double east = -3000; east <= 3000; east += 150)
        river.push_back(w.at(east, riverNorth(east)));
    w.way(10, {"waterway=river"}, {river}).name = kRiverName;
    Ring bank;
    for (double east = -700; east <= 700; east += 100)
        bank.push_back(w.at(east, riverNorth(east) + 40));
    w.way(13, {"highway=footway"}, {bank});
    Thing& lake = w.way(8, {"natural=water"}, {w.ellipse(1800, -1600, 350, 200)});
    lake.name = "Hrázný rybník";
    lake.label = true;
    w.way(13, {"waterway=stream"},
          {w.line({{2000, 1700}, {1600, 1000}, {1300, 500}, {1200, riverNorth(1200)}})});

    // The forest south-west of the town, with a clearing of meadow in it.
    const Ring clearing = w.rect(-2300, -2200, -1700, -1700);
    w.way(9, {"landuse=forest"},
          {w.closed({{-3000, -3000}, {-1200, -3000}, {-900, -1500}, {-1300, -700}, {-3000, -900}}), clearing});
    w.way(11, {"landuse=meadow"}, {clearing});
    w.way(9, {"natural=wood"}, {w.closed({{1400, 1300}, {3000, 1200}, {3000, 3000}, {1200, 3000}, {900, 2200}})});
    w.way(11, {"landuse=meadow"}, {w.rect(-1000, 1500, -300, 2200)});
    Thing& peak = w.poi(12, {"natural=peak"}, 2200, 2100);
    peak.name = kPeakName;
    peak.elevationM = kPeakElevationM;
}

void town(World& w)
{
    w.way(12, {"landuse=residential"}, {w.rect(-700, 300, 700, 1300)});
    w.poi(7, {"place=town"}, 0, 775).name = kTownName;
    for (std::size_t i = 0; i < 4; ++i) {
        const double north = kStreetsEastWest[i];
        const bool main = i == 2; // the road through the town
        w.way(main ? 12 : 13, {main ? "highway=tertiary" : "highway=residential"},
              {w.line({{main ? -3000 : -650, north}, {main ? 3000 : 650, north}})})
            .name = kEastWestNames[i];
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const double east = kStreetsNorthSouth[i];
        const bool main = i == 2; // to the station, over the river
        w.way(main ? 12 : 13, {main ? "highway=tertiary" : "highway=residential"},
              {w.line({{east, main ? -3000 : 350}, {east, 1250}})})
            .name = kNorthSouthNames[i];
    }
    // Three houses along each side of each block, numbered street by street.
    int number = 0;
    for (std::size_t row = 0; row + 1 < 4; ++row)
        for (std::size_t column = 0; column + 1 < 4; ++column) {
            const double west = kStreetsNorthSouth[column];
            const double south = kStreetsEastWest[row];
            const double north = kStreetsEastWest[row + 1];
            for (int side = 0; side < 2; ++side)
                for (int k = 0; k < 3; ++k) {
                    const double x = west + 40 + 120 * k;
                    const double y = side == 0 ? south + 12 : north - 24;
                    w.way(15, {"building=yes"}, {w.rect(x, y, x + 18, y + 12)}).houseNumber =
                        std::to_string(++number);
                }
        }
    w.way(15, {"amenity=parking"}, {w.rect(700, 850, 780, 890)});
    w.poi(16, {"amenity=bench"}, 0, 790);
    w.poi(15, {"amenity=drinking_water"}, -30, 790);
}

void trails(World& w)
{
    w.way(13, {"highway=path", "sac_scale=hiking", "trail_visibility=good"},
          {w.line({{-600, 400}, {-900, -300}, {-1300, -900}, {-1800, -1500}, {-2000, -1900}})});
    w.way(13, {"highway=path", "sac_scale=mountain_hiking", "trail_visibility=bad"},
          {w.line({{600, 1150}, {1000, 1500}, {1500, 1750}, {1900, 1950}, {2200, 2100}})});
    w.way(13, {"highway=path", "sac_scale=demanding_mountain_hiking", "trail_visibility=horrible"},
          {w.line({{2200, 2100}, {2600, 2600}, {2900, 2950}})});
    w.way(12, {"highway=track", "tracktype=grade2"},
          {w.line({{600, 1250}, {400, 1700}, {-200, 2300}, {-800, 2900}})});
    w.way(12, {"highway=track", "tracktype=grade4"}, {w.line({{200, -900}, {800, -1200}, {1450, -1500}})});
    w.poi(15, {"amenity=parking"}, -1000, -1000);
    w.poi(16, {"amenity=bench"}, -1950, -1850);
    w.poi(16, {"amenity=bench"}, 1800, -1350);
    w.poi(16, {"amenity=bench"}, 1500, 1750);
    w.poi(15, {"amenity=shelter"}, 2150, 2050);
    w.poi(15, {"amenity=shelter"}, -2000, -1950).name = "Altánek";
    w.poi(15, {"natural=spring"}, 1250, 1600).name = "Studánka";
}

MicroBox tileBox(std::int64_t x, std::int64_t y, int zoom)
{
    return {tilemath::tileNorthE6(y + 1, zoom), tilemath::tileWestE6(x, zoom), tilemath::tileNorthE6(y, zoom),
            tilemath::tileWestE6(x + 1, zoom)};
}

bool overlaps(const MicroBox& a, const MicroBox& b)
{
    return a.minLatE6 <= b.maxLatE6 && b.minLatE6 <= a.maxLatE6 && a.minLonE6 <= b.maxLonE6 &&
           b.minLonE6 <= a.maxLonE6;
}

// The ids of tags in a tag list, in the order of their first use.
class TagList {
public:
    explicit TagList(std::vector<std::string>& list) : m_list(list) {}
    std::vector<int> ids(const std::vector<std::string>& tags)
    {
        std::vector<int> out;
        for (const std::string& t : tags) {
            const auto [it, added] = m_ids.emplace(t, static_cast<int>(m_list.size()));
            if (added)
                m_list.push_back(t);
            out.push_back(it->second);
        }
        return out;
    }

private:
    std::vector<std::string>& m_list;
    std::map<std::string, int> m_ids;
};

} // namespace

DemoMap demoMap(double lat, double lon)
{
    World w(lat, lon);
    landscape(w);
    town(w);
    trails(w);

    DemoMap out;
    mapwriter::MapContent& content = out.content;
    content.comment = "A made-up map for the demo";
    content.startPosition = MicroPoint{tilemath::toE6(lat), tilemath::toE6(lon)};
    content.startZoom = kStartZoom;
    MicroBox& b = content.bounds;
    b = w.things.front().box;
    for (const Thing& t : w.things) {
        b.minLatE6 = std::min(b.minLatE6, t.box.minLatE6);
        b.minLonE6 = std::min(b.minLonE6, t.box.minLonE6);
        b.maxLatE6 = std::max(b.maxLatE6, t.box.maxLatE6);
        b.maxLonE6 = std::max(b.maxLonE6, t.box.maxLonE6);
        ++(t.poi ? out.pois : out.ways);
    }
    TagList poiTags(content.poiTags);
    TagList wayTags(content.wayTags);

    for (const Interval& z : kIntervals) {
        mapwriter::IntervalContent interval{z.baseZoom, z.minZoom, z.maxZoom, {}};
        std::map<std::pair<std::int64_t, std::int64_t>, mapwriter::TileContent> tiles; // by row, then column
        const auto tile = [&](std::int64_t x, std::int64_t y) -> mapwriter::TileContent& {
            mapwriter::TileContent& t = tiles[{y, x}];
            t.x = x;
            t.y = y;
            return t;
        };
        for (const Thing& thing : w.things) {
            if (thing.firstZoom > z.maxZoom)
                continue;
            const int row = std::max(thing.firstZoom, z.minZoom);
            if (thing.poi) {
                mapwriter::PoiContent p;
                p.position = thing.rings[0][0];
                p.zoom = row;
                p.tags = poiTags.ids(thing.tags);
                p.name = thing.name;
                p.houseNumber = thing.houseNumber;
                p.elevationM = thing.elevationM;
                tile(tilemath::lonToTileX(p.position.lonE6, z.baseZoom), tilemath::latToTileY(p.position.latE6, z.baseZoom))
                    .pois.push_back(std::move(p));
                continue;
            }
            mapwriter::WayContent way;
            way.zoom = row;
            way.tags = wayTags.ids(thing.tags);
            way.name = thing.name;
            way.houseNumber = thing.houseNumber;
            if (thing.label)
                way.label = MicroPoint{(thing.box.minLatE6 + thing.box.maxLatE6) / 2,
                                       (thing.box.minLonE6 + thing.box.maxLonE6) / 2};
            way.blocks = {thing.rings};
            for (std::int64_t y = tilemath::latToTileY(thing.box.maxLatE6, z.baseZoom);
                 y <= tilemath::latToTileY(thing.box.minLatE6, z.baseZoom); ++y)
                for (std::int64_t x = tilemath::lonToTileX(thing.box.minLonE6, z.baseZoom);
                     x <= tilemath::lonToTileX(thing.box.maxLonE6, z.baseZoom); ++x) {
                    // Of the 16 sub-tiles two zoom levels down, row by row from the
                    // north-west, those the way's box reaches.
                    way.subTiles = 0;
                    for (int r = 0; r < 4; ++r)
                        for (int c = 0; c < 4; ++c)
                            if (overlaps(thing.box, tileBox(4 * x + c, 4 * y + r, z.baseZoom + 2)))
                                way.subTiles = static_cast<std::uint16_t>(way.subTiles | (0x8000 >> (4 * r + c)));
                    if (way.subTiles != 0)
                        tile(x, y).ways.push_back(way);
                }
        }
        for (auto& [at, t] : tiles)
            interval.tiles.push_back(std::move(t));
        content.intervals.push_back(std::move(interval));
    }
    return out;
}

} // namespace tw::demomap
