// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/mapsforge/TileDecoder.h"

#include "maps/mapsforge/MapFile.h"

#include <array>
#include <bit>
#include <charconv>
#include <limits>

namespace tw::maps {
namespace {

constexpr std::string_view kTileSignature = "###TileStart";
constexpr std::string_view kPoiSignature = "***POIStart";
constexpr std::string_view kWaySignature = "---WayStart";
constexpr std::size_t kSignatureBytes = 32;
// The fewest bytes a POI (position, special byte, flags) and a way (size,
// sub-tile bitmap, special byte, flags) can take: what bounds their counts.
constexpr std::uint64_t kMinPoiBytes = 4;
constexpr std::uint64_t kMinWayBytes = 5;

class Decoder {
public:
    Decoder(const MapFileHeader& header, MicroPoint origin, std::string_view language, std::size_t& budget)
        : m_header(header), m_origin(origin), m_language(language), m_budget(budget)
    {
    }

    MapFileError error = MapFileError::None;
    std::string detail;

    bool bad(ByteReader& in, const char* why)
    {
        in.fail(why);
        return failWith(MapFileError::BadTile, why);
    }
    bool failWith(MapFileError e, std::string why)
    {
        if (error == MapFileError::None) {
            error = e;
            detail = std::move(why);
        }
        return false;
    }
    bool checkReader(const ByteReader& in)
    {
        return in.ok() || failWith(MapFileError::BadTile, in.failure());
    }
    bool take(std::size_t bytes)
    {
        if (bytes > m_budget)
            return failWith(MapFileError::TileTooLarge, "the tile's objects would take more memory than a tile may");
        m_budget -= bytes;
        return true;
    }

    bool signature(ByteReader& in, std::string_view expected)
    {
        if (!m_header.debug)
            return true;
        const std::string_view text = in.raw(kSignatureBytes);
        if (!checkReader(in))
            return false;
        if (text.substr(0, expected.size()) != expected)
            return bad(in, "a debug signature is missing where the file says there is one");
        return true;
    }

    // The tag numbers of a POI or way, then the values of those that take
    // theirs from the object.
    bool tags(ByteReader& in, int count, const std::vector<TagEntry>& list, std::vector<VectorTag>& out)
    {
        std::array<std::uint32_t, 15> ids{};
        for (int i = 0; i < count; ++i) {
            const std::uint64_t id = in.vbeU();
            if (!checkReader(in))
                return false;
            if (id >= list.size())
                return bad(in, "a tag number beyond the file's tag list");
            ids[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(id);
        }
        out.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const TagEntry& entry = list[ids[static_cast<std::size_t>(i)]];
            VectorTag tag{entry.tag.key, entry.tag.value};
            if (!tagValue(in, entry.type, tag.value))
                return false;
            if (!take(sizeof(VectorTag) + tag.key.size() + tag.value.size()))
                return false;
            out.push_back(std::move(tag));
        }
        return checkReader(in);
    }

    bool tagValue(ByteReader& in, TagValueType type, std::string& value)
    {
        char text[32];
        std::to_chars_result r{text, {}};
        switch (type) {
        case TagValueType::Fixed:
            return true;
        case TagValueType::Byte:
            r = std::to_chars(text, text + sizeof text, static_cast<std::int8_t>(in.byte()));
            break;
        case TagValueType::Short:
            r = std::to_chars(text, text + sizeof text, static_cast<std::int16_t>(in.fixed(2)));
            break;
        case TagValueType::Int:
            r = std::to_chars(text, text + sizeof text, in.int32());
            break;
        case TagValueType::Float:
            r = std::to_chars(text, text + sizeof text,
                              std::bit_cast<float>(static_cast<std::uint32_t>(in.fixed(4))));
            break;
        case TagValueType::String:
            value = in.string();
            return checkReader(in);
        }
        value.assign(text, r.ptr);
        return checkReader(in);
    }

    std::string text(ByteReader& in)
    {
        const std::string_view s = in.string();
        return std::string(s);
    }

    std::string name(ByteReader& in)
    {
        const std::string_view s = in.string();
        return std::string(m_header.version >= 4 ? nameInLanguage(s, m_language) : s);
    }

