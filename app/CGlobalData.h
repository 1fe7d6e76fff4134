// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/LanguageTable.h"
#include "app/Settings.h"
#include "db/CacheStore.h"
#include "db/Records.h"
#include "db/SQLite.h"
#include "db/Tags.h"
#include "filter/CacheFilter.h"
#include "geo/ReferencePosition.h"
#include "maps/MapConfig.h"
#include "online/CNetClient.h"
#include "online/LiveLogin.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw {

class CTrackLogger;
class GpsReceiver;
class GpsSwitch;
class KeepAwake;
class Notifier;
class Prompter;
class ProximityAlert;
class SoundPlayer;
namespace net {
class CGcLiveClient;
}

inline constexpr const char* kHandoverSection = net::kHandoverSection;
inline constexpr int kMaxRecent = 9;

// What the program talks to the user and the system through.
struct Services {
    Prompter& prompter;
    Notifier& notifier;
    KeepAwake& keepAwake;
};

// The cache or waypoint the user navigates to: the navigation view, the
// map's target line and the proximity alert read it.
struct NavigationTarget {
    std::string name;
    std::string code; // the cache's code (for a waypoint, its cache's)
    double lat = 0.0;
    double lon = 0.0;
};

// The central data object: settings, language table, databases, the cache
// list and the counters. One exists in the running program; tests build their
// own in a temporary folder.
class CGlobalData {
public:
    // screenWidth/screenHeight choose the display scale factor.
    CGlobalData(Paths paths, Services services, int screenWidth = 480, int screenHeight = 800);
    ~CGlobalData();
    CGlobalData(const CGlobalData&) = delete;
    CGlobalData& operator=(const CGlobalData&) = delete;

    const Paths paths;
    Prompter& prompter;
    Notifier& notifier;
    KeepAwake& keepAwake;

    Settings settings;
    LanguageTable lang;

    SQLite::Database cacheDb;
    SQLite::Database trackDb;

    // The HTTP client with the download queue, and the map sources read at start.
    net::CNetClient netClient{prompter, notifier};
    maps::MapSources mapSources;
    // The Live API client (app/LiveJobs.h makes and binds it on first use).
    std::unique_ptr<net::CGcLiveClient> liveClient;
    // GPS and tracks, destroyed before the databases (the receiver first).
    std::unique_ptr<ProximityAlert> proximityAlert;
    std::unique_ptr<CTrackLogger> trackLogger;
    std::unique_ptr<GpsReceiver> gps;
    // Plays the alert and the options' test; set by the window program, null
    // where nothing can play.
    SoundPlayer* soundPlayer = nullptr;
    // The GPS on/off commands, off the window thread (ended before the receiver).
    std::unique_ptr<GpsSwitch> gpsSwitch;
    // Hands the settings of recording and of the alert to the GPS objects.
    void applyGpsSettings();

    // Cache list (rebuilt on every reload; no one keeps pointers across one).
    std::vector<std::unique_ptr<CGeocache>> caches;
    int sortKey = 1;        // 0 to 7; 1 = by distance
    int sortAscending = 1;  // 0 = reversed
    double scaleFactor = 1.0;
    TagCategories tagCategories;
    bool versionChecked = false;
    std::unique_ptr<CGeocache> dummyCache;
    // Recent caches, most recent first; the first is the current cache.
    std::vector<std::unique_ptr<CGeocache>> recent;

    // Nothing while no target was chosen; it lasts for the run only.
    std::optional<NavigationTarget> navigationTarget;
    // Chooses (or clears) the target and hands it to the proximity alert.
    void setNavigationTarget(std::optional<NavigationTarget> target);
    // Where the last coordinate text that was copied or read lies.
    geo::LatLon parsedPoint;

    int dbVersion = 0;   // the cache database's user_version
    int cacheCount = 0;  // caches in the database, without the dummy cache
    int listedCount = 0; // caches in the current list

