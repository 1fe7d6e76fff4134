// SPDX-License-Identifier: GPL-3.0-or-later
// Vector map tiles drawn: colours where the map has objects, holes, layers,
// sea and the outside, labels that neither overlap nor break at tile
// borders, and the renderer's worker thread.
#include "maps/mapsforge/MapFileSet.h"
#include "maps/mapsforge/TileMath.h"
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"
#include "screens/QtTileImage.h"
#include "screens/vector/VectorDrawing.h"
#include "screens/vector/VectorTileRenderer.h"
#include "tests/TestSupport.h"
#include "tests/maps/MapFileWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using namespace tw;
using namespace tw::maps;
using namespace tw::vector;

namespace {

// Text and pictures need a Qt application; one for the whole program.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "vector_render_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QGuiApplication> m_app;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QRgb at(const QImage& image, QPointF p) { return image.pixel(int(p.x()), int(p.y())) | 0xFF000000u; }

bool near(QRgb a, QRgb b, int tolerance = 12)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// A theme of plain colours: land, buildings (a style menu's overlay), water,
// paths with a casing, cafés with a caption, the sea, streams drawn as
// curves, railways with a symbol along them (arrow.svg, writeSymbols).
constexpr const char* kTheme = R"(<?xml version="1.0" encoding="UTF-8"?>
<rendertheme xmlns="http://mapsforge.org/renderTheme" version="5" map-background="#00FF00" map-background-outside="#808080">
  <stylemenu id="m" defaultvalue="plain" defaultlang="en">
    <layer id="plain" visible="true"><cat id="ground"/><overlay id="houses"/></layer>
    <layer id="houses" enabled="true"><cat id="houses"/></layer>
  </stylemenu>
  <rule e="way" k="natural" v="sea"><area fill="#0000FF"/></rule>
  <rule cat="houses" e="way" k="building" v="*"><area fill="#FF0000"/></rule>
  <rule cat="ground" e="way" k="natural" v="water"><area fill="#00FFFF"/></rule>
  <rule cat="ground" e="way" k="highway" v="*">
    <line stroke="#000000" stroke-width="6"/>
    <line stroke="#FFFF00" stroke-width="3"/>
    <pathText k="name" font-size="12" fill="#000000"/>
  </rule>
  <rule cat="ground" e="node" k="amenity" v="cafe">
    <caption k="name" font-size="14" fill="#000000" stroke="#FFFFFF" stroke-width="2" priority="10"/>
  </rule>
  <rule cat="ground" e="node" k="place" v="*">
    <caption k="name" font-size="14" fill="#000000" priority="50"/>
  </rule>
  <rule cat="ground" e="way" k="waterway" v="stream"><line stroke="#0000FF" stroke-width="3" curve="cubic"/></rule>
  <rule cat="ground" e="way" k="railway" v="*">
    <lineSymbol src="arrow.svg" symbol-width="10" symbol-height="10" repeat="true" repeat-gap="24" repeat-start="4"/>
  </rule>
</rendertheme>)";

constexpr QRgb kArrowColour = 0xFFFF00FF;

// The pictures the theme names, into its folder.
void writeSymbols(const fs::path& folder)
{
    test::writeFile(folder / "arrow.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10">)"
                                          R"(<rect width="10" height="10" fill="#FF00FF"/></svg>)");
}

RenderTheme plainTheme(const fs::path& folder)
{
    RenderThemeResult read = readRenderTheme(std::string_view(kTheme), folder);
    EXPECT_TRUE(read.theme.has_value());
    EXPECT_TRUE(read.problems.empty());
    return std::move(*read.theme);
}

constexpr int kZ = 14;
constexpr std::int64_t kX = 8800;
constexpr std::int64_t kY = 5370;

// The position at a pixel of tile (x, y) of zoom kZ.
MicroPoint pixel(double px, double py, std::int64_t x = kX, std::int64_t y = kY)
{
    const double n = double(std::int64_t{1} << kZ);
    const double lon = (double(x) + px / 256.0) / n * 360.0 - 180.0;
    const double lat = std::atan(std::sinh(M_PI * (1 - 2 * (double(y) + py / 256.0) / n))) * 180.0 / M_PI;
    return {tilemath::toE6(lat), tilemath::toE6(lon)};
}

std::vector<MicroPoint> square(double x0, double y0, double x1, double y1)
{
    return {pixel(x0, y0), pixel(x1, y0), pixel(x1, y1), pixel(x0, y1), pixel(x0, y0)};
}

