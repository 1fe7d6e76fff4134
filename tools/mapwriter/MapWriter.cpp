// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/mapwriter/MapWriter.h"

#include "maps/mapsforge/TileMath.h"

#include <algorithm>
#include <stdexcept>

namespace tw::mapwriter {

namespace tilemath = maps::tilemath;

std::string vbeU(std::uint64_t value)
{
    std::string out;
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7f) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
    return out;
}

std::string vbeS(std::int64_t value)
{
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
    std::string out;
    while (magnitude >= 0x40) {
        out += static_cast<char>((magnitude & 0x7f) | 0x80);
        magnitude >>= 7;
    }
    out += static_cast<char>(magnitude | (negative ? 0x40 : 0));
    return out;
}

std::string text(const std::string& s) { return vbeU(s.size()) + s; }

std::string fixed(std::uint64_t value, int bytes)
{
    std::string out(static_cast<std::size_t>(bytes), '\0');
    for (int i = bytes - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xff);
        value >>= 8;
    }
    return out;
}

namespace {

void put(std::string& bytes, std::size_t at, const std::string& with) { bytes.replace(at, with.size(), with); }

std::string padded(std::string s, std::size_t size)
{
    s.resize(size, ' ');
    return s;
}

std::string special(int layer, std::size_t tags)
{
    return std::string(1, static_cast<char>(((layer + 5) << 4) | static_cast<int>(tags)));
}

std::string tagIds(const std::vector<int>& tags)
{
    std::string out;
    for (const int t : tags)
        out += vbeU(static_cast<std::uint64_t>(t));
    return out;
}

std::string poiBytes(const PoiContent& p, MicroPoint origin, bool debug)
{
    std::string out = debug ? padded("***POIStart1***", 32) : "";
    out += vbeS(p.position.latE6 - origin.latE6) + vbeS(p.position.lonE6 - origin.lonE6);
    out += special(p.layer, p.tags.size()) + tagIds(p.tags) + p.tagValues;
    out += static_cast<char>((p.name ? 0x80 : 0) | (p.houseNumber ? 0x40 : 0) | (p.elevationM ? 0x20 : 0));
    if (p.name)
        out += text(*p.name);
    if (p.houseNumber)
        out += text(*p.houseNumber);
    if (p.elevationM)
        out += vbeS(*p.elevationM);
    return out;
}

} // namespace

std::string ringBytes(const std::vector<MicroPoint>& ring, MicroPoint origin, bool doubleDelta)
{
    std::string out = vbeU(ring.size());
    MicroPoint previous = origin;
    std::int64_t latStep = 0;
    std::int64_t lonStep = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const std::int64_t dLat = std::int64_t{ring[i].latE6} - previous.latE6;
        const std::int64_t dLon = std::int64_t{ring[i].lonE6} - previous.lonE6;
        if (doubleDelta && i > 0) {
            out += vbeS(dLat - latStep) + vbeS(dLon - lonStep);
            latStep = dLat;
            lonStep = dLon;
        } else {
            out += vbeS(dLat) + vbeS(dLon);
        }
        previous = ring[i];
    }
    return out;
}

namespace {

std::string wayBytes(const WayContent& w, MicroPoint origin, bool debug)
{
    std::string body = fixed(w.subTiles, 2) + special(w.layer, w.tags.size()) + tagIds(w.tags) + w.tagValues;
    const bool manyBlocks = w.blocks.size() != 1;
    body += static_cast<char>((w.name ? 0x80 : 0) | (w.houseNumber ? 0x40 : 0) | (w.ref ? 0x20 : 0) |
                              (w.label ? 0x10 : 0) | (manyBlocks ? 0x08 : 0) | (w.doubleDelta ? 0x04 : 0));
    if (w.name)
        body += text(*w.name);
    if (w.houseNumber)
        body += text(*w.houseNumber);
    if (w.ref)
        body += text(*w.ref);
    if (w.label) {
        const MicroPoint first = w.blocks.at(0).at(0).at(0);
        body += vbeS(w.label->latE6 - first.latE6) + vbeS(w.label->lonE6 - first.lonE6);
    }
    if (manyBlocks)
        body += vbeU(w.blocks.size());
    for (const auto& block : w.blocks) {
        body += vbeU(block.size());
        for (const auto& ring : block)
            body += ringBytes(ring, origin, w.doubleDelta);
    }
    return (debug ? padded("---WayStart1---", 32) : "") + vbeU(body.size()) + body;
}

std::string tileBytes(const TileContent& t, const IntervalContent& z, bool debug)
{
    const MicroPoint origin{tilemath::tileNorthE6(t.y, z.baseZoom), tilemath::tileWestE6(t.x, z.baseZoom)};
    std::vector<PoiContent> pois = t.pois;
    std::vector<WayContent> ways = t.ways;
    const auto byZoom = [](const auto& a, const auto& b) { return a.zoom < b.zoom; };
    std::stable_sort(pois.begin(), pois.end(), byZoom);
    std::stable_sort(ways.begin(), ways.end(), byZoom);
    std::string out = debug ? padded("###TileStart" + std::to_string(t.x) + "," + std::to_string(t.y) + "###", 32) : "";
    for (int zoom = z.minZoom; zoom <= z.maxZoom; ++zoom) {
        const auto here = [zoom](const auto& o) { return o.zoom == zoom; };
        out += vbeU(static_cast<std::uint64_t>(std::count_if(pois.begin(), pois.end(), here)));
        out += vbeU(static_cast<std::uint64_t>(std::count_if(ways.begin(), ways.end(), here)));
    }
    std::string poiPart;
    for (const PoiContent& p : pois)
        poiPart += poiBytes(p, origin, debug);
    out += vbeU(poiPart.size()) + poiPart;
    for (const WayContent& w : ways)
        out += wayBytes(w, origin, debug);
    return out;
}

} // namespace

