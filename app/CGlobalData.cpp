// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"

#include "app/Version.h"
#include "gps/GpsReceiver.h"
#include "online/CGcLiveClient.h"
#include "platform/Clock.h"

#include <array>
#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr const char* kOptions = "Options";
constexpr const char* kState = "State";

struct IntValue {
    int group;
    const char* name;
    int Settings::*member;
};

struct StringValue {
    int group;
    const char* name;
    std::string Settings::*member;
};

using G = Settings;
namespace SG = SettingsGroup;

// Plain values of the section "Options"; the few with a rule of their own
// are handled beside the tables.
constexpr std::array kIntValues{
    IntValue{SG::General, "MaxRows", &G::maxRows},
    IntValue{SG::General, "ShowStatus", &G::showStatus},
    IntValue{SG::General, "UseRadar", &G::useRadar},
    IntValue{SG::General, "SuspendKiller", &G::suspendKiller},
    IntValue{SG::General, "RunOnSuspend", &G::runOnSuspend},
    IntValue{SG::General, "FingerFriendlyEdit", &G::fingerFriendlyEdit},
    IntValue{SG::General, "CoordStyle", &G::coordStyle},
    IntValue{SG::General, "SrchResRefresh", &G::srchResRefresh},
    IntValue{SG::General, "NorthUp", &G::northUp},
    IntValue{SG::General, "DnlOnline", &G::dnlOnline},
    IntValue{SG::General, "MaxTrackBuffer", &G::maxTrackBuffer},
    IntValue{SG::General, "MaxImpCaches", &G::maxImpCaches},
    IntValue{SG::General, "ImpOnlyNew", &G::impOnlyNew},
    IntValue{SG::General, "ImpNotFound", &G::impNotFound},
    IntValue{SG::General, "IsLite", &G::isLite},
    IntValue{SG::General, "FoundCount", &G::foundCount},
    IntValue{SG::User, "MetricUnits", &G::metricUnits},
    IntValue{SG::User, "CacheDetail", &G::cacheDetail},
    IntValue{SG::Gps, "GpsBaud", &G::gpsBaud},
    IntValue{SG::Gps, "GpsAutoStart", &G::gpsAutoStart},
    IntValue{SG::Gps, "SaveTrackLog", &G::saveTrackLog},
    IntValue{SG::Map, "MapSource", &G::mapSource},
    IntValue{SG::Map, "MapType", &G::mapType},
    IntValue{SG::Map, "MapType1", &G::mapType1},
    IntValue{SG::Map, "MapType2", &G::mapType2},
    IntValue{SG::Map, "MapType3", &G::mapType3},
    IntValue{SG::Map, "MovingMap", &G::movingMap},
    IntValue{SG::Map, "Scale", &G::scale},
    IntValue{SG::Map, "Names", &G::names},
    IntValue{SG::Map, "Caches", &G::caches},
    IntValue{SG::Map, "ExtPaint", &G::extPaint},
    IntValue{SG::Map, "Arrow", &G::arrow},
    IntValue{SG::Map, "MapClick", &G::mapClick},
    IntValue{SG::Map, "ShowWpts", &G::showWpts},
    IntValue{SG::Map, "RouteColor", &G::routeColor},
    IntValue{SG::Map, "TrackColor", &G::trackColor},
    IntValue{SG::Map, "TrackWidth", &G::trackWidth},
    IntValue{SG::Map, "DnlOnlyNew", &G::dnlOnlyNew},
    IntValue{SG::Map, "InclWpt", &G::inclWpt},
    IntValue{SG::Map, "MapArea", &G::mapArea},
    IntValue{SG::FieldNotes, "FindsCountExtra", &G::findsCountExtra},
    IntValue{SG::FieldNotes, "WebLogUseFNT", &G::webLogUseFNT},
    IntValue{SG::FieldNotes, "FNSince", &G::fnSince},
    IntValue{SG::TrackExport, "TrackGPX", &G::trackGPX},
    IntValue{SG::TrackExport, "TrackKML", &G::trackKML},
    IntValue{SG::TrackExport, "TrackPLT", &G::trackPLT},
    IntValue{SG::TrackExport, "DelTrack", &G::delTrack},
    IntValue{SG::Alert, "AlertOn", &G::alertOn},
    IntValue{SG::Alert, "AlertDist", &G::alertDist},
};

constexpr std::array kStringValues{
    StringValue{SG::General, "DbFile", &G::dbFile},
    StringValue{SG::General, "MapFolder", &G::mapFolder},
    StringValue{SG::General, "FontName", &G::fontName},
    StringValue{SG::General, "AvailVersion", &G::availVersion},
    StringValue{SG::General, "AnVersion", &G::anVersion},
    StringValue{SG::User, "Nickname", &G::nickname},
    StringValue{SG::User, "Language", &G::language},
    StringValue{SG::Gps, "GpsPortS", &G::gpsPortS},
    StringValue{SG::FieldNotes, "FNFile", &G::fnFile},
    StringValue{SG::FieldNotes, "FNTemplate", &G::fnTemplate},
    StringValue{SG::TrackExport, "TrackFile", &G::trackFile},
    StringValue{SG::Alert, "AlertSound", &G::alertSound},
    StringValue{SG::Online, "LiveUrl", &G::liveUrl},
    StringValue{SG::Online, "RelayUrl", &G::relayUrl},
    StringValue{SG::Online, "GeocoderUrl", &G::geocoderUrl},
};

