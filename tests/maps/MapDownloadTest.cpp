// SPDX-License-Identifier: GPL-3.0-or-later
// The whole road of a missing tile against the simulator: the view asks for
// it, the worker fetches and stores it, the next composition draws it.
#include "maps/MapComposer.h"
#include "maps/MapyCzTileProvider.h"
#include "maps/MercatorTileProvider.h"
#include "online/CNetClient.h"
#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/maps/MapFakes.h"
#include "tests/online/SimProcess.h"

#include <algorithm>
#include <thread>

namespace fs = std::filesystem;
using namespace tw;
using namespace tw::maps;

struct StorageCase {
    const char* name;
    const char* type;
    const char* storage;
    const char* urlPath; // after the simulator's address
};

class MapDownload : public test::WithSuiteSim<test::TempDirTest>,
                    public ::testing::WithParamInterface<StorageCase> {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        if (!simError().empty())
            GTEST_SKIP() << simError();
    }
};

TEST_P(MapDownload, MissingTilesAreFetchedOnceStoredAndDrawnNextTime)
{
    const StorageCase& c = GetParam();
    MapSource source;
    source.type = c.type;
    source.storage = c.storage;
    source.requestHeader = "User-Agent: Tarnwick-test/1.0";
    MapType base;
    base.mode = "basic";
    base.file = "base_n";
    base.url = s_sim->baseUrl() + c.urlPath;
    base.maxZoom = 18;
    base.maxAvailZoom = 18;
    source.basic.push_back(base);

    TileProvider::Options o;
    o.mapFolder = dir;
    o.zoom = 13;
    o.centre = {50.087, 14.421};
    auto provider = makeTileProvider(source, o);
    ASSERT_TRUE(provider);

    RecordingPrompter prompter;
    RecordingNotifier notifier;
    net::CNetClient client(prompter, notifier);
    client.setConnectionProbe([] { return true; });
    client.setDownloadRoot(dir);
    client.setDownloadsOn(false);

    test::FakeDecoder decoder;
    MapComposer composer(*provider, decoder, &client);
    test::RecordingCanvas screen(480, 480);
    const ComposeOptions options;
    composer.composeTiles(screen, options);
    EXPECT_TRUE(composer.downloadsPending());
    const int missing = client.queued();
    EXPECT_GE(missing, 4);
    // Painting again while the downloads wait queues nothing new.
    composer.composeTiles(screen, options);
    EXPECT_EQ(client.queued(), missing);

    const std::size_t before = s_sim->requests().size();
    client.setDownloadsOn(true);
    client.startWorker();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((client.running() || client.queued() > 0) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(client.running());
    EXPECT_TRUE(prompter.messages().empty());

    const auto all = s_sim->requests();
    std::vector<std::string> sorted(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    EXPECT_EQ(static_cast<int>(sorted.size()), missing);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "a tile was fetched twice";

    screen.draws.clear();
    composer.composeTiles(screen, options);
    EXPECT_FALSE(composer.downloadsPending());
    EXPECT_EQ(static_cast<int>(screen.draws.size()), missing);
    for (const auto& d : screen.draws)
        EXPECT_EQ(d.label, "downloaded");
}

INSTANTIATE_TEST_SUITE_P(
    Storages, MapDownload,
    ::testing::Values(StorageCase{"MercatorFolder", "Google", "", "/tiles/{z}/{x}/{y}.png"},
                      StorageCase{"MercatorDatabase", "Google", "database", "/tiles/{z}/{x}/{y}.jpg"},
                      StorageCase{"MapyCzFolder", "MapyCz", "", "/mapy/base_n/{z}-{x}-{y}"},
                      StorageCase{"MapyCzDatabase", "MapyCz", "database", "/mapy/base_n/{z}-{x}-{y}"}),
    [](const auto& row) { return std::string(row.param.name); });
