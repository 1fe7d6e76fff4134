// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/mapsforge/MapFile.h"

#include "maps/mapsforge/ByteReader.h"
#include "maps/mapsforge/TileDecoder.h"
#include "maps/mapsforge/TileMath.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tw::maps {
namespace {

constexpr std::string_view kMagic = "mapsforge binary OSM";
constexpr std::string_view kIndexSignature = "+++IndexStart+++";
constexpr std::uint64_t kIndexEntryBytes = 5;
constexpr std::uint64_t kWaterBit = 0x80'0000'0000;
constexpr std::uint64_t kOffsetBits = 0x7f'ffff'ffff;

// A tag of the file's lists: "key=value", or "key=%i" for a value each object
// brings along (version 5).
TagEntry tagEntry(std::string_view text, int version)
{
    TagEntry entry;
    const std::size_t eq = text.find('=');
    entry.tag.key = std::string(text.substr(0, eq));
    if (eq == std::string_view::npos)
        return entry;
    const std::string_view value = text.substr(eq + 1);
    if (version >= 5 && value.size() == 2 && value[0] == '%') {
        switch (value[1]) {
        case 'b': entry.type = TagValueType::Byte; return entry;
        case 'h': entry.type = TagValueType::Short; return entry;
        case 'i': entry.type = TagValueType::Int; return entry;
        case 'f': entry.type = TagValueType::Float; return entry;
        case 's': entry.type = TagValueType::String; return entry;
        default: break;
        }
    }
    entry.tag.value = std::string(value);
    return entry;
}

struct TileRange {
    std::int64_t left = 0, top = 0, right = -1, bottom = -1;
    std::int64_t width() const { return right - left + 1; }
    std::int64_t height() const { return bottom - top + 1; }
};

TileRange tilesOf(const MicroBox& box, int zoom)
{
    return {tilemath::lonToTileX(box.minLonE6, zoom), tilemath::latToTileY(box.maxLatE6, zoom),
            tilemath::lonToTileX(box.maxLonE6, zoom), tilemath::latToTileY(box.minLatE6, zoom)};
}

std::uint64_t indexStart(const ZoomInterval& interval, bool debug)
{
    return interval.start + (debug ? kIndexSignature.size() : 0);
}

} // namespace

const char* mapFileErrorName(MapFileError error)
{
    switch (error) {
    case MapFileError::None: return "no error";
    case MapFileError::CannotOpen: return "cannot open";
    case MapFileError::NotAMapFile: return "not a map file";
    case MapFileError::UnsupportedVersion: return "unsupported version";
    case MapFileError::BadHeader: return "bad header";
    case MapFileError::Truncated: return "truncated";
    case MapFileError::BadIndex: return "bad tile index";
    case MapFileError::BadTile: return "bad tile";
    case MapFileError::TileTooLarge: return "tile too large";
    case MapFileError::TooManyTiles: return "too many tiles";
    case MapFileError::BadRequest: return "bad request";
    }
    return "unknown";
}

std::string_view nameInLanguage(std::string_view stored, std::string_view language)
{
    const std::size_t end = stored.find('\b');
    const std::string_view fallback = stored.substr(0, end);
    if (end == std::string_view::npos || language.empty())
        return fallback;
    std::size_t pos = end + 1;
    while (pos <= stored.size()) {
        const std::size_t langEnd = stored.find('\b', pos);
        if (langEnd == std::string_view::npos)
            break;
        const std::size_t nameEnd = std::min(stored.find('\b', langEnd + 1), stored.size());
        const std::string_view lang = stored.substr(pos, langEnd - pos);
        const bool same = lang.size() == language.size() &&
                          std::equal(lang.begin(), lang.end(), language.begin(), [](char a, char b) {
                              return (a | 0x20) == (b | 0x20);
                          });
        if (same)
            return stored.substr(langEnd + 1, nameEnd - langEnd - 1);
        pos = nameEnd + 1;
    }
    return fallback;
}

MapFile::~MapFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

MapFile::MapFile(MapFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(std::exchange(other.m_fd, -1)), m_size(other.m_size),
      m_header(std::move(other.m_header)), m_block(std::move(other.m_block)), m_error(other.m_error),
      m_detail(std::move(other.m_detail))
{
}

MapFile& MapFile::operator=(MapFile&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
        m_size = other.m_size;
        m_header = std::move(other.m_header);
        m_block = std::move(other.m_block);
        m_error = other.m_error;
        m_detail = std::move(other.m_detail);
    }
    return *this;
}