    // The installation folder (template database, language files, sounds).
    std::filesystem::path GetInstallDir() const { return paths.install; }
    std::filesystem::path settingsPath() const { return paths.config / "Tarnwick.ini"; }
    std::filesystem::path handoverPath() const { return paths.config / "handover.ini"; }
    std::filesystem::path logPath() const { return paths.documents / "Tarnwick.log"; }
    std::filesystem::path templatePath() const { return paths.install / "emptydb.db3"; }
    std::filesystem::path trackDbPath() const;

    // A text of the language table; empty when absent.
    std::string text(int number) const { return lang.text(number); }

    // Appends a time-stamped line to the log file, only when that file
    // already exists (creating it switches logging on).
    void Log(const std::string& text1, const std::string& text2 = {}) const;

    // Reads the settings of the groups in mask, then the language table.
    void LoadSettings(int mask);
    // Hands the texts of the database and network messages to those layers.
    void shareLanguageTexts();
    void SaveSettings(int mask);
    void LoadRecent();
    void SaveRecent();
    // Makes the cache the current one: first of the recent list, which is
    // saved at once so that it survives the run.
    void setCurrentCache(const CGeocache& cache);
    CGeocache* currentCache() { return recent.empty() ? nullptr : recent.front().get(); }
    void SaveLastPosition(double lat, double lon);
    // The last GPS position; nothing when none was saved.
    std::optional<std::pair<double, double>> RestoreLastPosition();

    // Writes the program version into the settings file.
    void writeVersion();
    // A value of the section "State" (route file and the like).
    std::string stateString(const std::string& name);
    void setStateString(const std::string& name, const std::string& value);

    // The cache database's start-up reads; each shows a failure once and
    // goes on.
    void ReadDbCounters();
    void InitTagCategories();
    void LoadDummyCache();
    // The write side of the cache database; a deletion through it reads the
    // counters again (and so refreshes the status line).
    CacheStore cacheStore();
    // Closes the cache database and opens dbFile instead (options screen); a
    // file that does not exist yet is made from the template first. When the
    // file cannot be made or holds no cache database, the previous database
    // stays open, DbFile keeps its value and the result is false.
    bool SwitchDatabase(const std::string& dbFile);
    // Takes the power options (SuspendKiller, RunOnSuspend) again; set by the
    // application, empty where none runs.
    std::function<void()> applyPowerOptions;
    // Why the open cache database cannot serve a job that reads or writes
    // caches: a file that is no database, a damaged one, or one without the
    // cache tables (an empty file). Empty when it can.
    std::string cacheDbProblem();

    // The list filter, kept in the settings section "Filter".
    CacheFilter filter;
    void LoadFilter();
    void SaveFilter();
    // Saved filters: the folder "filter" below the map folder.
    std::filesystem::path filterFolder() const;
    // The live position and the map centre for reference distances; null
    // while there is no receiver or map screen.
    const geo::LivePositionSource* livePosition = nullptr;
    const geo::MapCentreSource* mapCentre = nullptr;
    geo::ReferenceContext referenceContext() const;

    // Reloads the cache list from the database through the filter, sorted by
    // sortKey and cut to MaxRows (see app/CacheList.cpp). False when the
    // database could not be read (the list then holds what was read).
    bool readCaches();
    // The number of finds in the database, saved as FoundCount.
    void refreshFoundCount();
    // The running number of the find on date (YYYYMMDD) at time (HHMM):
    // 1 + FindsCountExtra + the finds before it. 0 when the database fails.
    int findNumber(int date, int time);

private:
    IniFile m_settingsFile;
};

// Display scale factor for a screen: 1.0 up to 300 px on the shorter side,
// 1.33 up to 400 px, 2.0 above.
double scaleFactorFor(int width, int height);

// The update check: asks the update endpoint for the newest version (at start
// with interactive, when downloads are on; otherwise once per run) and
// announces a newer one once.
void CheckVersion(CGlobalData& g, bool interactive);

} // namespace tw
