// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "tests/TestSupport.h"

#include <iterator>

#include <sys/stat.h>

namespace tw {
namespace {

using IniFileTest = test::TempDirTest;

TEST_F(IniFileTest, ValuesRoundTripThroughTheFile)
{
    const auto path = dir / "sub" / "Tarnwick.ini";
    {
        IniFile ini(path);
        ini.setInt("Options", "MaxRows", 500);
        ini.setInt("Options", "HomeLat", -14500000);
        ini.setString("Options", "Nickname", "Žluťoučký kůň");
        ini.setBinary("State", "LimitTimestamp", {0x01, 0xab, 0x00, 0xff});
        ASSERT_TRUE(ini.save());
    }
    IniFile again(path);
    EXPECT_EQ(again.getInt("Options", "MaxRows"), 500);
    EXPECT_EQ(again.getInt("Options", "HomeLat"), -14500000);
    EXPECT_EQ(again.getString("Options", "Nickname"), "Žluťoučký kůň");
    EXPECT_EQ(again.getBinary("State", "LimitTimestamp"), (std::vector<std::uint8_t>{0x01, 0xab, 0x00, 0xff}));
    EXPECT_FALSE(again.contains("Options", "Missing"));
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
}

TEST_F(IniFileTest, ValuesOfAnotherTypeReadAsMissing)
{
    test::writeFile(dir / "a.ini", "[Options]\nMaxRows=many\nBig=4294967295\nHuge=99999999999\nBin=xyz\n");
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.getInt("Options", "MaxRows"), std::nullopt);
    EXPECT_EQ(ini.getInt("Options", "Big"), -1); // a register value keeps its 32 bits
    EXPECT_EQ(ini.getInt("Options", "Huge"), std::nullopt);
    EXPECT_EQ(ini.getBinary("Options", "Bin"), std::nullopt);
}

TEST_F(IniFileTest, AnyTextSurvivesSaveAndLoadAndOlderFilesReadAsBefore)
{
    const std::vector<std::string> texts = {
        "Found it at [T], find no. [N].\n\n[L]\r\nThanks!",
        "  leading and trailing blanks  ",
        "\ttab first",
        "a = b; c # d [e]",
        "[Section]",
        "\"quoted\" by the user",
        "\"",
        "ends with a backslash\\",
        "C:\\dir\\new.db3",
        "Žluťoučký kůň úpěl ďábelské ódy",
        std::string("nul\0and\x01" "bell", 12),
        "",
        " ",
    };
    {
        IniFile ini(dir / "t.ini");
        for (std::size_t i = 0; i < texts.size(); ++i)
            ini.setString("Options", "V" + std::to_string(i), texts[i]);
        ini.setString("Options", "After", "still here");
        ASSERT_TRUE(ini.save());
    }
    IniFile again(dir / "t.ini");
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(again.getString("Options", "V" + std::to_string(i)), texts[i]) << "value " << i;
    EXPECT_EQ(again.getString("Options", "After"), "still here");

    // Written before values were quoted: read as they stand.
    test::writeFile(dir / "old.ini", "[Options]\nDbFile=/home/a b/\"x\\n.db3\nT=\"unfinished\\\"\n"
                                     "U=\"bad \\q escape\"\nV=\"two\" \"parts\"\n");
    IniFile old(dir / "old.ini");
    EXPECT_EQ(old.getString("Options", "DbFile"), "/home/a b/\"x\\n.db3");
    EXPECT_EQ(old.getString("Options", "T"), "\"unfinished\\\"");
    EXPECT_EQ(old.getString("Options", "U"), "\"bad \\q escape\"");
    EXPECT_EQ(old.getString("Options", "V"), "\"two\" \"parts\"");
}

TEST_F(IniFileTest, GarbageReadsAsEmptyAndSecretsAreNotWorldReadable)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    test::writeFile(dir / "g.ini", garbage);
    IniFile ini(dir / "g.ini");
    EXPECT_EQ(ini.getInt("Options", "MaxRows"), std::nullopt);

    IniFile secret(dir / "handover.ini", 0600);
    secret.setString("{key}", "twtk", "token");
    ASSERT_TRUE(secret.save());
    struct stat st{};
    ASSERT_EQ(::stat((dir / "handover.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// What a hostile folder puts in place of the file: none of it may hang the
// reader, fill the memory or be written through.
TEST_F(IniFileTest, OnlyARegularFileOfSensibleSizeIsRead)
{
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Row {
        const char* name;
        std::filesystem::path target;
    };
    const Row rows[] = {{"zero", "/dev/zero"}, {"urandom", "/dev/urandom"}, {"fifo", dir / "fifo"}, {"folder", dir}};
    for (const Row& r : rows) {
        const auto link = dir / (std::string(r.name) + ".ini");
        std::filesystem::create_symlink(r.target, link);
        IniFile ini(link, 0600, IniFile::Links::WriteThrough);
        EXPECT_FALSE(ini.contains("Options", "Nickname")) << r.name;
        // Saved, the file replaces the link instead of writing into the device.
        ini.setString("Options", "Nickname", "me");
        EXPECT_TRUE(ini.save()) << r.name;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(link))) << r.name;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));

    std::string big = "[Options]\nNickname = big\n";
    big.resize(kMaxSettingsFileBytes + 1, ';');
    test::writeFile(dir / "big.ini", big);
    EXPECT_FALSE(IniFile(dir / "big.ini").contains("Options", "Nickname"));
    big.resize(kMaxSettingsFileBytes);
    test::writeFile(dir / "big.ini", big);
    EXPECT_EQ(IniFile(dir / "big.ini").getString("Options", "Nickname"), "big");
}

TEST_F(IniFileTest, ASavedLinkKeepsPointingAtTheWrittenFile)
{
    std::filesystem::create_directories(dir / "kept");
    test::writeFile(dir / "kept" / "real.ini", "[Options]\nNickname = old\n");
    std::filesystem::create_symlink("kept/real.ini", dir / "Tarnwick.ini");
    std::filesystem::create_symlink(dir / "kept" / "real.ini", dir / "handover.ini");

    IniFile settings(dir / "Tarnwick.ini", 0600, IniFile::Links::WriteThrough);
    EXPECT_EQ(settings.getString("Options", "Nickname"), "old");
    settings.setString("Options", "Nickname", "new");
    ASSERT_TRUE(settings.save());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Tarnwick.ini"));
    EXPECT_EQ(IniFile(dir / "kept" / "real.ini").getString("Options", "Nickname"), "new");
    struct stat st{};
    ASSERT_EQ(::stat((dir / "kept" / "real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "kept"), {}), 1); // no temporary file left

    // A secret never goes where a link points.
    IniFile secret(dir / "handover.ini", 0600);
    secret.setString("{key}", "twtk", "token");
    ASSERT_TRUE(secret.save());
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "handover.ini"));
    EXPECT_EQ(IniFile(dir / "kept" / "real.ini").getString("{key}", "twtk"), std::nullopt);
}

} // namespace
} // namespace tw