bool MapFile::fail(MapFileError error, std::string detail)
{
    m_error = error;
    m_detail = std::move(detail);
    return false;
}

bool MapFile::readAt(std::uint64_t offset, std::size_t size, std::uint8_t* out)
{
    if (offset > m_size || size > m_size - offset)
        return fail(MapFileError::Truncated, "a read past the end of the file");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(MapFileError::Truncated, n < 0 ? std::strerror(errno) : "the file ended early");
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool MapFile::open(const std::filesystem::path& path)
{
    *this = MapFile();
    m_path = path;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return fail(MapFileError::CannotOpen, std::strerror(errno));
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return fail(MapFileError::CannotOpen, "not a regular file");
    }
    m_size = static_cast<std::uint64_t>(st.st_size);
    if (!readHeader()) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_error = MapFileError::None;
    m_detail.clear();
    return true;
}

bool MapFile::readHeader()
{
    std::uint8_t start[24];
    if (m_size < sizeof start || !readAt(0, sizeof start, start))
        return fail(MapFileError::NotAMapFile, "shorter than a map file header");
    if (std::string_view(reinterpret_cast<const char*>(start), kMagic.size()) != kMagic)
        return fail(MapFileError::NotAMapFile, "the file does not start with the map file magic");
    ByteReader sizeField(start + kMagic.size(), 4);
    const std::uint64_t headerSize = sizeField.fixed(4);
    if (headerSize > kMaxHeaderBytes)
        return fail(MapFileError::BadHeader, "the header is larger than a header may be");
    if (headerSize > m_size - sizeof start)
        return fail(MapFileError::Truncated, "the file ends inside its header");
    m_block.resize(static_cast<std::size_t>(headerSize));
    if (!readAt(kMagic.size() + 4, m_block.size(), m_block.data()))
        return false;

    ByteReader in(m_block.data(), m_block.size());
    MapFileHeader& h = m_header;
    const std::uint64_t version = in.fixed(4);
    if (!in.ok() || version < 3 || version > 5)
        return fail(MapFileError::UnsupportedVersion, "format version " + std::to_string(version));
    h.version = static_cast<int>(version);
    h.fileSize = in.fixed(8);
    h.creationMs = in.int64();
    h.bounds.minLatE6 = in.int32();
    h.bounds.minLonE6 = in.int32();
    h.bounds.maxLatE6 = in.int32();
    h.bounds.maxLonE6 = in.int32();
    h.tileSizePx = static_cast<int>(in.fixed(2));
    h.projection = in.string();
    const std::uint8_t flags = in.byte();
    h.debug = flags & 0x80;
    if (flags & 0x40) {
        const std::int32_t lat = in.int32();
        const std::int32_t lon = in.int32();
        h.startPosition = MicroPoint{lat, lon};
    }
    if (flags & 0x20)
        h.startZoom = in.byte();
    if (flags & 0x10)
        h.languages = in.string();
    if (flags & 0x08)
        h.comment = in.string();
    if (flags & 0x04)
        h.createdBy = in.string();
    for (auto* list : {&h.poiTags, &h.wayTags}) {
        const auto count = static_cast<std::size_t>(in.fixed(2));
        // Each name takes its length byte at least.
        if (count > in.remaining())
            return fail(MapFileError::BadHeader, "more tags than the header's bytes can hold");
        list->reserve(count);
        for (std::size_t i = 0; i < count && in.ok(); ++i)
            list->push_back(tagEntry(in.string(), h.version));
    }
    const std::uint8_t intervals = in.byte();
    for (int i = 0; i < intervals && in.ok(); ++i) {
        ZoomInterval z;
        z.baseZoom = in.byte();
        z.minZoom = in.byte();
        z.maxZoom = in.byte();
        z.start = in.fixed(8);
        z.size = in.fixed(8);
        h.intervals.push_back(z);
    }
    if (!in.ok())
        return fail(MapFileError::BadHeader, in.failure());

    if (h.fileSize > m_size)
        return fail(MapFileError::Truncated, "the file is " + std::to_string(m_size) + " bytes long, its header says " +
                                                 std::to_string(h.fileSize));
    const MicroBox& b = h.bounds;
    if (b.minLatE6 > b.maxLatE6 || b.minLonE6 > b.maxLonE6 || b.minLatE6 < -90'000'000 || b.maxLatE6 > 90'000'000 ||
        b.minLonE6 < -180'000'000 || b.maxLonE6 > 180'000'000)
        return fail(MapFileError::BadHeader, "the bounding box is not a box on the world");
    if (h.intervals.empty())
        return fail(MapFileError::BadHeader, "no zoom intervals");
    const std::uint64_t headerEnd = kMagic.size() + 4 + headerSize;
    for (const ZoomInterval& z : h.intervals) {
        if (z.minZoom > z.baseZoom || z.baseZoom > z.maxZoom || z.maxZoom > tilemath::kMaxZoom)
            return fail(MapFileError::BadHeader, "a zoom interval whose base zoom is not within it");
        if (z.start < headerEnd || z.start > h.fileSize || z.size > h.fileSize - z.start)
            return fail(MapFileError::BadHeader, "a sub-file outside the file");
        const TileRange tiles = tilesOf(b, z.baseZoom);
        const std::uint64_t indexBytes =
            static_cast<std::uint64_t>(tiles.width() * tiles.height()) * kIndexEntryBytes +
            (h.debug ? kIndexSignature.size() : 0);
        if (indexBytes > z.size)
            return fail(MapFileError::BadHeader, "a sub-file smaller than its tile index");
    }
    if (h.debug) {
        for (const ZoomInterval& z : h.intervals) {
            std::uint8_t signature[kIndexSignature.size()];
            if (!readAt(z.start, sizeof signature, signature))
                return false;
            if (std::string_view(reinterpret_cast<const char*>(signature), sizeof signature) != kIndexSignature)
                return fail(MapFileError::BadIndex, "the index signature is missing where the file says there is one");
        }
    }
    m_size = h.fileSize;
    return true;
}

