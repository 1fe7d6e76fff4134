// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/Elevation.h"
#include "maps/Hillshade.h"
#include "maps/MapComposer.h"
#include "tests/TestSupport.h"
#include "tests/maps/MapFakes.h"

#include <cmath>
#include <functional>

namespace fs = std::filesystem;
using namespace tw::maps;

namespace {

constexpr int k3Arc = 1201;

// An elevation square of 3″ samples whose height the function gives for
// (row from the north, column from the west).
void writeSquare(const fs::path& file, const std::function<int(int row, int column)>& height, int samples = k3Arc)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(samples) * samples * 2);
    for (int r = 0; r < samples; ++r)
        for (int c = 0; c < samples; ++c) {
            const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(height(r, c)));
            bytes += static_cast<char>(v >> 8);
            bytes += static_cast<char>(v & 0xFF);
        }
    tw::test::writeFile(file, bytes);
}

// Falls by 10 m a sample (90 m) towards the east: a slope facing away from
// the north-western light.
int fallingEast(int, int column)
{
    return 2000 - 10 * column;
}

int risingEast(int, int column)
{
    return 800 + 10 * column;
}

// The position of pixel (x, y) in a square of 256 pixels spanning `degrees`
// from its north-west corner.
PixelPosition squareAt(tw::geo::LatLon northWest, double degrees)
{
    return [=](double x, double y) {
        return tw::geo::LatLon{northWest.lat - y / 256 * degrees, northWest.lon + x / 256 * degrees};
    };
}

double meanShade(const ShadeTile& shade)
{
    double sum = 0;
    for (const std::uint8_t a : shade.alpha)
        sum += a;
    return sum / double(shade.alpha.size());
}

} // namespace

class ElevationTest : public tw::test::TempDirTest {};

TEST_F(ElevationTest, FilesAreFoundByTheirSquareAndReadBetweenSamples)
{
    EXPECT_EQ(hgtSquareOf("N47E009.hgt"), (std::pair{47, 9}));
    EXPECT_EQ(hgtSquareOf("s01w071.HGT"), (std::pair{-1, -71}));
    EXPECT_FALSE(hgtSquareOf("N47E009.hgt.zip"));
    EXPECT_FALSE(hgtSquareOf("N9xE009.hgt"));
    EXPECT_FALSE(hgtSquareOf("N91E009.hgt"));

    // Heights rise by one metre a row southwards and 100 m a column eastwards.
    writeSquare(dir / "n47e009.hgt", [](int r, int c) { return r + 100 * (c % 7); });
    // A hole of unmeasured samples in the square west of it.
    writeSquare(dir / "N47E008.hgt", [](int r, int c) { return r >= 100 && r < 200 && c >= 100 && c < 200 ? -32768 : 5; });
    tw::test::writeFile(dir / "N47E010.hgt", std::string(1000, '\0')); // neither layout
    tw::test::writeFile(dir / "notes.txt", "x");

    ElevationFiles heights(dir);
    EXPECT_EQ(heights.fileCount(), 2u);
    ASSERT_EQ(heights.unusableFiles().size(), 1u);
    EXPECT_EQ(heights.unusableFiles()[0].filename(), "N47E010.hgt");

    const double step = 1.0 / (k3Arc - 1);
    // The north-west sample, exactly, and halfway to its neighbours.
    EXPECT_NEAR(*heights.at(48 - 1e-12, 9), 0, 1e-3);
    EXPECT_NEAR(*heights.at(48 - 10 * step, 9 + 2 * step), 210, 1e-2);
    EXPECT_NEAR(*heights.at(48 - 10.5 * step, 9 + 2.5 * step), 260.5, 1e-2);
    // The southern edge is the last row.
    EXPECT_NEAR(*heights.at(47, 9), 1200, 1e-2);

    EXPECT_FALSE(heights.at(48 - 150 * step, 8 + 150 * step)) << "inside the hole: nothing measured";
    EXPECT_NEAR(*heights.at(47.5, 8.5), 5, 1e-3);
    EXPECT_FALSE(heights.at(47.5, 10.5)) << "the unusable file gives nothing";
    EXPECT_FALSE(heights.at(46.5, 9.5)) << "no file";
    EXPECT_FALSE(heights.at(95, 9));

    // More squares than are kept in memory, read round and round.
    for (int i = 0; i < 2 * ElevationFiles::kMaxFilesInMemory; ++i)
        for (const double lon : {8.5, 9.5})
            ASSERT_NEAR(*heights.at(47.5, lon), lon < 9 ? 5 : 600 + 100 * (600 % 7), 1.0);
}

