// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/maps/OsmMapWriter.h"

#include "maps/mapsforge/TileMath.h"

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/pbf_input.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <stdexcept>

namespace tw::maps::osmmap {
namespace {

// An object is drawn when it has one of these keys; of its tags only those
// of these keys and the extra ones are stored.
constexpr std::string_view kMainKeys[] = {"highway", "waterway", "natural", "landuse", "building",
                                          "railway", "amenity",  "tourism", "place",   "leisure"};
constexpr std::string_view kExtraKeys[] = {"boundary", "admin_level", "bridge", "tunnel", "oneway", "sport", "religion"};
constexpr std::string_view kLanguages[] = {"de", "en", "fr", "it"};
// A way stores at most this many tags (four bits of its special byte).
constexpr std::size_t kMaxTags = 15;

bool isOneOf(std::string_view key, const auto& keys)
{
    return std::find(std::begin(keys), std::end(keys), key) != std::end(keys);
}

std::string_view value(const osmium::TagList& tags, const char* key)
{
    const char* v = tags[key];
    return v ? std::string_view(v) : std::string_view();
}

// OpenStreetMap keeps 10⁻⁷ degrees; the map file microdegrees.
std::int32_t toE6(std::int32_t e7) { return e7 >= 0 ? (e7 + 5) / 10 : (e7 - 5) / 10; }
MicroPoint toMicro(const osmium::Location& l) { return {toE6(l.y()), toE6(l.x())}; }

std::int64_t diagonalE6(const MicroBox& b)
{
    return std::max<std::int64_t>(std::int64_t{b.maxLatE6} - b.minLatE6, std::int64_t{b.maxLonE6} - b.minLonE6);
}

void extend(MicroBox& box, MicroPoint p, bool& first)
{
    if (first) {
        box = {p.latE6, p.lonE6, p.latE6, p.lonE6};
        first = false;
        return;
    }
    box.minLatE6 = std::min(box.minLatE6, p.latE6);
    box.minLonE6 = std::min(box.minLonE6, p.lonE6);
    box.maxLatE6 = std::max(box.maxLatE6, p.latE6);
    box.maxLonE6 = std::max(box.maxLonE6, p.lonE6);
}

void boxOf(OsmObject& o)
{
    bool first = true;
    for (const auto& block : o.blocks)
        for (const auto& ring : block)
            for (const MicroPoint& p : ring)
                extend(o.box, p, first);
}

// The first zoom level an object is drawn at: the country and the great
// roads, rivers and forests from far out, streets from the town's zoom
// levels on, paths, buildings and POIs only close up.
int firstZoomOf(const OsmObject& o)
{
    const auto tag = [&o](std::string_view key) -> std::string_view {
        for (const VectorTag& t : o.tags)
            if (t.key == key)
                return t.value;
        return {};
    };
    if (o.kind == Kind::Boundary) {
        const std::string_view level = tag("admin_level");
        return level == "2" ? 0 : level == "4" ? 5 : level == "6" ? 8 : 10;
    }
    if (o.kind == Kind::Poi) {
        const std::string_view place = tag("place");
        if (place == "city" || place == "town")
            return 8;
        if (place == "village")
            return 12;
        if (!place.empty())
            return 13;
        if (!o.name.empty())
            return 14;
        return o.tags.empty() ? 16 : 15; // a house number alone is the last
    }
    if (const std::string_view h = tag("highway"); !h.empty()) {
        if (h.starts_with("motorway") || h.starts_with("trunk"))
            return 5;
        if (h.starts_with("primary"))
            return 7;
        if (h.starts_with("secondary"))
            return 8;
        if (h.starts_with("tertiary"))
            return 10;
        if (h == "unclassified" || h == "residential" || h == "living_street")
            return 12;
        if (h == "service" || h == "track")
            return 13;
        return 14;
    }
    if (const std::string_view r = tag("railway"); !r.empty())
        return r == "rail" ? 7 : 13;
    if (const std::string_view w = tag("waterway"); !w.empty() && o.kind == Kind::Line)
        return w == "river" ? 6 : w == "canal" ? 8 : w == "stream" ? 13 : 14;
    if (!tag("building").empty())
        return 14;
    if (o.kind == Kind::Area && (!tag("landuse").empty() || !tag("natural").empty() || !tag("waterway").empty())) {
        const std::int64_t size = diagonalE6(o.box);
        return size > 20'000 ? 7 : size > 5'000 ? 10 : size > 1'000 ? 12 : 14;
    }
    return 14;
}

// The tags, names and fields an object takes from its OpenStreetMap tags;
// false when none of them makes it worth drawing.
bool takeTags(const osmium::TagList& tags, OsmObject& o)
{
    bool main = false;
    for (const osmium::Tag& t : tags) {
        const std::string_view key = t.key();
        if (isOneOf(key, kMainKeys))
            main = true;
        if ((isOneOf(key, kMainKeys) || isOneOf(key, kExtraKeys)) && o.tags.size() < kMaxTags)
            o.tags.push_back({std::string(key), t.value()});
    }
    o.name = value(tags, "name");
    if (!o.name.empty())
        for (const std::string_view lang : kLanguages) {
            const std::string key = "name:" + std::string(lang);
            if (const std::string_view n = value(tags, key.c_str()); !n.empty())
                o.names.emplace_back(lang, n);
        }
    o.houseNumber = value(tags, "addr:housenumber");
    o.ref = value(tags, "ref");
    if (const std::string_view layer = value(tags, "layer"); !layer.empty()) {
        int l = 0;
        if (std::from_chars(layer.data(), layer.data() + layer.size(), l).ec == std::errc())
            o.layer = std::clamp(l, -5, 10);
    }
    if (const std::string_view ele = value(tags, "ele"); !ele.empty()) {
        double metres = 0;
        if (std::from_chars(ele.data(), ele.data() + ele.size(), metres).ec == std::errc())
            o.elevationM = static_cast<int>(std::lround(metres));
    }
    const std::string_view natural = value(tags, "natural");
    o.water = natural == "water" || value(tags, "waterway") == "riverbank" || value(tags, "landuse") == "reservoir";
    return main;
}

bool isAreaWay(const osmium::Way& way)
{
    const osmium::TagList& tags = way.tags();
    if (!way.is_closed() || way.nodes().size() < 4 || value(tags, "area") == "no")
        return false;
    if (value(tags, "area") == "yes")
        return true;
    if (tags["highway"] || tags["railway"] || tags["barrier"])
        return false;
    const std::string_view natural = value(tags, "natural");
    if (natural == "coastline" || natural == "cliff" || natural == "tree_row" || natural == "ridge")
        return false;
    const std::string_view waterway = value(tags, "waterway");
    if (!waterway.empty() && waterway != "riverbank" && waterway != "dock")
        return false;
    return true;
}

std::vector<MicroPoint> ringOf(const osmium::NodeRefList& nodes)
{
    std::vector<MicroPoint> ring;
    ring.reserve(nodes.size());
    for (const osmium::NodeRef& n : nodes)
        if (n.location().valid())
            ring.push_back(toMicro(n.location()));
    return ring;
}

class Collector : public osmium::handler::Handler {
public:
    explicit Collector(std::vector<OsmObject>& out) : m_out(out) {}