bool MapFile::covers(const MapTileId& tile) const
{
    if (!isOpen() || tile.zoom < 0 || tile.zoom > tilemath::kMaxZoom)
        return false;
    const TileRange r = tilesOf(m_header.bounds, tile.zoom);
    return tile.x >= r.left && tile.x <= r.right && tile.y >= r.top && tile.y <= r.bottom;
}

const ZoomInterval& MapFile::intervalFor(int zoom) const
{
    const auto& all = m_header.intervals;
    for (const ZoomInterval& z : all)
        if (zoom >= z.minZoom && zoom <= z.maxZoom)
            return z;
    // Past the file's zoom levels: the interval nearest to the zoom asked for.
    const auto distance = [zoom](const ZoomInterval& z) {
        return zoom < z.minZoom ? z.minZoom - zoom : zoom - z.maxZoom;
    };
    return *std::min_element(all.begin(), all.end(),
                             [&](const ZoomInterval& a, const ZoomInterval& b) { return distance(a) < distance(b); });
}

bool MapFile::readTile(const MapTileId& tile, std::string_view language, MapTile& out)
{
    out.clear();
    m_error = MapFileError::None;
    m_detail.clear();
    if (!isOpen())
        return fail(MapFileError::BadRequest, "no map file open");
    if (tile.zoom < 0 || tile.zoom > tilemath::kMaxZoom || tile.x < 0 || tile.y < 0 ||
        tile.x >= tilemath::tileCount(tile.zoom) || tile.y >= tilemath::tileCount(tile.zoom))
        return fail(MapFileError::BadRequest, "no such tile");

    const ZoomInterval& interval = intervalFor(tile.zoom);
    const int base = interval.baseZoom;
    TileFilter filter;
    filter.tableRows = interval.maxZoom - interval.minZoom + 1;
    filter.rows = std::clamp(tile.zoom, interval.minZoom, interval.maxZoom) - interval.minZoom + 1;
    const TileRange stored = tilesOf(m_header.bounds, base);
    std::size_t budget = kMaxTileMemoryBytes;

    TileRange wanted;
    if (tile.zoom >= base) {
        const int shift = tile.zoom - base;
        wanted.left = wanted.right = tile.x >> shift;
        wanted.top = wanted.bottom = tile.y >> shift;
        if (shift == 1) {
            // Of the 4 × 4 sub-tiles, the 2 × 2 in the quarter asked for.
            const int col = static_cast<int>(tile.x & 1) * 2;
            const int row = static_cast<int>(tile.y & 1) * 2;
            filter.subTiles = 0;
            for (int r = row; r < row + 2; ++r)
                for (int c = col; c < col + 2; ++c)
                    filter.subTiles |= static_cast<std::uint16_t>(0x8000 >> (r * 4 + c));
        } else if (shift >= 2) {
            const int col = static_cast<int>((tile.x >> (shift - 2)) & 3);
            const int row = static_cast<int>((tile.y >> (shift - 2)) & 3);
            filter.subTiles = static_cast<std::uint16_t>(0x8000 >> (row * 4 + col));
        }
        if (shift > 0) {
            filter.clipPois = true;
            filter.bounds = {tilemath::tileNorthE6(tile.y + 1, tile.zoom), tilemath::tileWestE6(tile.x, tile.zoom),
                             tilemath::tileNorthE6(tile.y, tile.zoom), tilemath::tileWestE6(tile.x + 1, tile.zoom)};
        }
    } else {
        const int shift = base - tile.zoom;
        wanted.left = std::max(tile.x << shift, stored.left);
        wanted.top = std::max(tile.y << shift, stored.top);
        wanted.right = std::min(((tile.x + 1) << shift) - 1, stored.right);
        wanted.bottom = std::min(((tile.y + 1) << shift) - 1, stored.bottom);
        if (wanted.width() > 0 && wanted.height() > 0 && wanted.width() * wanted.height() > kMaxMergedTiles)
            return fail(MapFileError::TooManyTiles, "the tile would be merged from " +
                                                        std::to_string(wanted.width() * wanted.height()) +
                                                        " stored tiles");
    }

    bool anyRead = false;
    bool allWater = true;
    for (std::int64_t y = std::max(wanted.top, stored.top); y <= std::min(wanted.bottom, stored.bottom); ++y)
        for (std::int64_t x = std::max(wanted.left, stored.left); x <= std::min(wanted.right, stored.right); ++x) {
            bool water = false;
            if (!readBaseTile(interval, x, y, filter, language, out, budget, water))
                return false;
            anyRead = true;
            allWater = allWater && water;
        }
    out.water = anyRead && allWater;
    return true;
}