MapWay way(std::vector<VectorTag> tags, std::vector<std::vector<MicroPoint>> rings, int layer = 0)
{
    MapWay w;
    w.tags = std::move(tags);
    w.rings = std::move(rings);
    w.layer = layer;
    return w;
}

MapPoi poi(std::vector<VectorTag> tags, MicroPoint at, std::string name)
{
    MapPoi p;
    p.tags = std::move(tags);
    p.position = at;
    p.name = std::move(name);
    return p;
}

class SyntheticTileTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        writeSymbols(dir);
        theme = plainTheme(dir);
        matcher = std::make_unique<ThemeMatcher>(theme);
    }

    RenderTheme theme;
    std::unique_ptr<ThemeMatcher> matcher;
    std::map<std::tuple<int, std::int64_t, std::int64_t>, MapTile> tiles;

    DrawnVectorTile draw(std::int64_t x, std::int64_t y, std::span<const MicroBox> bounds = {}, float scale = 1.0f)
    {
        VectorDrawState state(theme, *matcher, scale);
        const TileReader read = [this](const MapTileId& id, MapTile& out) {
            const auto it = tiles.find({id.zoom, id.x, id.y});
            if (it == tiles.end())
                return false;
            out = it->second;
            return true;
        };
        DrawnVectorTile out = renderVectorTile({kZ, x, y}, read, state, bounds);
        if (const char* dump = std::getenv("TW_VECTOR_DUMP"))
            out.image.save(QString::fromStdString(std::string(dump) + "/synthetic-" + std::to_string(x) + ".png"));
        return out;
    }
};

TEST_F(SyntheticTileTest, AreasKeepTheirHolesAndLayersAndTheSeaAndOutsideHaveTheirColours)
{
    MapTile& tile = tiles[{kZ, kX, kY}];
    // A building with a courtyard, water drawn later in the theme but on a
    // lower layer, a path across.
    tile.ways.push_back(way({{"building", "yes"}}, {square(20, 20, 120, 120), square(50, 50, 90, 90)}, 1));
    tile.ways.push_back(way({{"natural", "water"}}, {square(100, 100, 200, 200)}, 0));
    tile.ways.push_back(way({{"highway", "path"}}, {{pixel(0, 230), pixel(256, 230)}}));
    const QImage image = draw(kX, kY).image;
    ASSERT_EQ(image.width(), 256);
    EXPECT_TRUE(near(at(image, {30, 30}), 0xFFFF0000)) << "the building";
    EXPECT_TRUE(near(at(image, {70, 70}), 0xFF00FF00)) << "the courtyard is a hole";
    EXPECT_TRUE(near(at(image, {110, 110}), 0xFFFF0000)) << "the building's layer is above the water";
    EXPECT_TRUE(near(at(image, {150, 150}), 0xFF00FFFF)) << "the water";
    EXPECT_TRUE(near(at(image, {128, 230}), 0xFFFFFF00)) << "the path's inner line";
    EXPECT_TRUE(near(at(image, {128, 225}), 0xFF000000)) << "the path's casing, wider";
    EXPECT_TRUE(near(at(image, {240, 20}), 0xFF00FF00)) << "the land";

    // A tile the file marks as water, with nothing on it: the sea.
    tiles[{kZ, kX + 5, kY}].water = true;
    EXPECT_TRUE(near(at(draw(kX + 5, kY).image, {128, 128}), 0xFF0000FF));

    // A map that ends in the middle of the tile.
    const MicroPoint mid = pixel(128, 256);
    const MicroBox bounds[] = {{mid.latE6, pixel(0, 0).lonE6 - 1000, pixel(0, 0).latE6 + 1000, mid.lonE6}};
    const QImage half = draw(kX, kY, bounds).image;
    EXPECT_TRUE(near(at(half, {30, 30}), 0xFFFF0000));
    EXPECT_TRUE(near(at(half, {200, 30}), 0xFF808080)) << "outside the map";
}

