// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CTarnwickApp.h"

#include "app/BatchMode.h"

#include "app/GpsSwitch.h"
#include "app/RouteFile.h"
#include "app/Version.h"
#include "db/FullText.h"
#include "db/TrackSchema.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "maps/MapConfig.h"
#include "online/VersionCheck.h"
#include "platform/KeepAwake.h"
#include "platform/Numbers.h"
#include "platform/Prompter.h"
#include "platform/Signals.h"
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
constexpr int kTextUnknownWord = 1110;
constexpr int kTextSendWord = 1275;
constexpr int kTextForcedExit = 1151;
constexpr int kTextFindWord = 1234;
constexpr int kTextNoFullText = 1230;
constexpr int kTextPictureWords = 1316;
constexpr int kTextPictureWord = 1321;
constexpr int kTextSheetWords = 1350;
constexpr int kTextSheetWord = 1352;

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
    CGlobalData& global = m_global;
    global.Log("----- Tarnwick START -----");
    global.writeVersion();
    global.LoadSettings(SettingsGroup::All);
    setForcedExitMessage(global.lang.textOr(
        kTextForcedExit, "the program did not end in time after the signal to end; it was stopped."));
    ui.showProgress(global.text(kTextStarting));

    // A signal to end stops start-up between its steps (a question or a
    // message box was open when it came); the shutdown then runs as usual.
    auto ending = [this] {
        if (terminationRequested())
            m_quit = true;
        return m_quit;
    };
    bootstrapDatabase();
    if (ending())
        return true;
    openCacheDatabase();
    openTrackDatabase();
    global.netClient.setDownloadsOn(global.settings.dnlOnline != 0);
    global.netClient.setDownloadRoot(global.paths.deviceFolder(global.settings.mapFolder));
    CheckVersion(global, true);

    m_commandLine.parse(args);
    runBatch(ui);
    ui.closeProgress();

    if (m_commandLine.isBatch()) {
        m_quit = true;
        return true;
    }

    maps::loadMapConfigs(global.GetInstallDir(), global.settings.language,
                         global.paths.deviceFolder(global.settings.mapFolder), global.mapSources);
    global.list.loadFilter();
    loadRoute(global, global.stateString("LastRoute"));
    global.list.LoadRecent();
    if (ending())
        return true;
    if (!ui.createMainWindow())
        return false;
    if (ending())
        return true;
    global.Log("Main window open");
    startGps();
    applyPowerOptions();
    return true;
}

void CTarnwickApp::bootstrapDatabase()
{
    CGlobalData& global = m_global;
    const fs::path dbFile = global.settings.dbFile;
    std::error_code ec;
    if (fs::exists(dbFile, ec) || !fs::exists(global.templatePath(), ec))
        return;
    const std::string question = global.text(kTextCreateDb1) + global.settings.dbFile + global.text(kTextCreateDb2);
    if (global.prompter.ask(question, true) && !copyTemplateDatabase(global.templatePath(), dbFile))
        global.prompter.message(
            text::fillIn(global.lang.textOr(kTextNotCreated, "The cache database could not be created at %s."),
                         {global.settings.dbFile}),
            MessageIcon::Exclamation);
}

void CTarnwickApp::openCacheDatabase()
{
    CGlobalData& global = m_global;
    std::error_code ec;
    if (!fs::exists(global.settings.dbFile, ec))
        return;
    if (global.db.cacheDb.OpenFile(global.settings.dbFile) != SQLITE_OK)
        return;
    if (fulltext::checkAtOpen(global.db.cacheDb) == fulltext::State::Unsupported)
        global.Log(global.lang.textOr(kTextNoFullText, "Full-text search is not available: the SQLite library of "
                                                       "this system has no FTS5."));
    global.db.ReadDbCounters();
    global.db.InitTagCategories();
    global.db.LoadDummyCache();
}

void CTarnwickApp::openTrackDatabase()
{
    CGlobalData& global = m_global;
    const fs::path path = global.trackDbPath();
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (global.db.trackDb.OpenFile(path.string()) != SQLITE_OK)
        return;
    // Creates or upgrades the tables and finds the current track.
    global.gpsServices.applyGpsSettings();
    global.gpsServices.trackLogger->openTrackLog();
}

