// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/CNetClient.h"
#include "online/HostPolicy.h"

#include <gmock/gmock.h>

#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/online/SimProcess.h"

#include <arpa/inet.h>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using namespace tw;
using namespace tw::net;
using ::testing::StartsWith;

namespace {

template <class Pred>
bool waitUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Every file below the folder, partial ones included.
std::vector<fs::path> filesBelow(const fs::path& dir)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            out.push_back(e.path());
    return out;
}

} // namespace

class DownloadQueueTest : public test::WithSuiteSim<test::TempDirTest> {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        if (!simError().empty())
            GTEST_SKIP() << simError();
        client.setConnectionProbe([] { return true; });
        client.setDownloadRoot(dir);
        client.setTimeouts(std::chrono::seconds(2), std::chrono::seconds(1));
    }
    std::string url(const std::string& path) const { return s_sim->baseUrl() + path; }
    bool finished() { return waitUntil([this] { return !client.running() && client.queued() == 0; }); }
    int rows(const fs::path& db)
    {
        maps::TileDatabase tiles(db);
        EXPECT_TRUE(tiles.open());
        int n = 0;
        for (int x = 0; x < 64; ++x)
            n += tiles.contains({x, 2, 14, {}}, false) ? 1 : 0;
        return n;
    }

    RecordingPrompter prompter;
    RecordingNotifier notifier;
    CNetClient client{prompter, notifier};
};

TEST_F(DownloadQueueTest, ATileAskedForTwiceIsQueuedOnce)
{
    // Downloads off: items wait in the queue.
    client.enqueueFile(url("/tiles/3/1/2.png"), dir / "a" / "2.<ext>", {});
    client.enqueueFile(url("/tiles/3/1/2.png"), dir / "a" / "2.<ext>", {});
    client.enqueueTile(url("/tiles/3/1/3.png"), {1, 3, 14, {}}, dir / "t.twmap", {});
    client.enqueueTile(url("/tiles/3/1/3.png"), {1, 3, 14, {}}, dir / "t.twmap", {});
    client.enqueueTile(url("/tiles/3/1/4.png"), {1, 4, 14, {}}, fs::path(), {});
    EXPECT_EQ(client.queued(), 2);
    EXPECT_FALSE(client.running());
    client.clearQueue();
    EXPECT_EQ(client.queued(), 0);
}

struct ExtCase {
    const char* name;
    const char* path;
    const char* file;
};

class StoredExtensions : public DownloadQueueTest, public ::testing::WithParamInterface<ExtCase> {};