TEST_F(SyntheticTileTest, LabelsDoNotOverlapGoByPriorityAndComeOutAlikeOnBothSidesOfABorder)
{
    // Crowded cafés on two tiles, one town name among them, one café right on
    // the border between them.
    MapTile& west = tiles[{kZ, kX, kY}];
    MapTile& east = tiles[{kZ, kX + 1, kY}];
    for (int i = 0; i < 12; ++i) {
        west.pois.push_back(poi({{"amenity", "cafe"}}, pixel(150 + 8 * i, 100 + 3 * i), "Café number " + std::to_string(i)));
        east.pois.push_back(poi({{"amenity", "cafe"}}, pixel(8 * i, 140 + 3 * i, kX + 1), "Kavárna " + std::to_string(i)));
    }
    west.pois.push_back(poi({{"place", "town"}}, pixel(200, 110), "Town"));
    west.pois.push_back(poi({{"amenity", "cafe"}}, pixel(254, 40), "On the border"));
    west.ways.push_back(way({{"highway", "path"}}, {{pixel(0, 200), pixel(250, 200)}}));
    west.ways.back().name = "Long path name";

    const DrawnVectorTile a = draw(kX, kY);
    const DrawnVectorTile b = draw(kX + 1, kY);
    for (const DrawnVectorTile* t : {&a, &b}) {
        ASSERT_GE(t->labels.size(), 3u);
        for (std::size_t i = 0; i < t->labels.size(); ++i)
            for (std::size_t j = i + 1; j < t->labels.size(); ++j)
                for (const QRectF& p : t->labels[i].boxes)
                    for (const QRectF& q : t->labels[j].boxes)
                        EXPECT_FALSE(p.intersects(q)) << t->labels[i].text.toStdString() << " overlaps "
                                                      << t->labels[j].text.toStdString();
    }
    auto find = [](const DrawnVectorTile& t, const char* text) -> const PlacedLabel* {
        for (const PlacedLabel& l : t.labels)
            if (l.text == QString::fromUtf8(text))
                return &l;
        return nullptr;
    };
    ASSERT_NE(find(a, "Town"), nullptr) << "the highest priority wins its place";
    ASSERT_NE(find(a, "Long path name"), nullptr) << "a text along a long straight way";
    EXPECT_EQ(find(a, "Long path name")->kind, InstructionKind::PathText);
    const PlacedLabel* left = find(a, "On the border");
    const PlacedLabel* right = find(b, "On the border");
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr) << "the label crossing the border is drawn on both tiles";
    EXPECT_EQ(left->world, right->world);
    // Every label meeting both tiles is in both, at the same place.
    const QRectF seam(double(kX + 1) * 256 - 1, double(kY) * 256, 2, 256);
    for (const PlacedLabel& l : a.labels)
        if (l.world.intersects(seam)) {
            const PlacedLabel* other = find(b, l.text.toUtf8().constData());
            ASSERT_NE(other, nullptr) << l.text.toStdString();
            EXPECT_EQ(other->world, l.world);
        }
}

TEST_F(SyntheticTileTest, AtDisplayScale2ATileShowsTheSameGroundWithTheThemesSizesDoubled)
{
    // The composer draws every tile into a square of 256: a denser display
    // draws the theme's lines and text larger, not the tile.
    MapTile& tile = tiles[{kZ, kX, kY}];
    tile.ways.push_back(way({{"highway", "path"}}, {{pixel(0, 180), pixel(256, 180)}}));
    tile.pois.push_back(poi({{"amenity", "cafe"}}, pixel(128, 70), "Scaled"));
    struct Look {
        int side;
        int lineRows; // rows of one column the path covers, casing and all
        QRectF caption;
    };
    auto look = [&](float scale) {
        const DrawnVectorTile drawn = draw(kX, kY, {}, scale);
        Look out{drawn.image.width(), 0, {}};
        for (int y = 140; y < 220; ++y)
            out.lineRows += !near(at(drawn.image, {40, double(y)}), 0xFF00FF00, 40);
        for (const PlacedLabel& l : drawn.labels)
            if (l.text == "Scaled")
                out.caption = l.world.translated(-double(kX) * 256, -double(kY) * 256);
        return out;
    };
    const Look one = look(1), two = look(2);
    EXPECT_EQ(one.side, 256);
    EXPECT_EQ(two.side, 256);
    ASSERT_FALSE(one.caption.isEmpty());
    ASSERT_FALSE(two.caption.isEmpty());
    EXPECT_NEAR(two.caption.height(), 2 * one.caption.height(), 2.0) << "the caption's text";
    EXPECT_NEAR(two.caption.width(), 2 * one.caption.width(), 4.0);
    EXPECT_NEAR(two.caption.center().x(), 128, 2.0) << "at the café, as at scale 1";
    EXPECT_NEAR(one.caption.center().x(), 128, 2.0);
    // The first line of the theme: the path's casing, the widest.
    const auto casing = std::find_if(theme.instructions.begin(), theme.instructions.end(),
                                     [](const RenderInstruction& in) { return in.kind == InstructionKind::Line; });
    ASSERT_NE(casing, theme.instructions.end());
    EXPECT_NEAR(one.lineRows, theme.strokeWidth(*casing, kZ, 1), 1.5) << "as wide as the theme asks";
    EXPECT_NEAR(two.lineRows, 2 * one.lineRows, 1.5);
    EXPECT_TRUE(near(at(draw(kX, kY, {}, 2).image, {40, 180}), 0xFFFFFF00)) << "the path where it lies at scale 1";
}