constexpr std::array kStateInts{
    IntValue{SG::Online, "DnlFull", &G::dnlFull},
    IntValue{SG::Online, "DnlLite", &G::dnlLite},
    IntValue{SG::Online, "IsBasic", &G::isBasic},
};

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
      keepAwake(services.keepAwake), db(*this), gpsServices(*this), list(*this), reference(*this),
      m_settingsFile(paths.config / "Tarnwick.ini")
{
    scaleFactor = scaleFactorFor(screenWidth, screenHeight);
    settings.dbFile = (paths.data / "cachedb.db3").string();
    settings.trackFile = paths.documents.string();
    settings.alertSound = (paths.install / "sounds" / "alarm.wav").string();
    reference.livePosition = gpsServices.gps.get();
}

CGlobalData::~CGlobalData() = default;

fs::path CGlobalData::trackDbPath() const
{
    return paths.deviceFolder(settings.mapFolder) / "$tarnwick.db3";
}

void CGlobalData::Log(const std::string& text1, const std::string& text2) const
{
    const fs::path path = logPath();
    std::error_code ec;
    if (!fs::exists(path, ec))
        return;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out)
        return;
    const LocalTime t = localTime(std::time(nullptr));
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%d-%d-%d %02d:%02d:%02d ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    out << stamp << text1 << text2 << "\r\n";
}

void CGlobalData::LoadSettings(int mask)
{
    m_settingsFile.reload();
    const IniFile& ini = m_settingsFile;
    for (const auto& v : kIntValues) {
        if (!(mask & v.group))
            continue;
        // Absent export switches are off, whatever this run had set.
        const int fallback = v.group == SG::TrackExport ? 0 : settings.*v.member;
        settings.*v.member = ini.getInt(kOptions, v.name).value_or(fallback);
    }
    for (const auto& v : kStringValues)
        if (mask & v.group)
            settings.*v.member = ini.getString(kOptions, v.name).value_or(settings.*v.member);

    if (mask & SG::General)
        settings.bgColor = ini.getInt(kOptions, "BgColor").value_or(settings.bgColor);
    if (mask & SG::User) {
        if (const auto pw = ini.getString(kOptions, "Password"))
            settings.password = transformSecret(*pw);
        if (const auto lat = ini.getInt(kOptions, "HomeLat"))
            settings.homeLat = microToDegrees(*lat);
        if (const auto lon = ini.getInt(kOptions, "HomeLon"))
            settings.homeLon = microToDegrees(*lon);
    }
    if (mask & SG::Gps) {
        settings.gpsPort = ini.getInt(kOptions, "GpsPort").value_or(settings.gpsPort);
        if (settings.gpsPort != 0 && settings.gpsPortS.empty())
            settings.gpsPortS = "COM" + std::to_string(settings.gpsPort) + ":";
    }
    if (mask & SG::Online) {
        // A token missing from the hand-over file leaves the one in memory.
        if (const auto stored = net::readStoredToken(handoverPath()))
            settings.accessToken = transformSecret(*stored);
        for (const auto& v : kStateInts)
            settings.*v.member = ini.getInt(kState, v.name).value_or(settings.*v.member);
        if (const auto bytes = ini.getBinary(kState, "LimitTimestamp"); bytes && bytes->size() == 8) {
            std::uint64_t t = 0;
            for (int i = 7; i >= 0; --i)
                t = (t << 8) | (*bytes)[static_cast<std::size_t>(i)];
            settings.limitTimestamp = static_cast<std::int64_t>(t);
        }
    }
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
    netClient.setMessages(std::move(network));
}

void CGlobalData::SaveSettings(int mask)
{
    m_settingsFile.reload();
    IniFile& ini = m_settingsFile;
    for (const auto& v : kIntValues)
        if (mask & v.group)
            ini.setInt(kOptions, v.name, settings.*v.member);
    for (const auto& v : kStringValues)
        if (mask & v.group)
            ini.setString(kOptions, v.name, settings.*v.member);
    if (mask & SG::User) {
        ini.setString(kOptions, "Password", transformSecret(settings.password));
        ini.setInt(kOptions, "HomeLat", degreesToMicro(settings.homeLat));
        ini.setInt(kOptions, "HomeLon", degreesToMicro(settings.homeLon));
    }
    if (mask & SG::Online) {
        for (const auto& v : kStateInts)
            ini.setInt(kState, v.name, settings.*v.member);
        std::vector<std::uint8_t> bytes(8);
        auto t = static_cast<std::uint64_t>(settings.limitTimestamp);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(t & 0xff);
            t >>= 8;
        }
        ini.setBinary(kState, "LimitTimestamp", bytes);
    }
    ini.save();
}

void CGlobalData::writeVersion()
{
    m_settingsFile.reload();
    m_settingsFile.setString("CurrentVersion", "Version", kProgramVersion);
    m_settingsFile.save();
}

std::string CGlobalData::stateString(const std::string& name)
{
    m_settingsFile.reload();
    return m_settingsFile.getString(kState, name).value_or("");
}

void CGlobalData::setStateString(const std::string& name, const std::string& value)
{
    m_settingsFile.reload();
    m_settingsFile.setString(kState, name, value);
    m_settingsFile.save();
}

void CGlobalData::SaveLastPosition(double lat, double lon)
{
    m_settingsFile.reload();
    m_settingsFile.setInt(kState, "LastLat", degreesToMicro(lat));
    m_settingsFile.setInt(kState, "LastLon", degreesToMicro(lon));
    m_settingsFile.save();
}

std::optional<std::pair<double, double>> CGlobalData::RestoreLastPosition()
{
    m_settingsFile.reload();
    const double lat = microToDegrees(m_settingsFile.getInt(kState, "LastLat").value_or(0));
    const double lon = microToDegrees(m_settingsFile.getInt(kState, "LastLon").value_or(0));
    if (lat == 0.0 && lon == 0.0)
        return std::nullopt;
    return std::make_pair(lat, lon);
}

} // namespace tw