void CTarnwickApp::runBatch(StartupUi& ui)
{
    CGlobalData& global = m_global;
    const CTarnwickCommandLine& cl = m_commandLine;
    auto say = [](const std::string& line) { std::fprintf(stderr, "tarnwick: %s\n", line.c_str()); };
    auto unavailable = [&](int number, const char* what) {
        say(text::fillIn(global.lang.textOr(kTextUnavailable, "%s is not available in this build; nothing was done."),
                         {global.lang.textOr(number, what)}));
    };
    auto run = [&](bool ok) {
        if (!ok)
            m_batchFailed = true;
    };
    // A mistyped word would otherwise be skipped, and the run said to be
    // done: nothing is done before every word is understood.
    if (cl.isBatch() && !cl.unknownWords.empty()) {
        for (const auto& word : cl.unknownWords)
            say(text::fillIn(global.lang.textOr(kTextUnknownWord,
                                                "unknown word: %s; nothing was done (tarnwick --help lists the words)"),
                             {word}));
        m_batchFailed = true;
        return;
    }

    if (cl.trackExport) {
        ui.showProgress(global.text(kTextTrackExport));
        // The words choose the formats for this run only.
        const Settings saved = global.settings;
        global.settings.trackGPX = cl.trackGpx;
        global.settings.trackKML = cl.trackKml;
        global.settings.trackPLT = cl.trackPlt;
        if (batch.exportAllTracks)
            run(batch.exportAllTracks(global));
        else
            unavailable(kTextTrackExportWord, "Track export");
        global.settings.trackGPX = saved.trackGPX;
        global.settings.trackKML = saved.trackKML;
        global.settings.trackPLT = saved.trackPLT;
    }
    if (cl.trackDelete) {
        if (batch.deleteAllTracks)
            run(batch.deleteAllTracks(global));
        else
            unavailable(kTextTrackDeleteWord, "Deleting tracks");
    }
    if (cl.fieldNotes) {
        ui.showProgress(global.text(kTextFieldNotes));
        if (batch.exportFieldNotes)
            run(batch.exportFieldNotes(global, std::time(nullptr) - kFieldNotesLookBackSeconds));
        else
            unavailable(kTextFieldNotesWord, "Field notes export");
    }
    if (cl.import) {
        ui.showProgress(global.text(kTextImport));
        std::error_code ec;
        if (cl.importFile.empty() || !fs::exists(cl.importFile, ec)) {
            say(text::fillIn(global.lang.textOr(kTextNoImportFile, "the file to import was not found: %s"),
                             {cl.importFile}));
            m_batchFailed = true;
        } else if (batch.importGpx) {
            run(batch.importGpx(global, cl.importFile));
        } else {
            unavailable(kTextImportWord, "GPX import");
        }
    }
    if (cl.exportGpx) {
        ui.showProgress(global.text(kTextExport));
        // The caches of the saved filter.
        global.list.loadFilter();
        if (cl.exportFile.empty()) {
            say(global.lang.textOr(kTextNoExportFile, "the word e needs the path of the file to write"));
            m_batchFailed = true;
        } else if (batch.exportGpx) {
            run(batch.exportGpx(global, cl.exportFile));
        } else {
            unavailable(kTextExportWord, "GPX export");
        }
    }
    if (cl.send) {
        // The caches of the saved filter.
        global.list.loadFilter();
        if (batch.sendToDevice)
            run(batch.sendToDevice(global, cl.sendFolder));
        else
            unavailable(kTextSendWord, "Sending caches to a GPS device");
    }
    if (cl.download || cl.nearest || cl.refresh)
        ui.showProgress(global.text(kTextOnline));
    if (cl.download) {
        if (cl.downloadCodes.empty()) {
            say(global.lang.textOr(kTextNoCodes, "the word dl needs at least one cache code"));
            m_batchFailed = true;
        } else if (batch.liveDownload) {
            run(batch.liveDownload(global, cl.downloadCodes));
        } else {
            unavailable(kTextDownloadWord, "Downloading caches");
        }
    }
    if (cl.nearest) {
        const auto lat = num::parseDouble(cl.nearLat);
        const auto lon = num::parseDouble(cl.nearLon);
        if (!lat || !lon || std::abs(*lat) > 90.0 || std::abs(*lon) > 180.0) {
            say(global.lang.textOr(kTextNoPosition, "the word near needs a latitude and a longitude in degrees, "
                                                    "for example: near 50.087 14.421"));
            m_batchFailed = true;
        } else if (batch.liveNearest) {
            run(batch.liveNearest(global, *lat, *lon));
        } else {
            unavailable(kTextNearestWord, "The search for the nearest caches");
        }
    }
    if (cl.refresh) {
        // The caches of the saved filter.
        global.list.loadFilter();
        if (batch.liveRefresh)
            run(batch.liveRefresh(global));
        else
            unavailable(kTextRefreshWord, "Refreshing caches");
    }
    if (cl.visits && batch.readVisits)
        run(batch.readVisits(global, cl.visitsPlace));
    if (cl.find) {
        if (batch.find)
            run(batch.find(global, cl.findQuery));
        else
            unavailable(kTextFindWord, "The text search");
    }
    if (cl.picture) {
        const auto request = readPictureRequest(cl.pictureArgs);
        if (!request) {
            say(global.lang.textOr(kTextPictureWords,
                                   "the word png needs a latitude, a longitude, a zoom, a size and a file, for "
                                   "example: png 50.087 14.421 15 800x600 map.png"));
            m_batchFailed = true;
        } else if (batch.mapPicture) {
            // The window reads the map sources once it opens; the picture
            // needs them now.
            if (global.mapSources.empty())
                maps::loadMapConfigs(global.GetInstallDir(), global.settings.language,
                                     global.paths.deviceFolder(global.settings.mapFolder), global.mapSources);
            run(batch.mapPicture(global, *request));
        } else {
            unavailable(kTextPictureWord, "The map picture");
        }
    }
    if (cl.sheets) {
        if (cl.sheetArgs.size() != 2 || cl.sheetArgs[0].empty() || cl.sheetArgs[1].empty()) {
            say(global.lang.textOr(kTextSheetWords, "the word pdf needs a cache code or all, and the file, for "
                                                    "example: pdf GC12345 sheet.pdf"));
            m_batchFailed = true;
        } else if (batch.cacheSheets) {
            run(batch.cacheSheets(global, cl.sheetArgs[0], cl.sheetArgs[1]));
        } else {
            unavailable(kTextSheetWord, "The cache sheet");
        }
    }
}