TEST_P(StoredExtensions, FollowTheContentType)
{
    client.setDownloadsOn(true);
    client.enqueueFile(url(GetParam().path), dir / "street" / "3" / "1" / "2.<ext>", {}, maps::kMaxTileBytes);
    ASSERT_TRUE(finished());
    EXPECT_EQ(filesBelow(dir), std::vector<fs::path>{dir / "street" / "3" / "1" / GetParam().file});
    EXPECT_EQ(notifier.progress(), std::vector<int>{0});
    EXPECT_TRUE(prompter.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Types, StoredExtensions,
                         ::testing::Values(ExtCase{"Png", "/tiles/3/1/2.png", "2.png"},
                                           ExtCase{"Jpeg", "/tiles/3/1/2.jpg", "2.jpeg"},
                                           ExtCase{"AfterARedirect", "/redirect/tiles/3/1/2.png", "2.png"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(DownloadQueueTest, DatabaseTilesGoInWithTheirKey)
{
    client.setDownloadsOn(true);
    client.enqueueTile(url("/tiles/3/1/2.png"), {1, 2, 14, {}}, dir / "street.twmap", {});
    client.enqueueTile(url("/mapy/base_n/13-c7e0000-2a60000"), {0x0C7E0000, 0x02A60000, 4, "base_n"},
                       dir / "mapy_cz.twmap", {});
    ASSERT_TRUE(finished());
    maps::TileDatabase street(dir / "street.twmap");
    ASSERT_TRUE(street.open());
    const auto png = street.read({1, 2, 14, {}}, true);
    ASSERT_TRUE(png);
    EXPECT_EQ(std::string(png->begin(), png->begin() + 4), "\x89PNG");
    maps::TileDatabase mapy(dir / "mapy_cz.twmap");
    ASSERT_TRUE(mapy.open());
    EXPECT_TRUE(mapy.read({0x0C7E0000, 0x02A60000, 4, "base_n"}, true));
    EXPECT_FALSE(mapy.read({0x0C7E0000, 0x02A60000, 4, "turist"}, true));
}

// Each failure leaves neither a file nor a row; the worker goes on after a
// refused body and stops after a broken transfer.
struct DownloadFailureCase {
    const char* name;
    const char* mode;
    bool workerGoesOn;
};

class DownloadFailures : public DownloadQueueTest, public ::testing::WithParamInterface<DownloadFailureCase> {};

TEST_P(DownloadFailures, LeaveNothingBehind)
{
    const DownloadFailureCase& c = GetParam();
    client.setDownloadsOn(true);
    const std::string bad = std::string("/") + c.mode + "/tiles/3/1/2.png?delay=20";
    // Held back until both are queued, so the good tile really comes second.
    client.setDownloadsOn(false);
    client.enqueueFile(url(bad), dir / "file" / "2.<ext>", {}, maps::kMaxTileBytes);
    client.enqueueTile(url(bad), {1, 2, 14, {}}, dir / "db.twmap", {});
    client.enqueueFile(url("/tiles/3/1/3.png"), dir / "good" / "3.<ext>", {}, maps::kMaxTileBytes);
    client.setDownloadsOn(true);
    client.startWorker();
    ASSERT_TRUE(finished());

    EXPECT_FALSE(fs::exists(dir / "file"));
    if (fs::exists(dir / "db.twmap")) {
        EXPECT_EQ(rows(dir / "db.twmap"), 0);
    }
    if (c.workerGoesOn) {
        EXPECT_TRUE(fs::exists(dir / "good" / "3.png"));
        EXPECT_TRUE(prompter.messages().empty());
        EXPECT_TRUE(client.downloadsOn());
    } else {
        EXPECT_FALSE(fs::exists(dir / "good"));
        ASSERT_EQ(prompter.messages().size(), 1u);
        EXPECT_THAT(prompter.messages()[0].text, StartsWith("Internet error: "));
        EXPECT_FALSE(client.downloadsOn());
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, DownloadFailures,
                         ::testing::Values(DownloadFailureCase{"ErrorPage", "text", true},
                                           DownloadFailureCase{"UnknownImageType", "badtype", true},
                                           DownloadFailureCase{"EndlessBody", "huge", true},
                                           DownloadFailureCase{"BodyCutShort", "short", false},
                                           DownloadFailureCase{"StalledReply", "slow", false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(DownloadQueueTest, NothingIsWrittenOutsideTheMapFolder)
{
    client.setDownloadsOn(true);
    const fs::path outside = dir.parent_path() / (dir.filename().string() + "-outside");
    client.enqueueFile(url("/tiles/3/1/2.png"), dir / ".." / (dir.filename().string() + "-outside") / "2.<ext>", {});
    ASSERT_TRUE(finished());
    EXPECT_FALSE(fs::exists(outside));
}

TEST_F(DownloadQueueTest, ListingImagesComeOnlyFromPublicAddressesUnlessAllowed)
{
    client.setDownloadsOn(true);
    client.setPrivateHostsAllowed(false);
    const fs::path image = dir / "offline" / "inc" / "B" / "GC12AB-view.png";
    client.enqueueListingImage("javascript:alert(1)", image);
    client.enqueueListingImage("file:///etc/passwd", image);
    EXPECT_EQ(client.queued(), 0);
    client.enqueueListingImage(url("/img/view.png"), image);
    client.enqueueListingImage(url("/redirect/tiles/3/1/2.png"), dir / "offline" / "inc" / "B" / "GC12AB-2.png");
    // A tile is the user's own choice of server and still comes.
    client.enqueueFile(url("/tiles/3/1/3.png"), dir / "t" / "3.<ext>", {});
    ASSERT_TRUE(finished());
    EXPECT_EQ(filesBelow(dir), std::vector<fs::path>{dir / "t" / "3.png"});
    for (const std::string& request : s_sim->requests())
        EXPECT_EQ(request.find("/img/"), std::string::npos) << request;
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_TRUE(client.downloadsOn());

    client.setPrivateHostsAllowed(true);
    client.enqueueListingImage(url("/img/view.png"), image);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(fs::exists(image));
}

TEST(HostPolicy, OnlyAddressesOnThePublicInternetArePublic)
{
    const auto judge = [](const char* text) {
        sockaddr_in6 v6{};
        sockaddr_in v4{};
        if (inet_pton(AF_INET, text, &v4.sin_addr) == 1) {
            v4.sin_family = AF_INET;
            return isPublicAddress(reinterpret_cast<const sockaddr*>(&v4));
        }
        EXPECT_EQ(inet_pton(AF_INET6, text, &v6.sin6_addr), 1) << text;
        v6.sin6_family = AF_INET6;
        return isPublicAddress(reinterpret_cast<const sockaddr*>(&v6));
    };
    for (const char* open : {"93.184.216.34", "8.8.8.8", "172.32.0.1", "100.128.0.1", "2a00:1450:4001:80b::200e"})
        EXPECT_TRUE(judge(open)) << open;
    for (const char* closed : {"127.0.0.1", "127.8.9.10", "10.1.2.3", "172.16.0.1", "172.31.255.255", "192.168.1.1",
                               "169.254.169.254", "100.64.0.1", "0.0.0.0", "224.0.0.1", "255.255.255.255", "::1", "::",
                               "fe80::1", "fc00::1", "fd12:3456::1", "::ffff:127.0.0.1", "::ffff:192.168.0.1", "ff02::1"})
        EXPECT_FALSE(judge(closed)) << closed;
    EXPECT_FALSE(isPublicAddress(nullptr));
}

TEST_F(DownloadQueueTest, StopEndsATransferAtOnceAndEmptiesTheQueue)
{
    client.setDownloadsOn(true);
    client.setTimeouts(std::chrono::seconds(2), std::chrono::seconds(30));
    client.enqueueFile(url("/slow/tiles/3/1/2.png?delay=20"), dir / "a" / "2.<ext>", {});
    client.enqueueFile(url("/tiles/3/1/3.png"), dir / "a" / "3.<ext>", {});
    ASSERT_TRUE(waitUntil([this] { return client.queued() == 1; }));
    const auto started = std::chrono::steady_clock::now();
    client.stopWorker();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_FALSE(client.running());
    EXPECT_EQ(client.queued(), 0);
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_TRUE(prompter.messages().empty());
    // The client starts again for the next request.
    client.enqueueFile(url("/tiles/3/1/3.png"), dir / "a" / "3.<ext>", {});
    ASSERT_TRUE(finished());
    EXPECT_TRUE(fs::exists(dir / "a" / "3.png"));
}

TEST_F(DownloadQueueTest, NoWriteIsLostWhileTheWindowThreadDeletes)
{
    const fs::path db = dir / "street.twmap";
    maps::TileDatabase window(db);
    ASSERT_TRUE(window.open());
    client.setDownloadsOn(true);
    for (int x = 0; x < 40; ++x)
        client.enqueueTile(url("/tiles/14/" + std::to_string(x) + "/2.png"), {x, 2, 14, {}}, db, {});
    // Meanwhile the window thread deletes tiles of another row through its
    // own connection, each in a transaction.
    int deletes = 0;
    while (client.running() || client.queued() > 0) {
        window.write({deletes % 64, 9, 14, {}}, "x", 1);
        window.remove(deletes % 64, 9, 14);
        ++deletes;
    }
    ASSERT_TRUE(finished());
    EXPECT_GT(deletes, 0);
    EXPECT_EQ(rows(db), 40);
}