TEST_F(SyntheticTileTest, ACubicLineCurvesThroughItsPoints)
{
    tiles[{kZ, kX, kY}].ways.push_back(way({{"waterway", "stream"}}, {{pixel(20, 200), pixel(128, 40), pixel(236, 200)}}));
    const QImage image = draw(kX, kY).image;
    EXPECT_TRUE(near(at(image, {128, 40}), 0xFF0000FF)) << "through its points";
    // Halfway to the peak the curve runs outside the straight stretch (x 80.75).
    EXPECT_TRUE(near(at(image, {67, 110}), 0xFF0000FF)) << "the curve";
    EXPECT_TRUE(near(at(image, {81, 110}), 0xFF00FF00)) << "no straight stretch";
}

TEST_F(SyntheticTileTest, LineSymbolsGiveWayToLabelsAndComeOutAlikeOnBothSidesOfABorder)
{
    // A railway across the border with symbols every 24 px from x 110 on
    // (one at 254 crosses it), a café's caption over it.
    MapTile& west = tiles[{kZ, kX, kY}];
    west.ways.push_back(way({{"railway", "rail"}}, {{pixel(106, 60), pixel(160, 60, kX + 1)}}));
    west.pois.push_back(poi({{"amenity", "cafe"}}, pixel(180, 60), "Nádraží"));
    tiles[{kZ, kX + 1, kY}].ways.push_back(west.ways.back());

    const DrawnVectorTile a = draw(kX, kY);
    const DrawnVectorTile b = draw(kX + 1, kY);
    auto symbols = [](const DrawnVectorTile& t) {
        std::vector<QRectF> out;
        for (const PlacedLabel& l : t.labels)
            if (l.kind == InstructionKind::LineSymbol)
                out.push_back(l.world);
        return out;
    };
    const std::vector<QRectF> inWest = symbols(a), inEast = symbols(b);
    ASSERT_GE(inWest.size(), 4u);
    ASSERT_GE(inEast.size(), 4u);
    const PlacedLabel* cafe = nullptr;
    for (const PlacedLabel& l : a.labels)
        if (l.kind == InstructionKind::Caption)
            cafe = &l;
    ASSERT_NE(cafe, nullptr) << "the caption outranks the symbols";
    for (const QRectF& r : inWest) {
        EXPECT_FALSE(r.intersects(cafe->world)) << "a symbol under the caption";
        EXPECT_TRUE(near(at(a.image, r.center() - QPointF(double(kX) * 256, double(kY) * 256)), kArrowColour));
    }
    const double seam = double(kX + 1) * 256;
    const auto crossing = std::find_if(inWest.begin(), inWest.end(),
                                       [&](const QRectF& r) { return r.left() < seam && r.right() > seam; });
    ASSERT_NE(crossing, inWest.end()) << "the symbol at 254";
    EXPECT_NE(std::find(inEast.begin(), inEast.end(), *crossing), inEast.end()) << "drawn alike in both tiles";
    EXPECT_TRUE(near(at(b.image, {1, crossing->center().y() - double(kY) * 256}), kArrowColour))
        << "its east part on the east tile";
}

TEST_F(SyntheticTileTest, AStreetNameSitsInTheMiddleOfAShortStreetAndRepeatsSpacedOnALongOne)
{
    MapTile& tile = tiles[{kZ, kX, kY}];
    tile.ways.push_back(way({{"highway", "path"}}, {{pixel(50, 30), pixel(200, 30)}}));
    tile.ways.back().name = "Krátká";
    // Across three tiles, each holding it.
    tile.ways.push_back(way({{"highway", "path"}}, {{pixel(0, 200), pixel(256, 200, kX + 2)}}));
    tile.ways.back().name = "Dlouhá";
    tiles[{kZ, kX + 1, kY}].ways.push_back(tile.ways.back());
    tiles[{kZ, kX + 2, kY}].ways.push_back(tile.ways.back());

    std::vector<QRectF> shortOnes;
    std::map<double, QRectF> longOnes; // by x, each once
    for (std::int64_t x = kX; x <= kX + 2; ++x)
        for (const PlacedLabel& l : draw(x, kY).labels) {
            if (l.text == QStringLiteral("Krátká") && x == kX)
                shortOnes.push_back(l.world);
            if (l.text == QStringLiteral("Dlouhá"))
                longOnes.emplace(l.world.center().x(), l.world);
        }
    ASSERT_EQ(shortOnes.size(), 1u) << "once on a short street";
    EXPECT_NEAR(shortOnes[0].center().x(), double(kX) * 256 + 125, 3) << "in its middle";
    ASSERT_GE(longOnes.size(), 3u);
    for (auto it = std::next(longOnes.begin()); it != longOnes.end(); ++it)
        EXPECT_GE(it->second.left() - std::prev(it)->second.right(), 100 - 2) << "the theme's repeat gap between";
}

