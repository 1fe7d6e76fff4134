// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingsFile.h"

#include "online/LiveLogin.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

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
    IntValue{SG::General, "SheetPaper", &G::sheetPaper},
    IntValue{SG::General, "SrchResRefresh", &G::srchResRefresh},
    IntValue{SG::General, "NorthUp", &G::northUp},
    IntValue{SG::General, "DnlOnline", &G::dnlOnline},
    IntValue{SG::General, "Theme", &G::theme},
    IntValue{SG::General, "DayTheme", &G::dayTheme},
    IntValue{SG::General, "MaxTrackBuffer", &G::maxTrackBuffer},
    IntValue{SG::General, "MaxImpCaches", &G::maxImpCaches},
    IntValue{SG::General, "ImpOnlyNew", &G::impOnlyNew},
    IntValue{SG::General, "ImpNotFound", &G::impNotFound},
    IntValue{SG::General, "IsLite", &G::isLite},
    IntValue{SG::General, "FoundCount", &G::foundCount},
    IntValue{SG::General, "WideShown", &G::wideShown},
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
    IntValue{SG::Gps, "SendLogs", &G::sendLogs},
};

constexpr std::array kStringValues{
    StringValue{SG::General, "DbFile", &G::dbFile},
    StringValue{SG::General, "MapFolder", &G::mapFolder},
    StringValue{SG::General, "MapTheme", &G::mapTheme},
    StringValue{SG::General, "FontName", &G::fontName},
    StringValue{SG::General, "AvailVersion", &G::availVersion},
    StringValue{SG::General, "AnVersion", &G::anVersion},
    StringValue{SG::General, "WidePanes", &G::widePanes},
    StringValue{SG::User, "Nickname", &G::nickname},
    StringValue{SG::User, "Language", &G::language},
    StringValue{SG::Map, "ElevationFolder", &G::elevationFolder},
    StringValue{SG::Map, "VectorStyle", &G::vectorStyle},
    StringValue{SG::Map, "VectorOverlays", &G::vectorOverlays},
    StringValue{SG::Map, "VectorStyleTheme", &G::vectorStyleTheme},
    StringValue{SG::Gps, "GpsPortS", &G::gpsPortS},
    StringValue{SG::Gps, "GpsDeviceFolder", &G::gpsDeviceFolder},
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

SettingsFile::SettingsFile(std::filesystem::path file, std::filesystem::path handover, Settings& settings)
    // The file holds the nickname, the scrambled password and the user's
    // paths: it is the user's alone. A settings file the user keeps
    // elsewhere behind a link stays there.
    : m_file(std::move(file), 0600, IniFile::Links::WriteThrough), m_handover(std::move(handover)),
      m_settings(settings)
{
}

IniFile& SettingsFile::reloaded()
{
    m_file.reload();
    return m_file;
}

void SettingsFile::load(int mask)
{
    const IniFile& ini = reloaded();
    Settings& settings = m_settings;
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

    if (mask & SG::General) {
        settings.bgColor = ini.getInt(kOptions, "BgColor").value_or(settings.bgColor);
        // The options take 1 to 100,000 rows; a hand-edited value outside
        // (0, -1, a number past 32 bits) would list nothing.
        if (settings.maxRows < 1)
            settings.maxRows = Settings{}.maxRows;
        settings.maxRows = std::min(settings.maxRows, kMostListRows);
    }
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
        if (const auto stored = net::readStoredToken(m_handover))
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
}

void SettingsFile::save(int mask)
{
    IniFile& ini = reloaded();
    const Settings& settings = m_settings;
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

} // namespace tw
