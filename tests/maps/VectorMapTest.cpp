// SPDX-License-Identifier: GPL-3.0-or-later
// Vector maps as a map source: found in the map folder or named by a
// configuration file, opened with the zoom limits of their files, and
// composed from a renderer's tiles instead of a store.
#include "maps/MapComposer.h"
#include "maps/MercatorTileProvider.h"
#include "maps/VectorSource.h"
#include "maps/mapsforge/TileMath.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/maps/FakeRenderer.h"
#include "tests/maps/MapFakes.h"
#include "tests/maps/MapFileWriter.h"

#include <algorithm>

namespace fs = std::filesystem;
using namespace tw::maps;
using tw::test::FakeDecoder;
using tw::test::FakeImage;
using tw::test::FakeRenderer;
using tw::test::RecordingCanvas;
using tw::test::RecordingDownloader;

namespace {

std::string wrapSource(const std::string& body)
{
    return "<Tarnwick><MapSource>" + body + "</MapSource></Tarnwick>";
}

// Inside the rich map's thin strip along its tiles' north edge, in Berlin.
const tw::geo::LatLon kInside{tilemath::tileYToLatDeg(testmap::kRichY, 14) - 0.0005,
                              tilemath::tileXToLonDeg(testmap::kRichX, 14) + 0.005};

} // namespace

class VectorSourceTest : public testmap::MapFileTest {};

TEST_F(VectorSourceTest, MapFilesBecomeSourcesAfterTheConfiguredOnes)
{
    tw::test::writeFile(dir / "both-map-config.xml",
                        wrapSource("<name>Both</name><storage>mapsforge</storage><mapFile> a.map </mapFile>"
                                   "<mapFile>b.map</mapFile><mapFile>../etc/passwd</mapFile><theme>t.xml</theme>"));
    for (const char* name : {"pankow.map", "a.map", "b.map", "berlin.map"})
        tw::test::writeFile(dir / name, "not read here");
    tw::test::writeFile(dir / "notes.txt", "");

    MapSources sources;
    loadMapConfigs(dir / "no install", "en", dir, sources);
    ASSERT_EQ(sources.size(), 3u);
    const MapSource& both = sources.at(0);
    EXPECT_EQ(both.name, "Both");
    EXPECT_EQ(both.type, "Google");
    EXPECT_TRUE(isVectorSource(both));
    EXPECT_EQ(both.mapFiles, (std::vector<std::string>{"a.map", "b.map"})); // never a path
    EXPECT_EQ(both.theme, "t.xml");
    EXPECT_FALSE(both.bulkDownload);
    // The files no source names, sorted, called after their files.
    EXPECT_EQ(sources.at(1).name, "berlin");
    EXPECT_EQ(sources.at(1).mapFiles, std::vector<std::string>{"berlin.map"});
    EXPECT_EQ(sources.at(2).name, "pankow");
    EXPECT_TRUE(isVectorSource(sources.at(2)));
}

TEST_F(VectorSourceTest, TheThemeBesideTheMapFiles)
{
    MapSource source;
    source.storage = kVectorStorage;
    source.mapFiles = {"pankow.map"};
    EXPECT_EQ(themeBeside(source, dir), fs::path());

    // The only theme of the folder; map configurations do not count.
    tw::test::writeFile(dir / "outdoor.xml", "<rendertheme/>");
    tw::test::writeFile(dir / "my-map-config.xml", "<Tarnwick/>");
    EXPECT_EQ(themeBeside(source, dir), dir / "outdoor.xml");
    // Two: which one is meant is not known.
    tw::test::writeFile(dir / "winter.xml", "<rendertheme/>");
    EXPECT_EQ(themeBeside(source, dir), fs::path());
    // The map's own name wins, and the source's own theme above all.
    tw::test::writeFile(dir / "pankow.xml", "<rendertheme/>");
    EXPECT_EQ(themeBeside(source, dir), dir / "pankow.xml");
    source.theme = "winter.xml";
    EXPECT_EQ(themeBeside(source, dir), dir / "winter.xml");

    // The options' theme comes before every theme beside the map.
    const VectorMapSettings settings = vectorMapSettings(source, dir, "/themes/chosen.xml");
    EXPECT_EQ(settings.themeFile, fs::path("/themes/chosen.xml"));
    EXPECT_EQ(settings.mapFiles, std::vector<fs::path>{dir / "pankow.map"});
    EXPECT_EQ(vectorMapSettings(source, dir, {}).themeFile, dir / "winter.xml");
}