TEST_F(SyntheticTileTest, AHaloGrowsWithItsText)
{
    tiles[{kZ, kX, kY}].pois.push_back(poi({{"amenity", "cafe"}}, pixel(128, 128), "Halo"));
    // The halo's white at one and twice the text size: a ring twice as long
    // and twice as wide, where a halo of the same width would only be longer.
    auto white = [&] {
        const QImage image = draw(kX, kY).image;
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += near(image.pixel(x, y), 0xFFFFFFFF, 40);
        return count;
    };
    const int base = white();
    ASSERT_GT(base, 0);
    theme.baseTextSize = 2;
    const int larger = white();
    EXPECT_GT(larger, 3 * base);
    EXPECT_LT(larger, 8 * base);
}

// The outlines a font keeps draw the very pixels of the text shaped anew:
// captions anywhere (left of and above the tile too, at fractions of a
// pixel) and letters along a way, turned, with a halo.
TEST(LabelTextTest, KeptOutlinesDrawTheTextsPixelsAnywhere)
{
    FontCache fonts;
    const FontCache::Entry& font = fonts.get(FontFamily::Default, FontStyle::Bold, 13.4f);
    std::vector<LabelCandidate> labels;
    for (const QPointF at : {QPointF(10.3, 40.77), QPointF(-7.41, 120.015), QPointF(130.9, -3.2),
                             QPointF(-0.3, -0.6), QPointF(200.5, 250.25)}) {
        LabelCandidate c;
        c.kind = InstructionKind::Caption;
        c.text = QStringLiteral("Nám. Míru 12/3");
        c.font = font.font;
        c.fill = Qt::black;
        c.halo = Qt::white;
        c.haloWidth = 2.5f;
        c.lines = {{at, c.text}, {at + QPointF(3.7, 16.1), QStringLiteral("Ýč")}};
        labels.push_back(c);
    }
    LabelCandidate along = labels[0];
    along.kind = InstructionKind::PathText;
    along.lines.clear();
    along.baselineShift = float((font.metrics.ascent() - font.metrics.descent()) / 2);
    float angle = -20;
    double x = 20.25;
    for (const QString& letter : {QStringLiteral("Ř"), QStringLiteral("í"), QStringLiteral("m"), QStringLiteral("m")}) {
        const auto advance = float(font.metrics.horizontalAdvance(letter));
        along.letters.push_back({QPointF(x, 180.4 + x / 3), angle, advance, letter});
        x += advance;
        angle += 13.5f;
    }
    labels.push_back(along);

    const QPointF origin(-0.5, 0.25);
    SymbolCache symbols;
    auto drawn = [&](bool kept) {
        QImage image(256, 256, QImage::Format_RGB32);
        image.fill(0xFF4080C0);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        for (LabelCandidate c : labels) {
            c.fontEntry = kept ? &font : nullptr;
            drawLabel(painter, c, origin, symbols);
        }
        return image;
    };
    const QImage shaped = drawn(false);
    EXPECT_EQ(drawn(true), shaped);
    EXPECT_EQ(drawn(true), shaped) << "drawn again from the kept outlines";
    EXPECT_FALSE(font.outlines.empty());
}

// An SVG is read once and drawn at each size from what was read: the
// pictures are those of a cache that reads it anew, and a picture's size is
// known without drawing it.
class SymbolPictureTest : public test::TempDirTest {};