    bool point(std::int64_t latE6, std::int64_t lonE6, MicroPoint& out, ByteReader& in)
    {
        if (latE6 < -90'000'000 || latE6 > 90'000'000 || lonE6 < -180'000'000 || lonE6 > 180'000'000)
            return bad(in, "a position outside the world");
        out = {static_cast<std::int32_t>(latE6), static_cast<std::int32_t>(lonE6)};
        return true;
    }

    bool poi(ByteReader& in, const TileFilter& filter, MapTile& tile)
    {
        if (!signature(in, kPoiSignature))
            return false;
        MapPoi poi;
        const std::int64_t lat = m_origin.latE6 + in.vbeS();
        const std::int64_t lon = m_origin.lonE6 + in.vbeS();
        const std::uint8_t special = in.byte();
        if (!checkReader(in) || !point(lat, lon, poi.position, in))
            return false;
        poi.layer = (special >> 4) - 5;
        if (!tags(in, special & 0x0f, m_header.poiTags, poi.tags))
            return false;
        const std::uint8_t flags = in.byte();
        if (flags & 0x80)
            poi.name = name(in);
        if (flags & 0x40)
            poi.houseNumber = text(in);
        if (flags & 0x20) {
            const std::int64_t elevation = in.vbeS();
            poi.elevationM = static_cast<int>(elevation);
        }
        if (!checkReader(in) || !take(sizeof(MapPoi) + poi.name.size() + poi.houseNumber.size()))
            return false;
        if (filter.clipPois &&
            (poi.position.latE6 < filter.bounds.minLatE6 || poi.position.latE6 > filter.bounds.maxLatE6 ||
             poi.position.lonE6 < filter.bounds.minLonE6 || poi.position.lonE6 > filter.bounds.maxLonE6))
            return true;
        tile.pois.push_back(std::move(poi));
        return true;
    }

    bool ring(ByteReader& in, bool doubleDelta, std::vector<MicroPoint>& out)
    {
        const std::uint64_t nodes = in.vbeU();
        if (!checkReader(in))
            return false;
        // Each node takes two bytes at least.
        if (nodes > in.remaining() / 2)
            return bad(in, "more way nodes than the way's bytes can hold");
        if (!take(sizeof(std::vector<MicroPoint>) + nodes * sizeof(MicroPoint)))
            return false;
        out.reserve(static_cast<std::size_t>(nodes));
        std::int64_t lat = m_origin.latE6;
        std::int64_t lon = m_origin.lonE6;
        std::int64_t latOffset = 0;
        std::int64_t lonOffset = 0;
        for (std::uint64_t i = 0; i < nodes; ++i) {
            const std::int64_t dLat = in.vbeS();
            const std::int64_t dLon = in.vbeS();
            if (!checkReader(in))
                return false;
            if (i == 0 || !doubleDelta) {
                lat += dLat;
                lon += dLon;
            } else {
                // Double delta: the value is the change of the step from the
                // node before, and the first step is taken as it is.
                latOffset += dLat;
                lonOffset += dLon;
                lat += latOffset;
                lon += lonOffset;
            }
            MicroPoint p;
            if (!point(lat, lon, p, in))
                return false;
            out.push_back(p);
        }
        return true;
    }