TEST_F(VectorSourceTest, TheProviderTakesZoomsAndPlaceFromTheFilesAndDownloadsNothing)
{
    save(testmap::writeMap(testmap::richMap()).bytes, "berlin.map");
    MapSources sources;
    addFoundMapFiles(dir, sources);
    ASSERT_EQ(sources.size(), 1u);

    tw::RecordingPrompter prompter;
    MapTypeChoice choice{2, 1, 1, 1};
    TileProvider::Options options;
    options.mapFolder = dir;
    options.centre = {50.087, 14.421}; // Prague: no map there
    auto provider = openMapProvider(sources, 0, choice, options, prompter);
    ASSERT_TRUE(provider);
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_EQ(provider->storage(), TileStorage::Vector);
    EXPECT_EQ(provider->minZoom(), 12); // the map's one sub-file starts there
    EXPECT_EQ(provider->maxZoom(), kMaxVectorZoom);
    EXPECT_EQ(provider->zoom(), kDefaultVectorZoom);
    EXPECT_EQ(choice.mapType, 0);
    EXPECT_EQ(choice.overlay1, 0);
    EXPECT_FALSE(provider->canStoreDownloads());
    EXPECT_FALSE(provider->source().bulkDownload);
    // The view went to the map.
    EXPECT_NEAR(provider->centre().lat, 52.5, 0.1);
    EXPECT_NEAR(provider->centre().lon, 13.36, 0.1);

    // A file that names where and how near it opens: there, when the view
    // is off the map.
    testmap::MapContent started = testmap::richMap();
    started.startPosition = MicroPoint{52'510'000, 13'370'000};
    started.startZoom = 17;
    save(testmap::writeMap(started).bytes, "berlin.map");
    options.centre = {50.087, 14.421};
    options.zoom.reset();
    provider = openMapProvider(sources, 0, choice, options, prompter);
    EXPECT_EQ(provider->zoom(), 17);
    EXPECT_NEAR(provider->centre().lat, 52.51, 1e-6);
    EXPECT_NEAR(provider->centre().lon, 13.37, 1e-6);

    // A centre on the map stays.
    options.centre = kInside;
    options.zoom = 16;
    provider = openMapProvider(sources, 0, choice, options, prompter);
    EXPECT_EQ(provider->centre(), kInside);
    EXPECT_EQ(provider->zoom(), 16);

    // Without a renderer nothing is asked of any server either.
    FakeDecoder decoder;
    RecordingDownloader downloader;
    MapComposer composer(*provider, decoder, &downloader);
    RecordingCanvas canvas(512, 512);
    composer.composeTiles(canvas, {});
    EXPECT_TRUE(downloader.urls.empty());
    EXPECT_FALSE(composer.downloadsPending());
}

class RenderedComposerTest : public tw::test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        MapSource source;
        source.type = "Google";
        source.storage = kVectorStorage;
        source.name = "pankow";
        TileProvider::Options o;
        o.mapFolder = dir;
        o.zoom = 13;
        o.centre = {50.087, 14.421}; // column 4424, row 2775 at zoom 13
        provider = std::make_unique<MercatorTileProvider>(vectorSourceView(source, o), o);
        composer = std::make_unique<MapComposer>(*provider, decoder, &downloader);
        composer->setRenderer(&renderer);
    }
    void compose()
    {
        canvas = RecordingCanvas(256, 256);
        composer->composeTiles(canvas, {});
    }
    // The centre tile's draw, or nothing.
    std::optional<RecordingCanvas::Draw> centreDraw() const
    {
        for (const auto& d : canvas.draws)
            if (d.target.x <= 128 && d.target.x + d.target.width > 128 && d.target.y <= 128
                && d.target.y + d.target.height > 128)
                return d;
        return std::nullopt;
    }
    bool filledWith(std::uint32_t rgb) const
    {
        return std::any_of(canvas.filled.begin(), canvas.filled.end(),
                           [&](const auto& f) { return f.second == rgb && f.first.width == 256; });
    }

    FakeRenderer renderer{[](const FakeRenderer::Tile& t) {
        return std::make_shared<FakeImage>(std::to_string(std::get<0>(t)) + "/" + std::to_string(std::get<1>(t)) +
                                           "/" + std::to_string(std::get<2>(t)));
    }};
    FakeDecoder decoder;
    RecordingDownloader downloader;
    RecordingCanvas canvas{256, 256};
    std::unique_ptr<MercatorTileProvider> provider;
    std::unique_ptr<MapComposer> composer;
};