    void node(const osmium::Node& node)
    {
        if (node.tags().empty() || !node.location().valid())
            return;
        OsmObject o;
        o.osmId = node.id();
        o.kind = Kind::Poi;
        if (!takeTags(node.tags(), o) && o.houseNumber.empty())
            return;
        o.blocks = {{{toMicro(node.location())}}};
        add(std::move(o));
    }

    void way(const osmium::Way& way)
    {
        OsmObject o;
        o.osmId = way.id();
        if (!takeTags(way.tags(), o))
            return;
        o.kind = isAreaWay(way) ? Kind::Area : Kind::Line;
        std::vector<MicroPoint> ring = ringOf(way.nodes());
        if (ring.size() < 2 || (o.kind == Kind::Area && (ring.size() < 4 || ring.front() != ring.back())))
            return;
        o.blocks = {{std::move(ring)}};
        add(std::move(o));
    }

    // Areas of multipolygon and boundary relations; closed ways are taken
    // as they are above.
    void area(const osmium::Area& area)
    {
        if (area.from_way())
            return;
        OsmObject o;
        o.osmId = area.orig_id();
        const std::string_view type = value(area.tags(), "type");
        const std::string_view level = value(area.tags(), "admin_level");
        // The country, its regions, districts and municipalities (whose
        // exclaves make boundaries of several outer rings).
        const bool admin = value(area.tags(), "boundary") == "administrative" &&
                           (level == "2" || level == "4" || level == "6" || level == "8");
        const bool drawn = takeTags(area.tags(), o);
        if (type == "boundary" || (type == "multipolygon" && admin && !drawn))
            o.kind = Kind::Boundary;
        else if (type == "multipolygon" && drawn)
            o.kind = Kind::Area;
        else
            return;
        if (o.kind == Kind::Boundary && !admin)
            return;
        for (const osmium::OuterRing& outer : area.outer_rings()) {
            std::vector<std::vector<MicroPoint>> block{ringOf(outer)};
            for (const osmium::InnerRing& inner : area.inner_rings(outer))
                block.push_back(ringOf(inner));
            o.blocks.push_back(std::move(block));
        }
        if (o.blocks.empty())
            return;
        add(std::move(o));
    }

private:
    void add(OsmObject o)
    {
        boxOf(o);
        if (o.kind == Kind::Area && !o.name.empty()) {
            MicroBox outer;
            bool first = true;
            for (const MicroPoint& p : o.blocks[0][0])
                extend(outer, p, first);
            o.label = MicroPoint{static_cast<std::int32_t>((std::int64_t{outer.minLatE6} + outer.maxLatE6) / 2),
                                 static_cast<std::int32_t>((std::int64_t{outer.minLonE6} + outer.maxLonE6) / 2)};
        }
        o.firstZoom = firstZoomOf(o);
        m_out.push_back(std::move(o));
    }