    bool way(ByteReader& in, const TileFilter& filter, MapTile& tile)
    {
        if (!signature(in, kWaySignature))
            return false;
        const std::uint64_t size = in.vbeU();
        if (!checkReader(in))
            return false;
        if (size > in.remaining())
            return bad(in, "a way is longer than the bytes that remain of its tile");
        ByteReader w = in.window(static_cast<std::size_t>(size));
        const auto subTiles = static_cast<std::uint16_t>(w.fixed(2));
        if (!checkReader(w))
            return false;
        if (!(subTiles & filter.subTiles))
            return true;

        MapWay way;
        const std::uint8_t special = w.byte();
        way.layer = (special >> 4) - 5;
        if (!checkReader(w) || !tags(w, special & 0x0f, m_header.wayTags, way.tags))
            return false;
        const std::uint8_t flags = w.byte();
        if (flags & 0x80)
            way.name = name(w);
        if (flags & 0x40)
            way.houseNumber = text(w);
        if (flags & 0x20)
            way.ref = text(w);
        std::int64_t labelLat = 0;
        std::int64_t labelLon = 0;
        if (flags & 0x10) {
            labelLat = w.vbeS();
            labelLon = w.vbeS();
        }
        std::uint64_t blocks = 1;
        if (flags & 0x08)
            blocks = w.vbeU();
        const bool doubleDelta = flags & 0x04;
        if (!checkReader(w))
            return false;
        // A block holds its ring count and a ring at least.
        if (blocks > w.remaining() / 2)
            return bad(w, "more way data blocks than the way's bytes can hold");
        if (!take(sizeof(MapWay) + way.name.size() + way.houseNumber.size() + way.ref.size()))
            return false;

        if (blocks == 0)
            return true;

        const std::size_t first = tile.ways.size();
        tile.ways.push_back(std::move(way));
        for (std::uint64_t b = 0; b < blocks; ++b) {
            if (b > 0) {
                const MapWay& head = tile.ways[first];
                if (!take(sizeof(MapWay) + head.name.size() + head.houseNumber.size() + head.ref.size()))
                    return false;
                MapWay part;
                part.layer = head.layer;
                part.tags = head.tags;
                part.name = head.name;
                part.houseNumber = head.houseNumber;
                part.ref = head.ref;
                tile.ways.push_back(std::move(part));
            }
            auto& rings = tile.ways.back().rings;
            const std::uint64_t count = w.vbeU();
            if (!checkReader(w))
                return false;
            if (count > w.remaining())
                return bad(w, "more rings than the way's bytes can hold");
            if (!take(count * sizeof(std::vector<MicroPoint>)))
                return false;
            rings.resize(static_cast<std::size_t>(count));
            for (auto& r : rings)
                if (!ring(w, doubleDelta, r))
                    return false;
        }
        // The label is placed from the first node of the way's first part.
        MapWay& head = tile.ways[first];
        if ((flags & 0x10) && !head.rings.empty() && !head.rings[0].empty()) {
            const MicroPoint start = head.rings[0][0];
            MicroPoint label;
            if (!point(start.latE6 + labelLat, start.lonE6 + labelLon, label, w))
                return false;
            head.labelPosition = label;
        }
        return true;
    }

private:
    const MapFileHeader& m_header;
    MicroPoint m_origin;
    std::string_view m_language;
    std::size_t& m_budget;
};

} // namespace

MapFileError decodeTile(ByteReader in, const MapFileHeader& header, MicroPoint origin, const TileFilter& filter,
                        std::string_view language, MapTile& out, std::size_t& memoryBudget, std::string& detail)
{
    Decoder d(header, origin, language, memoryBudget);
    const auto result = [&] {
        detail = d.detail;
        return d.error;
    };
    if (!d.signature(in, kTileSignature))
        return result();

    std::uint64_t pois = 0;
    std::uint64_t ways = 0;
    for (int row = 0; row < filter.tableRows; ++row) {
        const std::uint64_t rowPois = in.vbeU();
        const std::uint64_t rowWays = in.vbeU();
        if (row < filter.rows) {
            pois += rowPois;
            ways += rowWays;
        }
    }
    const std::uint64_t firstWayOffset = in.vbeU();
    if (!d.checkReader(in))
        return result();
    if (firstWayOffset > in.remaining()) {
        d.bad(in, "the first way offset points past the end of the tile");
        return result();
    }
    ByteReader poiBytes = in.window(static_cast<std::size_t>(firstWayOffset));
    if (pois > poiBytes.remaining() / kMinPoiBytes) {
        d.bad(in, "more POIs than the tile's bytes can hold");
        return result();
    }
    if (ways > in.remaining() / kMinWayBytes) {
        d.bad(in, "more ways than the tile's bytes can hold");
        return result();
    }
    for (std::uint64_t i = 0; i < pois; ++i)
        if (!d.poi(poiBytes, filter, out))
            return result();
    for (std::uint64_t i = 0; i < ways; ++i)
        if (!d.way(in, filter, out))
            return result();
    return result();
}

} // namespace tw::maps