TEST_F(RenderedComposerTest, DrawnTilesComeFromTheRendererAndTheViewIsKept)
{
    compose();
    ASSERT_TRUE(centreDraw());
    EXPECT_EQ(centreDraw()->label, "13/4424/2775");
    EXPECT_FALSE(composer->downloadsPending());
    EXPECT_GT(composer->tilesShown(), 0);
    EXPECT_TRUE(downloader.urls.empty());
    // Every tile of the view, and only those, stays wanted.
    EXPECT_EQ(renderer.kept.size(), canvas.draws.size());
    EXPECT_NE(std::find(renderer.kept.begin(), renderer.kept.end(), FakeRenderer::Tile{13, 4424, 2775}),
              renderer.kept.end());
    EXPECT_EQ(canvas.greyLines, 0);
}

TEST_F(RenderedComposerTest, AQueuedTileShowsAHeldLowerZoomThenItsOwn)
{
    // Nothing held yet: the map's background, no crosses.
    renderer.hold = true;
    compose();
    EXPECT_TRUE(canvas.draws.empty());
    EXPECT_TRUE(filledWith(0x102030));
    EXPECT_EQ(canvas.greyLines, 0);
    EXPECT_TRUE(composer->downloadsPending());
    EXPECT_TRUE(renderer.queued.contains({13, 4424, 2775}));

    renderer.release();
    compose();
    ASSERT_TRUE(centreDraw());
    EXPECT_EQ(centreDraw()->label, "13/4424/2775");
    EXPECT_FALSE(composer->downloadsPending());

    // One zoom in: the tile of zoom 13 stands in, enlarged, until the own one is drawn.
    composer->zoomIn();
    compose();
    ASSERT_TRUE(centreDraw());
    EXPECT_EQ(centreDraw()->label, "13/4424/2775");
    EXPECT_EQ(centreDraw()->source.width, 128);
    EXPECT_TRUE(composer->downloadsPending());
    // The lower zoom was not asked for again: it was at hand.
    EXPECT_FALSE(renderer.queued.contains({12, 2212, 1387}));

    // The view moved away before it was drawn: the queued tile is no longer wanted.
    const auto wasQueued = renderer.queued;
    provider->setCentre({48.2, 16.37});
    compose();
    EXPECT_FALSE(renderer.queued.empty());
    for (const auto& t : wasQueued)
        EXPECT_FALSE(renderer.queued.contains(t));
    for (const auto& t : renderer.queued)
        EXPECT_NE(std::find(renderer.kept.begin(), renderer.kept.end(), t), renderer.kept.end());
}

TEST_F(RenderedComposerTest, OutsideTheMapFilesTheOutsideColourAndNoCrosses)
{
    renderer.covered = [](const FakeRenderer::Tile&) { return false; };
    compose();
    EXPECT_TRUE(canvas.draws.empty());
    EXPECT_TRUE(filledWith(0x405060));
    EXPECT_EQ(canvas.greyLines, 0);
    EXPECT_EQ(composer->tilesShown(), 0);
    EXPECT_FALSE(composer->downloadsPending());
    EXPECT_TRUE(renderer.queued.empty());
}

TEST_F(RenderedComposerTest, DrawnNowLeavesNothingQueued)
{
    renderer.hold = true;
    composer->setRenderer(&renderer, true);
    compose();
    ASSERT_TRUE(centreDraw());
    EXPECT_EQ(centreDraw()->label, "13/4424/2775");
    EXPECT_GT(renderer.drawnNow, 0);
    EXPECT_TRUE(renderer.queued.empty());
    EXPECT_FALSE(composer->downloadsPending());
}

TEST_F(RenderedComposerTest, PanningFarHoldsTheDrawnTilesOfTheViewAndTheOneBeforeOnly)
{
    // Thirty tiles to the east, a tile at a time: the renderer's own cache
    // limits its memory, the composer keeps no trail of drawn tiles.
    std::size_t mostHeld = 0;
    for (int step = 0; step < 30; ++step) {
        provider->setCentre({50.087, 14.421 + step * 0.044});
        compose();
        mostHeld = std::max(mostHeld, composer->decodedTiles());
    }
    EXPECT_LE(mostHeld, 2 * std::size_t{9});
    // The view's tiles are still at hand: nothing is asked of the renderer
    // again when it has dropped its own.
    renderer.setStyle("", {});
    renderer.hold = true;
    compose();
    ASSERT_TRUE(centreDraw());
    EXPECT_TRUE(renderer.queued.empty());
    EXPECT_FALSE(composer->downloadsPending());
}