    std::vector<OsmObject>& m_out;
};

MicroBox boundsOf(const std::vector<OsmObject>& objects)
{
    MicroBox b;
    bool first = true;
    for (const OsmObject& o : objects) {
        extend(b, {o.box.minLatE6, o.box.minLonE6}, first);
        extend(b, {o.box.maxLatE6, o.box.maxLonE6}, first);
    }
    return b;
}

bool segmentTouches(MicroPoint a, MicroPoint b, const MicroBox& r)
{
    // Liang–Barsky: the part of the segment within each edge's half-plane.
    const double x0 = a.lonE6;
    const double y0 = a.latE6;
    const double dx = double(b.lonE6) - x0;
    const double dy = double(b.latE6) - y0;
    double t0 = 0;
    double t1 = 1;
    const auto clip = [&](double p, double q) {
        if (p == 0)
            return q >= 0;
        const double t = q / p;
        if (p < 0) {
            if (t > t1)
                return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0)
                return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    return clip(-dx, x0 - r.minLonE6) && clip(dx, r.maxLonE6 - x0) && clip(-dy, y0 - r.minLatE6) &&
           clip(dy, r.maxLatE6 - y0);
}

bool inRing(const std::vector<MicroPoint>& ring, double lat, double lon)
{
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const MicroPoint& p = ring[i];
        const MicroPoint& q = ring[j];
        if ((p.latE6 > lat) != (q.latE6 > lat)) {
            const double x = q.lonE6 + (lat - q.latE6) * (double(p.lonE6) - q.lonE6) / (double(p.latE6) - q.latE6);
            if (lon < x)
                in = !in;
        }
    }
    return in;
}

bool edgesTouch(const OsmObject& o, const MicroBox& box)
{
    if (o.box.maxLatE6 < box.minLatE6 || o.box.minLatE6 > box.maxLatE6 || o.box.maxLonE6 < box.minLonE6 ||
        o.box.minLonE6 > box.maxLonE6)
        return false;
    for (const auto& block : o.blocks)
        for (const auto& ring : block) {
            if (ring.size() == 1 && segmentTouches(ring[0], ring[0], box))
                return true;
            for (std::size_t i = 1; i < ring.size(); ++i)
                if (segmentTouches(ring[i - 1], ring[i], box))
                    return true;
        }
    return false;
}

bool centreInside(const OsmObject& o, const MicroBox& box)
{
    const double lat = (double(box.minLatE6) + box.maxLatE6) / 2;
    const double lon = (double(box.minLonE6) + box.maxLonE6) / 2;
    for (const auto& block : o.blocks)
        if (inRing(block[0], lat, lon) &&
            std::none_of(block.begin() + 1, block.end(), [&](const auto& inner) { return inRing(inner, lat, lon); }))
            return true;
    return false;
}

std::size_t encodedSize(const std::vector<std::vector<std::vector<MicroPoint>>>& blocks, MicroPoint origin,
                        bool doubleDelta)
{
    std::size_t size = 0;
    for (const auto& block : blocks)
        for (const auto& ring : block)
            size += mapwriter::ringBytes(ring, origin, doubleDelta).size();
    return size;
}

std::string tagText(const VectorTag& t) { return t.key + "=" + t.value; }

// The tag list of the objects of one kind, the most frequent first (their
// numbers take one byte).
std::vector<std::string> tagList(const std::vector<OsmObject>& objects, bool pois)
{
    std::map<std::string, std::size_t> counts;
    for (const OsmObject& o : objects)
        if ((o.kind == Kind::Poi) == pois)
            for (const VectorTag& t : o.tags)
                ++counts[tagText(t)];
    std::vector<std::pair<std::string, std::size_t>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::string> list;
    for (auto& [text, n] : sorted)
        list.push_back(std::move(text));
    return list;
}

std::vector<int> tagIds(const OsmObject& o, const std::map<std::string, int>& ids)
{
    std::vector<int> out;
    for (const VectorTag& t : o.tags)
        out.push_back(ids.at(tagText(t)));
    return out;
}

} // namespace

std::string OsmObject::storedName() const
{
    std::string s = name;
    for (const auto& [lang, n] : names)
        s += "\b" + lang + "\b" + n;
    return s;
}

std::string OsmObject::nameIn(std::string_view language) const
{
    for (const auto& [lang, n] : names)
        if (lang == language)
            return n;
    return name;
}

OsmData readOsm(const std::filesystem::path& pbf)
{
    using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    try {
        const osmium::io::File file(pbf.string(), "pbf");
        osmium::area::Assembler::config_type config;
        config.create_way_polygons = false; // closed ways are taken as they are
        config.create_empty_areas = false;
        config.keep_type_tag = true; // a multipolygon or a boundary
        osmium::area::MultipolygonManager<osmium::area::Assembler> relations{config};
        osmium::relations::read_relations(file, relations);

        OsmData data;
        Collector collector(data.objects);
        Index index;
        osmium::handler::NodeLocationsForWays<Index> locations{index};
        locations.ignore_errors(); // an extract lacks the nodes of ways that leave it
        osmium::io::Reader reader{file, osmium::osm_entity_bits::object};
        osmium::apply(reader, locations, collector, relations.handler([&collector](osmium::memory::Buffer&& buffer) {
                          osmium::apply(buffer, collector);
                      }));
        reader.close();
        data.bounds = boundsOf(data.objects);
        return data;
    } catch (const std::exception& e) {
        throw std::runtime_error(pbf.string() + ": " + e.what());
    }
}

OsmData splitAt(const OsmData& data, std::int32_t lonE6, bool west)
{
    OsmData part;
    for (const OsmObject& o : data.objects)
        if ((o.position().lonE6 < lonE6) == west)
            part.objects.push_back(o);
    part.bounds = boundsOf(part.objects);
    return part;
}

MicroBox tileBox(std::int64_t x, std::int64_t y, int zoom)
{
    return {tilemath::tileNorthE6(y + 1, zoom), tilemath::tileWestE6(x, zoom), tilemath::tileNorthE6(y, zoom),
            tilemath::tileWestE6(x + 1, zoom)};
}

bool touches(const OsmObject& o, const MicroBox& box)
{
    if (edgesTouch(o, box))
        return true;
    return o.kind == Kind::Area && centreInside(o, box);
}

bool covers(const OsmObject& o, const MicroBox& box)
{
    return o.water && o.kind == Kind::Area && !edgesTouch(o, box) && centreInside(o, box);
}

const TileObjects* OsmMap::tile(std::size_t interval, std::int64_t x, std::int64_t y) const
{
    for (const TileObjects& t : tiles.at(interval))
        if (t.x == x && t.y == y)
            return &t;
    return nullptr;
}

OsmMap writeOsmMap(OsmData data)
{
    OsmMap map;
    map.data = std::move(data);
    const std::vector<OsmObject>& objects = map.data.objects;
    const MicroBox& b = map.data.bounds;
    testmap::MapContent& content = map.content;
    content.version = 4;
    content.bounds = b;
    content.languages = "de,en,fr,it";
    content.comment = "written by the tests from an OpenStreetMap extract";
    content.poiTags = tagList(objects, true);
    content.wayTags = tagList(objects, false);
    std::map<std::string, int> poiIds;
    std::map<std::string, int> wayIds;
    for (std::size_t i = 0; i < content.poiTags.size(); ++i)
        poiIds[content.poiTags[i]] = static_cast<int>(i);
    for (std::size_t i = 0; i < content.wayTags.size(); ++i)
        wayIds[content.wayTags[i]] = static_cast<int>(i);

    for (const IntervalPlan& z : kIntervals) {
        const int zoom = z.baseZoom;
        const std::int64_t left = tilemath::lonToTileX(b.minLonE6, zoom);
        const std::int64_t right = tilemath::lonToTileX(b.maxLonE6, zoom);
        const std::int64_t top = tilemath::latToTileY(b.maxLatE6, zoom);
        const std::int64_t bottom = tilemath::latToTileY(b.minLatE6, zoom);
        const std::int64_t width = right - left + 1;
        std::vector<TileObjects> grid(static_cast<std::size_t>(width * (bottom - top + 1)));
        for (std::size_t i = 0; i < grid.size(); ++i) {
            grid[i].x = left + static_cast<std::int64_t>(i) % width;
            grid[i].y = top + static_cast<std::int64_t>(i) / width;
        }
        const auto cell = [&](std::int64_t x, std::int64_t y) -> TileObjects& {
            return grid[static_cast<std::size_t>((y - top) * width + (x - left))];
        };
        // By zoom row, so that each tile lists its objects in the order of its zoom table.
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < objects.size(); ++i)
            if (inInterval(objects[i], z))
                order.push_back(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t c) { return zoomRow(objects[a], z) < zoomRow(objects[c], z); });
        for (const std::size_t i : order) {
            const OsmObject& o = objects[i];
            if (o.kind == Kind::Poi) {
                const MicroPoint p = o.position();
                cell(tilemath::lonToTileX(p.lonE6, zoom), tilemath::latToTileY(p.latE6, zoom)).pois.push_back(i);
                continue;
            }
            for (std::int64_t y = tilemath::latToTileY(o.box.maxLatE6, zoom);
                 y <= tilemath::latToTileY(o.box.minLatE6, zoom); ++y)
                for (std::int64_t x = tilemath::lonToTileX(o.box.minLonE6, zoom);
                     x <= tilemath::lonToTileX(o.box.maxLonE6, zoom); ++x) {
                    if (!touches(o, tileBox(x, y, zoom)))
                        continue;
                    // Of the 16 sub-tiles two zoom levels down, row by row
                    // from the north-west: those the way lies on.
                    std::uint16_t bits = 0;
                    for (int r = 0; r < 4; ++r)
                        for (int c = 0; c < 4; ++c)
                            if (touches(o, tileBox(4 * x + c, 4 * y + r, zoom + 2)))
                                bits |= static_cast<std::uint16_t>(0x8000 >> (r * 4 + c));
                    if (bits == 0)
                        throw std::logic_error("a way on a tile but on none of its sub-tiles");
                    TileObjects& t = cell(x, y);
                    t.ways.push_back(i);
                    t.subTiles.push_back(bits);
                }
        }
        for (const OsmObject& o : objects)
            if (o.water && o.kind == Kind::Area)
                for (TileObjects& t : grid)
                    t.water = t.water || covers(o, tileBox(t.x, t.y, zoom));