TEST_F(ElevationTest, SlopesAwayFromTheLightDarkenAndNothingElse)
{
    writeSquare(dir / "N47E009.hgt", fallingEast);
    writeSquare(dir / "N47E010.hgt", risingEast);
    writeSquare(dir / "N46E009.hgt", [](int, int) { return 400; });
    ElevationFiles heights(dir);

    const auto away = shadeSquare(heights, squareAt({47.9, 9.1}, 0.05), 256);
    ASSERT_TRUE(away);
    ASSERT_EQ(away->alpha.size(), 256u * 256u);
    EXPECT_GT(meanShade(*away), 20);
    // A plane: every pixel the same, the edges of the square included.
    EXPECT_EQ(away->alpha.front(), away->alpha.back());

    const auto facing = shadeSquare(heights, squareAt({47.9, 10.1}, 0.05), 256);
    ASSERT_TRUE(facing);
    EXPECT_EQ(meanShade(*facing), 0);
    const auto flat = shadeSquare(heights, squareAt({46.9, 9.1}, 0.05), 256);
    ASSERT_TRUE(flat);
    EXPECT_EQ(meanShade(*flat), 0);

    // Half the square over a file, half over none: only that half shaded.
    const auto half = shadeSquare(heights, squareAt({48.025, 9.1}, 0.05), 256);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->alpha[10 * 256 + 10], 0);
    EXPECT_GT(half->alpha[250 * 256 + 10], 0);

    EXPECT_FALSE(shadeSquare(heights, squareAt({30, 30}, 0.05), 256)) << "no height anywhere";
    EXPECT_FALSE(shadeSquare(heights, squareAt({47.9, 9.1}, 40), 256)) << "too far out to shade";
}

// The composer shades the basic map from zoom 8 on, in both kinds of
// provider, whose world coordinates run in different directions.
TEST_F(ElevationTest, TheComposerShadesTheViewInEitherKindOfProvider)
{
    writeSquare(dir / "N50E014.hgt", fallingEast);
    ElevationFiles heights(dir);
    for (const char* kind : {"Google", "MapyCz"}) {
        MapSource s;
        s.type = kind;
        s.basic.resize(1);
        s.basic[0].maxZoom = 16;
        TileProvider::Options o;
        o.mapFolder = dir;
        o.zoom = 13;
        o.centre = {50.5, 14.5};
        auto provider = makeTileProvider(s, o);
        ASSERT_TRUE(provider) << kind;
        tw::test::FakeDecoder decoder;
        MapComposer composer(*provider, decoder);
        composer.setElevation(&heights);
        tw::test::RecordingCanvas canvas(600, 600);
        composer.composeTiles(canvas, {});
        ASSERT_GE(canvas.shades.size(), 4u) << kind;
        for (const auto& [shade, target] : canvas.shades) {
            EXPECT_GT(shade, 20) << kind;
            EXPECT_EQ(target.width, 256);
        }

        canvas.shades.clear();
        provider->setZoom(kMinShadedZoom - 1);
        composer.composeTiles(canvas, {});
        EXPECT_TRUE(canvas.shades.empty()) << kind;

        provider->setZoom(13);
        composer.setElevation(nullptr);
        composer.composeTiles(canvas, {});
        EXPECT_TRUE(canvas.shades.empty()) << kind;
    }
}
