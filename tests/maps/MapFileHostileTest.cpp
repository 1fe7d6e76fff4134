// SPDX-License-Identifier: GPL-3.0-or-later
// Vector map files damaged or crafted to make the reader crash, hang or
// allocate without end: each must give an error (or an empty tile), quickly.
#include "maps/mapsforge/MapFile.h"
#include "maps/mapsforge/TileMath.h"
#include "tests/maps/MapFileWriter.h"

#include <chrono>
#include <functional>

namespace tw::maps::testmap {
namespace {

using Clock = std::chrono::steady_clock;
using MapFileDamage = MapFileTest;

// Where the fields of the first zoom interval's entry are.
std::size_t intervalEntry(const WrittenMap& map) { return map.intervalsAt + 1; }

TEST_F(MapFileDamage, EveryTruncatedFileIsRefusedAtOpening)
{
    MapContent content = richMap();
    content.debug = true;
    const std::string bytes = writeMap(content).bytes;
    const auto start = Clock::now();
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        MapFile map;
        EXPECT_FALSE(map.open(save(bytes.substr(0, size)))) << size;
        EXPECT_NE(map.error(), MapFileError::None);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

struct HeaderDamage {
    const char* name;
    std::function<void(WrittenMap&)> damage;
    MapFileError expected;
};

TEST_F(MapFileDamage, DamagedHeadersAreRefusedWithTheirReason)
{
    const std::vector<HeaderDamage> cases = {
        {"magic", [](WrittenMap& m) { patch(m.bytes, 0, "M"); }, MapFileError::NotAMapFile},
        {"version 2", [](WrittenMap& m) { patch(m.bytes, 24, fixed(2, 4)); }, MapFileError::UnsupportedVersion},
        {"version 6", [](WrittenMap& m) { patch(m.bytes, 24, fixed(6, 4)); }, MapFileError::UnsupportedVersion},
        {"4 GB header", [](WrittenMap& m) { patch(m.bytes, m.headerSizeAt, fixed(0xffffffff, 4)); },
         MapFileError::BadHeader},
        {"header past the end",
         [](WrittenMap& m) { patch(m.bytes, m.headerSizeAt, fixed(m.bytes.size(), 4)); }, MapFileError::Truncated},
        {"header cut short", [](WrittenMap& m) { patch(m.bytes, m.headerSizeAt, fixed(40, 4)); },
         MapFileError::BadHeader},
        {"file size beyond the file", [](WrittenMap& m) { patch(m.bytes, 28, fixed(m.bytes.size() + 1, 8)); },
         MapFileError::Truncated},
        {"bounds off the world", [](WrittenMap& m) { patch(m.bytes, 44, fixed(0, 4) + fixed(0x80000000, 4)); },
         MapFileError::BadHeader},
        {"no zoom intervals", [](WrittenMap& m) { patch(m.bytes, m.intervalsAt, std::string(1, '\0')); },
         MapFileError::BadHeader},
        {"255 zoom intervals", [](WrittenMap& m) { patch(m.bytes, m.intervalsAt, "\xff"); }, MapFileError::BadHeader},
        {"base zoom outside its interval",
         [](WrittenMap& m) { patch(m.bytes, intervalEntry(m), std::string(1, '\x11')); }, MapFileError::BadHeader},
        {"zoom 200", [](WrittenMap& m) { patch(m.bytes, intervalEntry(m), "\xc8\x0c\xc8"); },
         MapFileError::BadHeader},
        {"sub-file past the end", [](WrittenMap& m) { patch(m.bytes, intervalEntry(m) + 3, fixed(1ull << 40, 8)); },
         MapFileError::BadHeader},
        {"sub-file longer than the file",
         [](WrittenMap& m) { patch(m.bytes, intervalEntry(m) + 11, fixed(~0ull, 8)); }, MapFileError::BadHeader},
        {"sub-file inside the header", [](WrittenMap& m) { patch(m.bytes, intervalEntry(m) + 3, fixed(30, 8)); },
         MapFileError::BadHeader},
        {"index signature", [](WrittenMap& m) { patch(m.bytes, m.subFileAt[0], "---"); }, MapFileError::BadIndex},
    };
    MapContent content = richMap();
    content.debug = true;
    const WrittenMap clean = writeMap(content);
    for (const HeaderDamage& c : cases) {
        WrittenMap damaged = clean;
        c.damage(damaged);
        MapFile map;
        EXPECT_FALSE(map.open(save(damaged.bytes))) << c.name;
        EXPECT_EQ(map.error(), c.expected) << c.name << ": " << map.errorDetail();
        EXPECT_FALSE(map.errorDetail().empty()) << c.name;
    }
}

TEST_F(MapFileDamage, IndexEntriesOutsideTheirSubFileOrBackwardsAreRefused)
{
    const WrittenMap clean = writeMap(richMap());
    const std::size_t entries = clean.indexAt[0];
    const std::uint64_t subFileSize = clean.bytes.size() - clean.subFileAt[0];
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"into the index", fixed(0, 5)},
        {"past the sub-file", fixed(10, 5) + fixed(subFileSize + 1, 5)},
        {"backwards", fixed(subFileSize, 5) + fixed(10, 5)},
        {"39 bits", fixed(0x7f'ffff'ffff, 5)},
    };
    for (const auto& [name, entry] : cases) {
        std::string bytes = clean.bytes;
        patch(bytes, entries, entry);
        MapFile map = openWritten(bytes);
        MapTile tile;
        EXPECT_FALSE(map.readTile({14, kRichX, kRichY}, {}, tile)) << name;
        EXPECT_EQ(map.error(), MapFileError::BadIndex) << name << ": " << map.errorDetail();
    }
}

struct TileDamage {
    const char* name;
    std::string block;
};

// The zoom table of oneTileMap has five rows; a tile read at zoom 16 takes
// all of them.
std::string rows(std::uint64_t pois, std::uint64_t ways)
{
    return vbeU(pois) + vbeU(ways) + std::string(8, '\0');
}
const std::string kPoiAtCorner = vbeS(0) + vbeS(0);

class DamagedTile : public MapFileTest, public ::testing::WithParamInterface<TileDamage> {};

TEST_P(DamagedTile, GivesAnErrorQuickly)
{
    const auto start = Clock::now();
    MapFile map = openWritten(writeMap(oneTileMap(GetParam().block)).bytes);
    MapTile tile;
    EXPECT_FALSE(map.readTile({16, 8800 * 4, 5370 * 4}, {}, tile));
    EXPECT_EQ(map.error(), MapFileError::BadTile) << map.errorDetail();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

INSTANTIATE_TEST_SUITE_P(
    Crafted, DamagedTile,
    ::testing::Values(
        TileDamage{"two_billion_ways", rows(0, 1u << 31) + vbeU(0) + std::string(100, '\0')},
        TileDamage{"two_billion_pois", rows(1u << 31, 0) + vbeU(100) + std::string(100, '\0')},
        TileDamage{"first_way_past_the_end", rows(0, 1) + vbeU(1000) + std::string(10, '\0')},
        TileDamage{"name_of_4_GB", rows(1, 0) + vbeU(12) + kPoiAtCorner + "\x50\x80" + vbeU(0xffffffff) + "abc"},
        TileDamage{"number_of_6_bytes", rows(1, 0) + vbeU(9) + std::string(5, '\x80') + "\x01" + "\x50\x00\x00"},
        TileDamage{"tag_beyond_the_list", rows(1, 0) + vbeU(5) + kPoiAtCorner + "\x51\x07\x00"},
        TileDamage{"position_outside_the_world", rows(1, 0) + vbeU(8) + "\xff\xff\xff\xff\x3f" + vbeS(0) + "\x50\x00"},
        TileDamage{"way_longer_than_its_tile", rows(0, 1) + vbeU(0) + vbeU(500) + "\xff\xff\x50\x00"},
        TileDamage{"two_billion_nodes", rows(0, 1) + vbeU(0) + vbeU(10) + "\xff\xff\x50\x00" + vbeU(1) + vbeU(1u << 31) +
                                                 "\x00\x00\x00"},
        TileDamage{"two_billion_blocks", rows(0, 1) + vbeU(0) + vbeU(10) + "\xff\xff\x50\x08" + vbeU(1u << 31) +
                                                  "\x00\x00\x00"},
        TileDamage{"a_way_cut_short", rows(0, 1) + vbeU(0) + vbeU(6) + "\xff\xff\x50\x00" + vbeU(1) + vbeU(3)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(MapFileDamage, TilesBeyondTheLimitsAreRefused)
{
    MapTile tile;
    // A stored tile over the size a tile may have.
    MapFile big = openWritten(writeMap(oneTileMap(std::string(MapFile::kMaxTileBlockBytes + 1, '\0'))).bytes, "big.map");
    EXPECT_FALSE(big.readTile({14, 8800, 5370}, {}, tile));
    EXPECT_EQ(big.error(), MapFileError::TileTooLarge);

    // A tile of a MB whose POIs, each of 15 tags in 19 bytes, would take
    // far more memory decoded.
    const std::string poi = kPoiAtCorner + "\x5f" + std::string(15, '\0') + std::string(1, '\0');
    std::string pois;
    for (int i = 0; i < 60000; ++i)
        pois += poi;
    const auto start = Clock::now();
    MapFile dense = openWritten(writeMap(oneTileMap(rows(60000, 0) + vbeU(pois.size()) + pois)).bytes, "dense.map");
    EXPECT_FALSE(dense.readTile({16, 8800 * 4, 5370 * 4}, {}, tile));
    EXPECT_EQ(dense.error(), MapFileError::TileTooLarge) << dense.errorDetail();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

} // namespace
} // namespace tw::maps::testmap