TEST_F(SymbolPictureTest, AnSvgReadOnceDrawsAsOneReadAnewAtEverySize)
{
    test::writeFile(dir / "mark.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="12">)"
                                      R"(<circle cx="7" cy="6" r="5.3" fill="#2060E0" stroke="#000" stroke-width="1.5"/>)"
                                      R"(<path d="M1 11 Q8 -3 15 11" fill="none" stroke="#F0A000"/></svg>)");
    ThemeImage mark;
    mark.src = "mark.svg";
    mark.file = dir / "mark.svg";
    mark.found = true;
    mark.widthPx = 14;

    SymbolCache kept;
    for (const float scale : {1.0f, 2.6f, 1.0f, 0.7f}) {
        const QSize size = kept.pictureSize(mark, scale);
        const QImage& picture = kept.image(mark, scale);
        SymbolCache anew;
        EXPECT_EQ(picture, anew.image(mark, scale)) << scale;
        EXPECT_EQ(size, picture.size()) << scale;
        EXPECT_FALSE(picture.isNull());
    }
    EXPECT_EQ(kept.image(mark, 2.6f).size(), QSize(36, 27)) << "14 theme pixels wide, by the aspect high";

    mark.file = dir / "missing.svg";
    EXPECT_TRUE(kept.pictureSize(mark, 1.0f).isEmpty());
    EXPECT_TRUE(kept.image(mark, 1.0f).isNull());
}

struct Drawn {
    QImage image;
    MapTile tile;
};

// Real map data with the themes: colours where the map's own objects are.
class PankowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TW_REQUIRE_CORPUS();
        const fs::path map = test::corpusDir() / "mapsforge" / "pankow.map";
        if (!fs::exists(map))
            GTEST_SKIP() << "pankow.map is not in the corpus";
        ASSERT_TRUE(files.add(map));
    }

    Drawn draw(const RenderTheme& theme, const MapTileId& id)
    {
        ThemeMatcher matcher(theme, theme.styleMenu.categories(""));
        VectorDrawState state(theme, matcher, 1.0f);
        Drawn out;
        files.readTile(id, "", out.tile);
        const TileReader read = [this](const MapTileId& t, MapTile& o) {
            o.clear();
            return files.covers(t) && (files.readTile(t, "", o) || true);
        };
        out.image = renderVectorTile(id, read, state, {}, &out.tile).image;
        if (const char* dump = std::getenv("TW_VECTOR_DUMP"))
            out.image.save(QString::fromStdString(std::string(dump) + "/" + std::to_string(id.zoom) + "-" +
                                                  std::to_string(id.x) + "-" + std::to_string(id.y) + ".png"));
        return out;
    }
    // A tile of the map's centre.
    MapTileId centre(int zoom) const
    {
        const MicroBox& b = files.file(0).header().bounds;
        const std::int32_t lat = (b.minLatE6 + b.maxLatE6) / 2, lon = (b.minLonE6 + b.maxLonE6) / 2;
        return {zoom, tilemath::lonToTileX(lon, zoom), tilemath::latToTileY(lat, zoom)};
    }
    MapFileSet files;
};

// The share of the ways with the key whose inside shows the colour their
// theme gives them (the last area instruction with a fill), over the ways
// of that key lying well inside the tile.
double shareShowingTheirFill(const Drawn& drawn, const RenderTheme& theme, const MapTileId& id, const char* key)
{
    ThemeMatcher matcher(theme, theme.styleMenu.categories(""));
    const TileFrame frame(id.zoom, id.x, id.y, 256);
    int checked = 0, shown = 0;
    for (const MapWay& w : drawn.tile.ways) {
        if (std::none_of(w.tags.begin(), w.tags.end(), [&](const VectorTag& t) { return t.key == key; }) ||
            w.rings.size() != 1 || w.rings[0].size() < 4)
            continue;
        std::uint32_t fill = 0;
        for (const RenderInstruction* in : matcher.match(VectorElement::Way, w.tags, id.zoom, true))
            if (in->kind == InstructionKind::Area && qAlpha(in->fill) == 255 && in->image.src.empty())
                fill = in->fill;
        if (!fill)
            continue;
        QPolygonF polygon;
        for (const MicroPoint& p : w.rings[0])
            polygon << frame.local(p);
        const QRectF box = polygon.boundingRect();
        if (box.width() < 12 || box.height() < 12 || !QRectF(8, 8, 240, 240).contains(box))
            continue;
        // A point inside, away from the outline.
        for (double fy = 0.3; fy <= 0.7; fy += 0.1)
            for (double fx = 0.3; fx <= 0.7; fx += 0.1) {
                const QPointF p(box.left() + fx * box.width(), box.top() + fy * box.height());
                const QRectF around(p - QPointF(3, 3), QSizeF(6, 6));
                if (!polygon.containsPoint(p, Qt::OddEvenFill) ||
                    !polygon.containsPoint(around.topLeft(), Qt::OddEvenFill) ||
                    !polygon.containsPoint(around.bottomRight(), Qt::OddEvenFill))
                    continue;
                ++checked;
                shown += near(at(drawn.image, p), fill, 20);
                fy = fx = 2; // one point a way
            }
    }
    return checked ? double(shown) / checked : -1;
}

