// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CTarnwickApp.h"

#include "app/GpsSwitch.h"
#include "app/RouteFile.h"
#include "app/Version.h"
#include "db/TrackSchema.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "maps/MapConfig.h"
#include "online/VersionCheck.h"
#include "platform/KeepAwake.h"
#include "platform/Numbers.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tw {
namespace {

// Language entries of start-up.
constexpr int kTextStarting = 312;
constexpr int kTextFieldNotes = 313;
constexpr int kTextTrackExport = 314;
constexpr int kTextImport = 315;
constexpr int kTextExport = 266;
constexpr int kTextOnline = 830;
constexpr int kTextCreateDb1 = 297;
constexpr int kTextCreateDb2 = 298;
constexpr int kTextNotCreated = 957;
// The batch words' own messages on stderr.
constexpr int kTextUnavailable = 990;
constexpr int kTextTrackExportWord = 991;
constexpr int kTextTrackDeleteWord = 992;
constexpr int kTextFieldNotesWord = 993;
constexpr int kTextImportWord = 994;
constexpr int kTextExportWord = 995;
constexpr int kTextDownloadWord = 996;
constexpr int kTextNearestWord = 997;
constexpr int kTextRefreshWord = 998;
constexpr int kTextNoImportFile = 999;
constexpr int kTextNoExportFile = 1000;
constexpr int kTextNoCodes = 1001;
constexpr int kTextNoPosition = 1002;
constexpr int kTextAwakeRefused = 1003;

constexpr std::time_t kFieldNotesLookBackSeconds = 172800; // two days

bool renameNoReplace(const fs::path& from, const fs::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: a hard link fails on an
    // existing target just the same.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

} // namespace

bool copyTemplateDatabase(const fs::path& templ, const fs::path& target)
{
    std::error_code ec;
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    const fs::path temp = target.string() + ".part" + std::to_string(::getpid());
    fs::remove(temp, ec);
    if (!fs::copy_file(templ, temp, fs::copy_options::overwrite_existing, ec)) {
        fs::remove(temp, ec);
        return false;
    }
    if (!renameNoReplace(temp, target)) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

CTarnwickApp::CTarnwickApp(CGlobalData& global) : m_global(global)
{
    m_global.applyPowerOptions = [this] { applyPowerOptions(); };
}

CTarnwickApp::~CTarnwickApp()
{
    m_global.applyPowerOptions = nullptr;
}

bool CTarnwickApp::InitInstance(const std::vector<std::string>& args, StartupUi& ui)
{
    CGlobalData& g = m_global;
    g.Log("----- Tarnwick START -----");
    g.writeVersion();
    g.LoadSettings(SettingsGroup::All);
    ui.showProgress(g.text(kTextStarting));

    bootstrapDatabase();
    openCacheDatabase();
    openTrackDatabase();
    g.netClient.setDownloadsOn(g.settings.dnlOnline != 0);
    g.netClient.setDownloadRoot(g.paths.deviceFolder(g.settings.mapFolder));
    CheckVersion(g, true);

    m_commandLine.parse(args);
    runBatch(ui);
    ui.closeProgress();

    if (m_commandLine.isBatch()) {
        m_quit = true;
        return true;
    }

    maps::loadMapConfigs(g.GetInstallDir(), g.settings.language, g.paths.deviceFolder(g.settings.mapFolder),
                         g.mapSources);
    g.list.LoadFilter();
    loadRoute(g, g.stateString("LastRoute"));
    g.list.LoadRecent();
    if (!ui.createMainWindow())
        return false;
    g.Log("Main window open");
    startGps();
    applyPowerOptions();
    return true;
}

void CTarnwickApp::bootstrapDatabase()
{
    CGlobalData& g = m_global;
    const fs::path dbFile = g.settings.dbFile;
    std::error_code ec;
    if (fs::exists(dbFile, ec) || !fs::exists(g.templatePath(), ec))
        return;
    const std::string question = g.text(kTextCreateDb1) + g.settings.dbFile + g.text(kTextCreateDb2);
    if (g.prompter.ask(question, true) && !copyTemplateDatabase(g.templatePath(), dbFile))
        g.prompter.message(
            text::fillIn(g.lang.textOr(kTextNotCreated, "The cache database could not be created at %s."),
                         {g.settings.dbFile}),
            MessageIcon::Exclamation);
}

void CTarnwickApp::openCacheDatabase()
{
    CGlobalData& g = m_global;
    std::error_code ec;
    if (!fs::exists(g.settings.dbFile, ec))
        return;
    if (g.db.cacheDb.OpenFile(g.settings.dbFile) != SQLITE_OK)
        return;
    g.db.ReadDbCounters();
    g.db.InitTagCategories();
    g.db.LoadDummyCache();
}

void CTarnwickApp::openTrackDatabase()
{
    CGlobalData& g = m_global;
    const fs::path path = g.trackDbPath();
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (g.db.trackDb.OpenFile(path.string()) != SQLITE_OK)
        return;
    // Creates or upgrades the tables and finds the current track.
    g.gpsServices.applyGpsSettings();
    g.gpsServices.trackLogger->openTrackLog();
}

void CTarnwickApp::runBatch(StartupUi& ui)
{
    CGlobalData& g = m_global;
    const CTarnwickCommandLine& cl = m_commandLine;
    auto say = [](const std::string& line) { std::fprintf(stderr, "tarnwick: %s\n", line.c_str()); };
    auto unavailable = [&](int number, const char* what) {
        say(text::fillIn(g.lang.textOr(kTextUnavailable, "%s is not available in this build; nothing was done."),
                         {g.lang.textOr(number, what)}));
    };
    auto run = [&](bool ok) {
        if (!ok)
            m_batchFailed = true;
    };

    if (cl.trackExport) {
        ui.showProgress(g.text(kTextTrackExport));
        // The words choose the formats for this run only.
        const Settings saved = g.settings;
        g.settings.trackGPX = cl.trackGpx;
        g.settings.trackKML = cl.trackKml;
        g.settings.trackPLT = cl.trackPlt;
        if (batch.exportAllTracks)
            run(batch.exportAllTracks(g));
        else
            unavailable(kTextTrackExportWord, "Track export");
        g.settings.trackGPX = saved.trackGPX;
        g.settings.trackKML = saved.trackKML;
        g.settings.trackPLT = saved.trackPLT;
    }
    if (cl.trackDelete) {
        if (batch.deleteAllTracks)
            run(batch.deleteAllTracks(g));
        else
            unavailable(kTextTrackDeleteWord, "Deleting tracks");
    }
    if (cl.fieldNotes) {
        ui.showProgress(g.text(kTextFieldNotes));
        if (batch.exportFieldNotes)
            run(batch.exportFieldNotes(g, std::time(nullptr) - kFieldNotesLookBackSeconds));
        else
            unavailable(kTextFieldNotesWord, "Field notes export");
    }
    if (cl.import) {
        ui.showProgress(g.text(kTextImport));
        std::error_code ec;
        if (cl.importFile.empty() || !fs::exists(cl.importFile, ec)) {
            say(text::fillIn(g.lang.textOr(kTextNoImportFile, "the file to import was not found: %s"),
                             {cl.importFile}));
            m_batchFailed = true;
        } else if (batch.importGpx) {
            run(batch.importGpx(g, cl.importFile));
        } else {
            unavailable(kTextImportWord, "GPX import");
        }
    }
    if (cl.exportGpx) {
        ui.showProgress(g.text(kTextExport));
        // The caches of the saved filter.
        g.list.LoadFilter();
        if (cl.exportFile.empty()) {
            say(g.lang.textOr(kTextNoExportFile, "the word e needs the path of the file to write"));
            m_batchFailed = true;
        } else if (batch.exportGpx) {
            run(batch.exportGpx(g, cl.exportFile));
        } else {
            unavailable(kTextExportWord, "GPX export");
        }
    }
    if (cl.download || cl.nearest || cl.refresh)
        ui.showProgress(g.text(kTextOnline));
    if (cl.download) {
        if (cl.downloadCodes.empty()) {
            say(g.lang.textOr(kTextNoCodes, "the word dl needs at least one cache code"));
            m_batchFailed = true;
        } else if (batch.liveDownload) {
            run(batch.liveDownload(g, cl.downloadCodes));
        } else {
            unavailable(kTextDownloadWord, "Downloading caches");
        }
    }
    if (cl.nearest) {
        const auto lat = num::parseDouble(cl.nearLat);
        const auto lon = num::parseDouble(cl.nearLon);
        if (!lat || !lon || std::abs(*lat) > 90.0 || std::abs(*lon) > 180.0) {
            say(g.lang.textOr(kTextNoPosition, "the word near needs a latitude and a longitude in degrees, "
                                               "for example: near 50.087 14.421"));
            m_batchFailed = true;
        } else if (batch.liveNearest) {
            run(batch.liveNearest(g, *lat, *lon));
        } else {
            unavailable(kTextNearestWord, "The search for the nearest caches");
        }
    }
    if (cl.refresh) {
        // The caches of the saved filter.
        g.list.LoadFilter();
        if (batch.liveRefresh)
            run(batch.liveRefresh(g));
        else
            unavailable(kTextRefreshWord, "Refreshing caches");
    }
}

void CTarnwickApp::startGps()
{
    CGlobalData& g = m_global;
    if (g.settings.gpsBaud == 0 || g.settings.gpsAutoStart == 0)
        return;
    g.gpsServices.gps->Start(g.settings.gpsPortS, static_cast<unsigned>(g.settings.gpsBaud));
    if (const auto last = g.RestoreLastPosition())
        g.gpsServices.gps->setPosition(last->first, last->second);
}

void CTarnwickApp::applyPowerOptions()
{
    CGlobalData& g = m_global;
    releasePower();
    m_unattended = g.settings.runOnSuspend != 0;
    g.keepAwake.setUnattended(m_unattended);
    if (g.settings.suspendKiller != 0) {
        m_powerTaken = g.keepAwake.acquire();
        if (!m_powerTaken)
            std::fprintf(stderr, "tarnwick: %s\n",
                         g.lang.textOr(kTextAwakeRefused, "keeping the display on was refused").c_str());
    }
}

void CTarnwickApp::releasePower()
{
    if (m_powerTaken)
        m_global.keepAwake.release();
    m_powerTaken = false;
}

void CheckVersion(CGlobalData& g, bool interactive)
{
    constexpr int kTextNewVersion = 145;
    net::VersionCheckState state{g.settings.availVersion, g.settings.anVersion, g.versionChecked};
    const auto announce = net::checkVersion(g.netClient, net::updateEndpoint(), interactive,
                                            g.settings.dnlOnline != 0, g.settings.nickname, g.settings.language,
                                            kProgramVersion, state);
    g.versionChecked = state.ran;
    g.settings.availVersion = state.availVersion;
    g.settings.anVersion = state.anVersion;
    // A failed request switches downloads off.
    g.settings.dnlOnline = g.netClient.downloadsOn() ? g.settings.dnlOnline : 0;
    if (announce)
        g.prompter.message(text::replaceAll(g.text(kTextNewVersion), "%s", *announce), MessageIcon::Information);
    g.SaveSettings(SettingsGroup::General);
}

int CTarnwickApp::ExitInstance()
{
    CGlobalData& g = m_global;
    // A GPS on/off command still under way ends first.
    g.gpsServices.gpsSwitch->finish();
    // The receiver's reader ends before the track is flushed and before the
    // databases close.
    if (g.gpsServices.gps->satsUsed() > 0) {
        const GpsSnapshot fix = g.gpsServices.gps->snapshot();
        g.SaveLastPosition(fix.latitude, fix.longitude);
    }
    g.gpsServices.gps->Stop();
    // The download worker writes into tile databases and the map folder.
    g.netClient.stopWorker();
    g.db.cacheDb.Close();
    g.db.trackDb.Close();
    if (m_unattended)
        g.keepAwake.setUnattended(false);
    m_unattended = false;
    releasePower();
    g.Log("----- Tarnwick EXIT -----");
    return m_batchFailed ? 1 : 0;
}

} // namespace tw
