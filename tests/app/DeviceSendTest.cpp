// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"
#include "app/CTarnwickApp.h"
#include "app/DeviceSend.h"
#include "platform/IniFile.h"
#include "platform/RecordingJobProgress.h"
#include "tests/app/AppFixture.h"
#include "tests/app/FakeDevice.h"
#include "tests/app/SmallDisk.h"

#include <algorithm>
#include <cstdlib>
#include <csignal>
#include <random>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tw {
namespace {

class DeviceSendTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        if (HasFatalFailure())
            return;
        global->LoadSettings(SettingsGroup::All);
        global->lang.loadTable(test::runtimeDir(), "en");
    }

    gpsdevice::Device device(const fs::path& volume)
    {
        test::makeFakeDevice(volume);
        test::writeFile(volume / "Garmin" / "GPX" / "Current.gpx", "the unit's own file");
        return *gpsdevice::DeviceAt(volume.string());
    }

    fs::path sent(const gpsdevice::Device& d) const { return fs::path(gpsdevice::gpxFolder(d)) / kDeviceGpxName; }

    // Files in the unit's GPX folder.
    static std::set<std::string> files(const gpsdevice::Device& d)
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(gpsdevice::gpxFolder(d)))
            names.insert(e.path().filename().string());
        return names;
    }

    static int run(const std::string& command) { return std::system(command.c_str()); }
};

TEST_F(DeviceSendTest, TheFileIsValidGpxThatOtherReadersCount)
{
    test::fillCacheDb(*global, 12, 8);
    global->settings.sendLogs = 5;
    const auto unit = device(dir / "GARMIN");
    RecordingJobProgress progress;
    const SendSummary s = sendToDevice(*global, unit, &progress, nullptr);
    ASSERT_TRUE(s.written) << s.message;
    EXPECT_EQ(s.caches, 12);
    EXPECT_EQ(s.waypoints, 12);
    EXPECT_EQ(s.bytes, fs::file_size(sent(unit)));
    EXPECT_EQ(s.message, "12 caches, 12 waypoints, " + megabytesText(s.bytes) + " sent to " + sent(unit).string() + ".");
    EXPECT_EQ(progress.completion(), s.message);

    const std::string gpx = test::readFile(sent(unit));
    // The newest five logs of each cache, its HTML listing kept as HTML.
    std::size_t logs = 0;
    for (std::size_t at = gpx.find("<groundspeak:log "); at != std::string::npos; at = gpx.find("<groundspeak:log ", at + 1))
        ++logs;
    EXPECT_EQ(logs, 12u * 5u);
    EXPECT_NE(gpx.find("<groundspeak:long_description html=\"True\">"), std::string::npos);
    EXPECT_NE(gpx.find("<![CDATA[<p>The <b>listing</b> of cache 3</p>]]>"), std::string::npos);
    EXPECT_NE(gpx.find("<name>GC1003</name>"), std::string::npos);
    EXPECT_NE(gpx.find("<name>PK1003</name>"), std::string::npos);

    TW_REQUIRE_CORPUS();
    TW_REQUIRE_PROGRAM("xmllint");
    TW_REQUIRE_PROGRAM("gpsbabel");
    const auto schemas = test::corpusDir() / "schemas";
    test::writeFile(dir / "both.xsd",
                    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
                    "<xs:import namespace=\"http://www.topografix.com/GPX/1/0\" schemaLocation=\"" +
                        (schemas / "gpx10.xsd").string() +
                        "\"/><xs:import namespace=\"http://www.groundspeak.com/cache/1/0/1\" schemaLocation=\"" +
                        (schemas / "cache101.xsd").string() + "\"/></xs:schema>");
    EXPECT_EQ(run("xmllint --noout --schema " + (dir / "both.xsd").string() + " " + sent(unit).string() + " 2>" +
                  (dir / "xmllint.txt").string()),
              0)
        << test::readFile(dir / "xmllint.txt");
    const auto csv = dir / "babel.csv";
    ASSERT_EQ(run("gpsbabel -i gpx -f " + sent(unit).string() + " -o unicsv -F " + csv.string() + " 2>/dev/null"), 0);
    const std::string rows = test::readFile(csv);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 1 + 12 + 12) << rows; // a header, caches, waypoints
}

TEST_F(DeviceSendTest, ASecondSendReplacesOurFileAndLeavesTheUnitsOwn)
{
    test::fillCacheDb(*global, 3, 1);
    const auto unit = device(dir / "GARMIN");
    test::writeFile(sent(unit), "an earlier send");
    ASSERT_TRUE(sendToDevice(*global, unit, nullptr, nullptr).written);
    const std::string first = test::readFile(sent(unit));
    EXPECT_NE(first.find("<name>GC1002</name>"), std::string::npos);

    EXPECT_NE(first.find("log 0 of GC1002"), std::string::npos);
    global->settings.sendLogs = 0;
    const SendSummary second = sendToDevice(*global, unit, nullptr, nullptr);
    ASSERT_TRUE(second.written) << second.message;
    EXPECT_EQ(second.caches, 3);
    EXPECT_EQ(test::readFile(sent(unit)).find("log 0 of GC1002"), std::string::npos);
    EXPECT_EQ(files(unit), (std::set<std::string>{"Current.gpx", kDeviceGpxName}));
    EXPECT_EQ(test::readFile(fs::path(gpsdevice::gpxFolder(unit)) / "Current.gpx"), "the unit's own file");
    EXPECT_TRUE(fs::exists(fs::path(unit.root) / "Garmin" / "GarminDevice.xml"));
}