void CTarnwickApp::startGps()
{
    CGlobalData& global = m_global;
    if (global.settings.gpsBaud == 0 || global.settings.gpsAutoStart == 0)
        return;
    // On the switch's thread: opening a port (a name lookup, a connect)
    // may take seconds, and the window is shown meanwhile.
    global.gpsServices.gpsSwitch->switchOn(global.settings.gpsPortS, static_cast<unsigned>(global.settings.gpsBaud));
    if (const auto last = global.RestoreLastPosition())
        global.gpsServices.gps->setPosition(last->first, last->second);
}

void CTarnwickApp::applyPowerOptions()
{
    CGlobalData& global = m_global;
    releasePower();
    m_unattended = global.settings.runOnSuspend != 0;
    global.keepAwake.setUnattended(m_unattended);
    if (global.settings.suspendKiller != 0) {
        m_powerTaken = global.keepAwake.acquire();
        if (!m_powerTaken)
            std::fprintf(stderr, "tarnwick: %s\n",
                         global.lang.textOr(kTextAwakeRefused, "keeping the display on was refused").c_str());
    }
}

void CTarnwickApp::releasePower()
{
    if (m_powerTaken)
        m_global.keepAwake.release();
    m_powerTaken = false;
}

void CheckVersion(CGlobalData& global, bool interactive)
{
    constexpr int kTextNewVersion = 145;
    net::VersionCheckState state{global.settings.availVersion, global.settings.anVersion, global.versionChecked};
    const auto announce =
        net::checkVersion(global.netClient, net::updateEndpoint(), interactive, global.settings.dnlOnline != 0,
                          global.settings.nickname, global.settings.language, kProgramVersion, state);
    global.versionChecked = state.ran;
    global.settings.availVersion = state.availVersion;
    global.settings.anVersion = state.anVersion;
    // A failed request switches downloads off.
    global.settings.dnlOnline = global.netClient.downloadsOn() ? global.settings.dnlOnline : 0;
    if (announce)
        global.prompter.message(text::replaceAll(global.text(kTextNewVersion), "%s", *announce),
                                MessageIcon::Information);
    global.SaveSettings(SettingsGroup::General);
}

int CTarnwickApp::ExitInstance()
{
    noteShutdownStarted();
    CGlobalData& global = m_global;
    // A GPS on/off command still under way ends first.
    global.gpsServices.gpsSwitch->finish();
    // The receiver's reader ends before the track is flushed and before the
    // databases close.
    // A receiver that reports no satellites ("00") still gives real fixes.
    if (const GpsSnapshot fix = global.gpsServices.gps->snapshot(); fix.hasPosition())
        global.SaveLastPosition(fix.latitude, fix.longitude);
    global.gpsServices.gps->Stop();
    // The download worker writes into tile databases and the map folder.
    global.netClient.stopWorker();
    global.db.cacheDb.Close();
    global.db.trackDb.Close();
    if (m_unattended)
        global.keepAwake.setUnattended(false);
    m_unattended = false;
    releasePower();
    global.Log("----- Tarnwick EXIT -----");
    return m_batchFailed ? 1 : 0;
}

} // namespace tw