std::string encodeMap(const MapContent& content, MapLayout* layout)
{
    MapLayout map;
    const MicroBox& b = content.bounds;
    std::string h = fixed(static_cast<std::uint64_t>(content.version), 4) + fixed(0, 8) + fixed(1'600'000'000'000, 8);
    for (const std::int32_t v : {b.minLatE6, b.minLonE6, b.maxLatE6, b.maxLonE6})
        h += fixed(static_cast<std::uint32_t>(v), 4);
    h += fixed(256, 2) + text("Mercator");
    h += static_cast<char>((content.debug ? 0x80 : 0) | (content.startPosition ? 0x40 : 0) |
                           (content.startZoom ? 0x20 : 0) | (content.languages ? 0x10 : 0) |
                           (content.comment ? 0x08 : 0));
    if (content.startPosition)
        for (const std::int32_t v : {content.startPosition->latE6, content.startPosition->lonE6})
            h += fixed(static_cast<std::uint32_t>(v), 4);
    if (content.startZoom)
        h += static_cast<char>(std::clamp(*content.startZoom, 0, 255));
    if (content.languages)
        h += text(*content.languages);
    if (content.comment)
        h += text(*content.comment);
    for (const auto* list : {&content.poiTags, &content.wayTags}) {
        h += fixed(list->size(), 2);
        for (const std::string& t : *list)
            h += text(t);
    }
    const std::size_t intervalsInHeader = h.size();
    h += static_cast<char>(content.intervals.size());
    const std::size_t intervalTable = h.size();
    h += std::string(content.intervals.size() * 19, '\0');

    const std::string magic = "mapsforge binary OSM";
    map.headerSizeAt = magic.size();
    map.intervalsAt = magic.size() + 4 + intervalsInHeader;
    std::string file = magic + fixed(h.size(), 4) + h;
    for (std::size_t i = 0; i < content.intervals.size(); ++i) {
        const IntervalContent& z = content.intervals[i];
        const std::int64_t left = tilemath::lonToTileX(b.minLonE6, z.baseZoom);
        const std::int64_t right = tilemath::lonToTileX(b.maxLonE6, z.baseZoom);
        const std::int64_t top = tilemath::latToTileY(b.maxLatE6, z.baseZoom);
        const std::int64_t bottom = tilemath::latToTileY(b.minLatE6, z.baseZoom);
        const std::int64_t width = right - left + 1;
        const auto count = static_cast<std::size_t>(width * (bottom - top + 1));
        std::vector<std::string> blocks(count);
        std::vector<bool> water(count);
        std::vector<std::size_t> order;
        for (const TileContent& t : z.tiles) {
            if (t.x < left || t.x > right || t.y < top || t.y > bottom)
                throw std::logic_error("a tile outside the map's bounds");
            const auto at = static_cast<std::size_t>((t.y - top) * width + (t.x - left));
            blocks[at] = t.block ? *t.block : tileBytes(t, z, content.debug);
            water[at] = t.water;
            order.push_back(at);
        }
        const std::string signature = content.debug ? "+++IndexStart+++" : "";
        std::string sub = signature;
        std::string data;
        std::vector<std::size_t> blockAt(count);
        const std::size_t indexSize = signature.size() + count * 5;
        for (std::size_t t = 0; t < count; ++t) {
            blockAt[t] = indexSize + data.size();
            sub += fixed((water[t] ? 0x80'0000'0000 : 0) | blockAt[t], 5);
            data += blocks[t];
        }
        sub += data;
        map.subFileAt.push_back(file.size());
        map.indexAt.push_back(file.size() + signature.size());
        for (const std::size_t t : order)
            map.tileAt.push_back(file.size() + blockAt[t]);
        const std::size_t entry = magic.size() + 4 + intervalTable + i * 19;
        put(file, entry, std::string{static_cast<char>(z.baseZoom), static_cast<char>(z.minZoom),
                                       static_cast<char>(z.maxZoom)} +
                               fixed(file.size(), 8) + fixed(sub.size(), 8));
        file += sub;
    }
    put(file, magic.size() + 8, fixed(file.size(), 8));
    if (layout)
        *layout = std::move(map);
    return file;
}

} // namespace tw::mapwriter