TEST_F(PankowTest, BuildingsForestsWaterAndRoadsShowTheirThemeColoursAtZoom14And16)
{
    for (const char* themeFile : {"tarnwick", "default"}) {
        SCOPED_TRACE(themeFile);
        const fs::path path = std::string(themeFile) == "default"
                                  ? test::corpusDir() / "mapsforge" / "themes" / "mapsforge" / "default.xml"
                                  : test::sourceDir() / "resources" / "themes" / "tarnwick.xml";
        RenderThemeResult read = readRenderTheme(path);
        ASSERT_TRUE(read.theme);
        const RenderTheme& theme = *read.theme;
        const Drawn z16 = draw(theme, centre(16));
        const double buildings = shareShowingTheirFill(z16, theme, centre(16), "building");
        ASSERT_GE(buildings, 0) << "the centre tile has buildings";
        EXPECT_GE(buildings, 0.8);
        // The land shows where nothing is drawn... and only there: roads are
        // drawn over it.
        const Drawn z14 = draw(theme, centre(14));
        for (const char* key : {"landuse", "natural"}) {
            const double share = shareShowingTheirFill(z14, theme, centre(14), key);
            if (share >= 0) {
                EXPECT_GE(share, 0.7) << key;
            }
        }
        // Major roads: the middle of a long segment is not the land colour.
        ThemeMatcher matcher(theme, theme.styleMenu.categories(""));
        const TileFrame frame(16, centre(16).x, centre(16).y, 256);
        int roads = 0, drawnRoads = 0;
        for (const MapWay& w : z16.tile.ways) {
            const bool major = std::any_of(w.tags.begin(), w.tags.end(), [](const VectorTag& t) {
                return t.key == "highway" && (t.value == "primary" || t.value == "secondary" || t.value == "tertiary" ||
                                              t.value == "residential");
            });
            if (!major || w.rings.empty())
                continue;
            const auto& r = w.rings[0];
            for (std::size_t i = 1; i < r.size(); ++i) {
                const QPointF a = frame.local(r[i - 1]), b = frame.local(r[i]);
                const QPointF m = (a + b) / 2;
                if (std::hypot(b.x() - a.x(), b.y() - a.y()) < 30 || !QRectF(4, 4, 248, 248).contains(m))
                    continue;
                ++roads;
                drawnRoads += !near(at(z16.image, m), theme.mapBackground, 6);
                break;
            }
        }
        ASSERT_GT(roads, 0);
        EXPECT_GE(double(drawnRoads) / roads, 0.9);
    }
}

// The renderer over a written map: one building over most of a tile.
class RendererTest : public testmap::MapFileTest {
protected:
    void SetUp() override
    {
        MapFileTest::SetUp();
        test::writeFile(dir / "theme.xml", kTheme);
        writeSymbols(dir);
        testmap::MapContent content;
        content.version = 4;
        const MicroPoint nw = pixel(0, 0), se = pixel(256, 256, kX + 1, kY + 1);
        content.bounds = {se.latE6, nw.lonE6, nw.latE6, se.lonE6};
        content.wayTags = {"building=yes"};
        testmap::IntervalContent z{14, 12, 18, {}};
        for (std::int64_t x : {kX, kX + 1}) {
            testmap::TileContent t{x, kY, false, {}, {}, {}};
            testmap::WayContent w;
            w.zoom = 12;
            w.tags = {0};
            w.blocks = {{square(10, 10, 240, 240)}};
            for (auto& p : w.blocks[0][0])
                p.lonE6 += std::int32_t(x - kX) * (pixel(256, 0).lonE6 - pixel(0, 0).lonE6);
            t.ways.push_back(w);
            z.tiles.push_back(t);
        }
        content.intervals.push_back(z);
        written = testmap::writeMap(content);
        settings.mapFiles = {save(written.bytes)};
        settings.themeFile = dir / "theme.xml";
    }

