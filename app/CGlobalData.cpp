// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"

#include "app/Version.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "online/CGcLiveClient.h"


namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr const char* kState = "State";

} // namespace

double scaleFactorFor(int width, int height)
{
    const int s = width < height ? width : height;
    if (s > 400)
        return 2.0;
    if (s > 300)
        return 1.33;
    return 1.0;
}

CGlobalData::CGlobalData(Paths p, Services services, int screenWidth, int screenHeight)
    : paths(std::move(p)), prompter(services.prompter), notifier(services.notifier),
      keepAwake(services.keepAwake), m_settingsFile(settingsPath(), handoverPath(), settings), m_log(logPath()),
      db(prompter, notifier, settings, m_settingsFile, lang, templatePath()),
      gpsServices(db.trackDb, prompter, notifier, settings, lang, m_log),
      list(db.cacheDb, settings, m_settingsFile, reference, notifier, paths, m_log), reference(list.filter, settings)
{
    scaleFactor = scaleFactorFor(screenWidth, screenHeight);
    settings.dbFile = (paths.data / "cachedb.db3").string();
    settings.trackFile = paths.documents.string();
    settings.alertSound = (paths.install / "sounds" / "alarm.wav").string();
    reference.livePosition = gpsServices.gps.get();
    // Another database brings its recent caches, and the track log opens
    // again beside it.
    db.onSwitched = [this] {
        list.LoadRecent();
        if (gpsServices.trackLogger && db.trackDb.opened())
            gpsServices.trackLogger->openTrackLog();
    };
}

CGlobalData::~CGlobalData() = default;

fs::path CGlobalData::trackDbPath() const
{
    return paths.deviceFolder(settings.mapFolder) / "$tarnwick.db3";
}

void CGlobalData::Log(const std::string& text1, const std::string& text2) const
{
    m_log.write(text1, text2);
}

void CGlobalData::LoadSettings(int mask)
{
    m_settingsFile.load(mask);
    // A database named without a folder lives in the data folder, where the
    // default one does, not in whatever folder the program was started from.
    if (const fs::path named(settings.dbFile); !named.empty() && named.is_relative())
        settings.dbFile = (paths.data / named).lexically_normal().string();
    lang.loadTable(GetInstallDir(), settings.language);
    shareLanguageTexts();
}

void CGlobalData::shareLanguageTexts()
{
    // The layers below the program show a few messages of their own; an
    // absent entry keeps their built-in text.
    auto pick = [this](int number, std::string& into) {
        if (std::string shown = text(number); !shown.empty())
            into = std::move(shown);
    };
    constexpr int kTextNoDatabase = 951;
    constexpr int kTextSqliteError = 958;
    constexpr int kTextNet = 959; // 959 to 963
    SQLite::Database::Messages database;
    pick(kTextNoDatabase, database.noDatabase);
    pick(kTextSqliteError, database.error);
    db.cacheDb.setMessages(database);
    db.trackDb.setMessages(database);
    net::CNetClient::Messages network;
    pick(kTextNet, network.openUrl);
    pick(kTextNet + 1, network.fileOpen);
    pick(kTextNet + 2, network.internetError);
    pick(kTextNet + 3, network.tooLarge);
    pick(kTextNet + 4, network.interrupted);
    constexpr int kTextHttpError = 854;
    pick(kTextHttpError, network.httpError);
    pick(kTextHttpError + 1, network.redirected);
    netClient.setMessages(std::move(network));
}

void CGlobalData::SaveSettings(int mask)
{
    m_settingsFile.save(mask);
}

void CGlobalData::writeVersion()
{
    IniFile& ini = m_settingsFile.reloaded();
    ini.setString("CurrentVersion", "Version", kProgramVersion);
    ini.save();
}

std::string CGlobalData::stateString(const std::string& name)
{
    return m_settingsFile.reloaded().getString(kState, name).value_or("");
}

void CGlobalData::setStateString(const std::string& name, const std::string& value)
{
    IniFile& ini = m_settingsFile.reloaded();
    ini.setString(kState, name, value);
    ini.save();
}

void CGlobalData::SaveLastPosition(double lat, double lon)
{
    IniFile& ini = m_settingsFile.reloaded();
    ini.setInt(kState, "LastLat", degreesToMicro(lat));
    ini.setInt(kState, "LastLon", degreesToMicro(lon));
    ini.save();
}

std::optional<std::pair<double, double>> CGlobalData::RestoreLastPosition()
{
    const IniFile& ini = m_settingsFile.reloaded();
    const double lat = microToDegrees(ini.getInt(kState, "LastLat").value_or(0));
    const double lon = microToDegrees(ini.getInt(kState, "LastLon").value_or(0));
    if (lat == 0.0 && lon == 0.0)
        return std::nullopt;
    return std::make_pair(lat, lon);
}

} // namespace tw