TEST_F(DeviceSendTest, ACancelledSendKeepsTheOldFile)
{
    test::fillCacheDb(*global, 3, 1);
    const auto unit = device(dir / "GARMIN");
    test::writeFile(sent(unit), "an earlier send");
    const std::atomic<bool> cancel{true};
    const SendSummary s = sendToDevice(*global, unit, nullptr, &cancel);
    EXPECT_FALSE(s.written);
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(s.message, "The send was cancelled; the file on the device is unchanged.");
    global->lang.loadTable(test::runtimeDir(), "cs");
    EXPECT_EQ(sendToDevice(*global, unit, nullptr, &cancel).message,
              "Odesílání bylo zrušeno; soubor v zařízení zůstal beze změny.");
    EXPECT_EQ(test::readFile(sent(unit)), "an earlier send");
    EXPECT_EQ(files(unit), (std::set<std::string>{"Current.gpx", kDeviceGpxName}));
}

TEST_F(DeviceSendTest, AFullDeviceKeepsTheOldFileAndSaysSo)
{
    test::SmallDisk disk;
    if (const std::string why = disk.mount(dir / "disk", 2 << 20); !why.empty())
        GTEST_SKIP() << why;
    const auto unit = device(dir / "disk");
    test::writeFile(sent(unit), "an earlier send");

    // Refused before writing: the estimate does not fit.
    test::fillCacheDb(*global, 2000, 5);
    SendSummary s = sendToDevice(*global, unit, nullptr, nullptr);
    EXPECT_FALSE(s.written);
    EXPECT_TRUE(s.full);
    EXPECT_NE(s.message.find("The device has no room for " + sent(unit).string()), std::string::npos) << s.message;
    EXPECT_EQ(test::readFile(sent(unit)), "an earlier send");
    EXPECT_EQ(files(unit), (std::set<std::string>{"Current.gpx", kDeviceGpxName}));

    // The estimate fits, the file does not: the write itself runs out of room.
    global->db.cacheDb.Close();
    test::fillCacheDb(*global, 300, 40);
    ASSERT_LT(300 * kSendBytesPerCache, 2u << 20);
    global->settings.sendLogs = 40;
    s = sendToDevice(*global, unit, nullptr, nullptr);
    EXPECT_FALSE(s.written);
    EXPECT_TRUE(s.full) << s.message;
    EXPECT_EQ(test::readFile(sent(unit)), "an earlier send");
    EXPECT_EQ(files(unit), (std::set<std::string>{"Current.gpx", kDeviceGpxName}));

    global->settings.sendLogs = 1;
    s = sendToDevice(*global, unit, nullptr, nullptr);
    EXPECT_TRUE(s.written) << s.message;
}

TEST_F(DeviceSendTest, AKilledSendLeavesTheOldFileOrTheWholeNewOne)
{
    test::fillCacheDb(*global, 400, 5);
    const auto unit = device(dir / "GARMIN");
    test::writeFile(sent(unit), "an earlier send");
    std::mt19937 random(20261208);
    int whole = 0;
    for (int run = 0; run < 12; ++run) {
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            for (;;)
                sendToDevice(*global, unit, nullptr, nullptr);
        }
        ::usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(5000, 150000)(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const std::string now = test::readFile(sent(unit));
        if (now != "an earlier send") {
            ASSERT_TRUE(now.ends_with("</gpx>\n")) << "run " << run;
            EXPECT_NE(now.find("<name>GC1399</name>"), std::string::npos) << "run " << run;
            ++whole;
        }
    }
    // The next send clears what the killed ones left behind.
    ASSERT_TRUE(sendToDevice(*global, unit, nullptr, nullptr).written);
    EXPECT_EQ(files(unit), (std::set<std::string>{"Current.gpx", kDeviceGpxName}));
    RecordProperty("whole new files", whole);
}

TEST_F(DeviceSendTest, TheUnitFolderAndTheLogCountAreSettingsOfTheirOwn)
{
    EXPECT_EQ(global->settings.sendLogs, 5);
    EXPECT_EQ(global->settings.gpsDeviceFolder, "");
    global->settings.gpsDeviceFolder = "/media/anna/GARMIN";
    global->settings.sendLogs = 0;
    global->SaveSettings(SettingsGroup::All);
    IniFile ini(global->settingsPath());
    EXPECT_EQ(ini.getString("Options", "GpsDeviceFolder").value_or(""), "/media/anna/GARMIN");
    EXPECT_EQ(ini.getInt("Options", "SendLogs").value_or(-1), 0);
    restart();
    global->LoadSettings(SettingsGroup::All);
    EXPECT_EQ(global->settings.gpsDeviceFolder, "/media/anna/GARMIN");
    EXPECT_EQ(global->settings.sendLogs, 0);
}

TEST_F(DeviceSendTest, TheBatchWordSendsToTheFolderGiven)
{
    test::fillCacheDb(*global, 4, 2);
    global->db.cacheDb.Close();
    const auto unit = device(dir / "GARMIN");
    struct NoWindow final : StartupUi {
        void showProgress(const std::string&) override {}
        void closeProgress() override {}
        bool createMainWindow() override { return true; }
    } ui;
    {
        // The program object goes before the global data it points to.
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        ASSERT_TRUE(app.InitInstance({"send", (dir / "GARMIN" / "Garmin").string()}, ui));
        EXPECT_EQ(app.ExitInstance(), 0);
    }
    EXPECT_NE(test::readFile(sent(unit)).find("<name>GC1003</name>"), std::string::npos);

    restart();
    CTarnwickApp nowhere(*global);
    nowhere.batch = defaultBatchActions();
    ASSERT_TRUE(nowhere.InitInstance({"send", (dir / "absent").string()}, ui));
    EXPECT_NE(nowhere.ExitInstance(), 0);
}

} // namespace
} // namespace tw