    std::unique_ptr<VectorTileRenderer> make()
    {
        auto r = std::make_unique<VectorTileRenderer>(settings, test::runtimeDir());
        r->setReadyCallback([this] { ++ready; });
        return r;
    }
    // Waits for the ready callback, running the window thread's events.
    bool waitReady(int before)
    {
        QElapsedTimer timer;
        timer.start();
        while (ready == before && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return ready > before;
    }
    static QRgb centreOf(const std::shared_ptr<const TileImage>& t)
    {
        return dynamic_cast<const QtTileImage&>(*t).image().pixel(128, 128);
    }

    testmap::WrittenMap written;
    VectorMapSettings settings;
    int ready = 0;
};

TEST_F(RendererTest, QueuesThenCallsBackOnTheWindowThreadThenAnswersFromTheCache)
{
    auto renderer = make();
    EXPECT_TRUE(renderer->themeProblems().empty());
    EXPECT_TRUE(renderer->unreadableMaps().empty());
    EXPECT_EQ(renderer->background(), 0xFF00FF00u);
    EXPECT_EQ(renderer->backgroundOutside(), 0xFF808080u);
    EXPECT_TRUE(renderer->covers(kZ, kX, kY));
    EXPECT_FALSE(renderer->covers(kZ, kX + 40, kY));
    EXPECT_EQ(renderer->tile(kZ, kX + 40, kY), nullptr);
    EXPECT_EQ(renderer->queuedTiles(), 0u) << "a tile of no map is not queued";

    EXPECT_EQ(renderer->tile(kZ, kX, kY), nullptr);
    // Asked again: queued once (the worker may have drawn it by now on a
    // busy machine).
    renderer->tile(kZ, kX, kY);
    EXPECT_LE(renderer->queuedTiles(), 1u);
    EXPECT_EQ(ready, 0) << "never called from the worker, nor at once";
    ASSERT_TRUE(waitReady(0));
    const auto image = renderer->tile(kZ, kX, kY);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), 256);
    EXPECT_TRUE(near(centreOf(image), 0xFFFF0000));
    EXPECT_EQ(renderer->tile(kZ, kX, kY), image) << "from the cache";

    // Drawn now on the calling thread, the same picture.
    const auto now = renderer->drawnTile(kZ, kX + 1, kY);
    ASSERT_NE(now, nullptr);
    EXPECT_TRUE(near(centreOf(now), 0xFFFF0000));

    // A denser display: tiles of the same side for the same squares.
    settings.displayScale = 2;
    VectorTileRenderer dense(settings, test::runtimeDir());
    EXPECT_EQ(dense.drawnTile(kZ, kX, kY)->width(), 256);
    EXPECT_EQ(dense.cacheCapacity(), renderer->cacheCapacity());
}

TEST_F(RendererTest, KeepOnlyAndStyleChangesDropWorkAndAStyleWithoutBuildingsDrawsNone)
{
    auto renderer = make();
    for (int i = 0; i < 30; ++i)
        renderer->tile(16, kX * 4 + i % 8, kY * 4 + i / 8);
    renderer->keepOnly({{16, kX * 4, kY * 4}});
    EXPECT_LE(renderer->queuedTiles(), 1u);

    const auto before = renderer->drawnTile(kZ, kX, kY);
    EXPECT_TRUE(near(centreOf(before), 0xFFFF0000));
    const int calls = ready;
    renderer->setStyle("plain", {{"houses", false}});
    EXPECT_EQ(renderer->cachedTiles(), 0u);
    EXPECT_EQ(renderer->queuedTiles(), 0u);
    ASSERT_TRUE(waitReady(calls)) << "the view is told to ask again";
    const auto after = renderer->drawnTile(kZ, kX, kY);
    EXPECT_TRUE(near(centreOf(after), 0xFF00FF00)) << "buildings switched off";

    // Destroyed with work queued: no callback after it is gone.
    for (int i = 0; i < 30; ++i)
        renderer->tile(16, kX * 4 + i % 8, kY * 4 + i / 8);
    renderer.reset();
    const int left = ready;
    QCoreApplication::processEvents();
    EXPECT_EQ(ready, left);
}

TEST_F(RendererTest, ADamagedTileOrThemeOrMapFileGivesAPlainTileAndTheProblems)
{
    // The tile's block cut to garbage.
    testmap::patch(written.bytes, written.tileAt[0], std::string(24, '\xff'));
    settings.mapFiles = {save(written.bytes, "damaged.map"), dir / "missing.map"};
    settings.themeFile = dir / "no-theme.xml";
    test::writeFile(settings.themeFile, "<rendertheme");
    VectorTileRenderer renderer(settings, test::runtimeDir());
    EXPECT_FALSE(renderer.themeProblems().empty());
    ASSERT_EQ(renderer.unreadableMaps().size(), 1u);
    EXPECT_EQ(renderer.unreadableMaps()[0].path, dir / "missing.map");
    const auto t = renderer.drawnTile(kZ, kX, kY);
    ASSERT_NE(t, nullptr);
    const QImage& image = dynamic_cast<const QtTileImage&>(*t).image();
    EXPECT_EQ(image.pixel(128, 128), image.pixel(5, 5)) << "a plain tile";
}

} // namespace
