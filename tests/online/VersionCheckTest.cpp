// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/CNetClient.h"
#include "online/VersionCheck.h"

#include <gmock/gmock.h>

#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/online/SimProcess.h"

using namespace tw;
using namespace tw::net;

struct NewerCase {
    const char* name;
    const char* available;
    bool announced;
};

class VersionComparison : public ::testing::TestWithParam<NewerCase> {};

TEST_P(VersionComparison, AgainstTheProgramVersion)
{
    EXPECT_EQ(isAnnouncedAsNewer(GetParam().available, "1.6.0.95"), GetParam().announced);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionComparison,
                         ::testing::Values(NewerCase{"NextMinor", "1.7.0.0", true},
                                           NewerCase{"NextBuild", "1.6.0.96", true},
                                           NewerCase{"Same", "1.6.0.95", false},
                                           NewerCase{"Older", "1.5.0.0", false},
                                           NewerCase{"ThreeNumbers", "1.7.0", false},
                                           NewerCase{"Empty", "", false},
                                           NewerCase{"ErrorPage", "<html>1.7.0.0</html>", false},
                                           NewerCase{"TrailingText", "1.7.0.0 beta", true}),
                         [](const auto& row) { return std::string(row.param.name); });

class VersionCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!sim.start({"--version-reply", "1.7.0.0\n"}))
            GTEST_SKIP() << sim.error();
        client.setConnectionProbe([] { return true; });
    }
    std::optional<std::string> run(bool interactive, bool downloadsOn)
    {
        return checkVersion(client, sim.baseUrl() + "/twinfo.php", interactive, downloadsOn, "Jan & Eva", "cs",
                            "1.6.0.95", state);
    }

    test::SimProcess sim;
    RecordingPrompter prompter;
    RecordingNotifier notifier;
    CNetClient client{prompter, notifier};
    VersionCheckState state;
};

TEST_F(VersionCheckTest, ANewVersionIsAnnouncedOnce)
{
    EXPECT_EQ(run(true, true), "1.7.0.0");
    EXPECT_EQ(state.availVersion, "1.7.0.0");
    EXPECT_EQ(state.anVersion, "1.7.0.0");
    // The next start with the same answer announces nothing.
    EXPECT_EQ(run(true, true), std::nullopt);
    EXPECT_EQ(sim.requests(), (std::vector<std::string>{"POST /twinfo.php", "POST /twinfo.php"}));
}

TEST_F(VersionCheckTest, AskingFollowsDownloadsAndRunsOncePerRunOtherwise)
{
    EXPECT_EQ(run(true, false), std::nullopt);
    EXPECT_TRUE(sim.requests().empty());
    EXPECT_EQ(run(false, false), std::nullopt);
    EXPECT_EQ(run(false, false), std::nullopt);
    EXPECT_EQ(sim.requests().size(), 1u);
    // Asked without announcing: the interactive check at the next start shows it.
    EXPECT_EQ(state.availVersion, "1.7.0.0");
    EXPECT_EQ(state.anVersion, "");
    EXPECT_EQ(run(true, false), "1.7.0.0");
}

TEST_F(VersionCheckTest, TheFormEscapesItsValues)
{
    // The echo endpoint answers with the request; its body ends the answer.
    checkVersion(client, sim.baseUrl() + "/echo", true, true, "Jan & Eva", "cs", "1.6.0.95", state);
    EXPECT_THAT(state.availVersion, ::testing::EndsWith("\n\nnick=Jan%20%26%20Eva&ver=1.6.0.95&lang=cs"));
    EXPECT_THAT(state.availVersion, ::testing::HasSubstr("Content-Type: application/x-www-form-urlencoded"));
}

TEST_F(VersionCheckTest, NoConnectionMeansNoRequest)
{
    client.setConnectionProbe([] { return false; });
    EXPECT_EQ(run(true, true), std::nullopt);
    EXPECT_FALSE(state.ran);
    EXPECT_TRUE(sim.requests().empty());
}