        testmap::IntervalContent interval{z.baseZoom, z.minZoom, z.maxZoom, {}};
        std::vector<TileObjects> kept;
        for (TileObjects& t : grid) {
            if (t.pois.empty() && t.ways.empty() && !t.water)
                continue;
            const MicroPoint origin{tilemath::tileNorthE6(t.y, zoom), tilemath::tileWestE6(t.x, zoom)};
            testmap::TileContent tile{t.x, t.y, t.water, {}, {}, {}};
            for (const std::size_t i : t.pois) {
                const OsmObject& o = objects[i];
                testmap::PoiContent p;
                p.position = o.position();
                p.zoom = zoomRow(o, z);
                p.layer = o.layer;
                p.tags = tagIds(o, poiIds);
                if (!o.name.empty())
                    p.name = o.storedName();
                if (!o.houseNumber.empty())
                    p.houseNumber = o.houseNumber;
                p.elevationM = o.elevationM;
                tile.pois.push_back(std::move(p));
            }
            for (std::size_t k = 0; k < t.ways.size(); ++k) {
                const OsmObject& o = objects[t.ways[k]];
                testmap::WayContent w;
                w.zoom = zoomRow(o, z);
                w.subTiles = t.subTiles[k];
                w.layer = o.layer;
                w.tags = tagIds(o, wayIds);
                if (!o.name.empty())
                    w.name = o.storedName();
                if (!o.houseNumber.empty())
                    w.houseNumber = o.houseNumber;
                if (!o.ref.empty())
                    w.ref = o.ref;
                w.label = o.label;
                // Whichever encoding of the nodes is shorter, as the format suggests.
                w.doubleDelta = encodedSize(o.blocks, origin, true) < encodedSize(o.blocks, origin, false);
                w.blocks = o.blocks;
                tile.ways.push_back(std::move(w));
            }
            interval.tiles.push_back(std::move(tile));
            kept.push_back(std::move(t));
        }
        content.intervals.push_back(std::move(interval));
        map.tiles.push_back(std::move(kept));
    }
    map.bytes = testmap::writeMap(content).bytes;
    return map;
}

} // namespace tw::maps::osmmap