bool MapFile::readBaseTile(const ZoomInterval& interval, std::int64_t x, std::int64_t y, const TileFilter& filter,
                           std::string_view language, MapTile& out, std::size_t& budget, bool& water)
{
    const int base = interval.baseZoom;
    const TileRange stored = tilesOf(m_header.bounds, base);
    const auto index = static_cast<std::uint64_t>((y - stored.top) * stored.width() + (x - stored.left));
    const auto count = static_cast<std::uint64_t>(stored.width() * stored.height());
    const std::uint64_t indexEnd = (m_header.debug ? kIndexSignature.size() : 0) + count * kIndexEntryBytes;

    // This tile's entry and the next one, whose offset ends this tile's data.
    std::uint8_t entries[2 * kIndexEntryBytes];
    const bool last = index + 1 == count;
    if (!readAt(indexStart(interval, m_header.debug) + index * kIndexEntryBytes,
                last ? kIndexEntryBytes : sizeof entries, entries))
        return false;
    ByteReader in(entries, last ? kIndexEntryBytes : sizeof entries);
    const std::uint64_t entry = in.fixed(5);
    const std::uint64_t offset = entry & kOffsetBits;
    const std::uint64_t end = last ? interval.size : in.fixed(5) & kOffsetBits;
    water = entry & kWaterBit;
    if (offset < indexEnd || end > interval.size)
        return fail(MapFileError::BadIndex, "a tile index entry points outside its sub-file's tile data");
    if (end < offset)
        return fail(MapFileError::BadIndex, "a tile index entry points backwards");
    if (end == offset)
        return true;
    if (end - offset > kMaxTileBlockBytes)
        return fail(MapFileError::TileTooLarge, "a stored tile of " + std::to_string(end - offset) + " bytes");

    m_block.resize(static_cast<std::size_t>(end - offset));
    if (!readAt(interval.start + offset, m_block.size(), m_block.data()))
        return false;
    const MicroPoint origin{tilemath::tileNorthE6(y, base), tilemath::tileWestE6(x, base)};
    std::string detail;
    const MapFileError e =
        decodeTile(ByteReader(m_block.data(), m_block.size()), m_header, origin, filter, language, out, budget, detail);
    if (e != MapFileError::None)
        return fail(e, "tile " + std::to_string(x) + "," + std::to_string(y) + " at zoom " + std::to_string(base) +
                           ": " + detail);
    return true;
}

} // namespace tw::maps
