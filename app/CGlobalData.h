// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CacheDatabases.h"
#include "app/CacheList.h"
#include "app/GpsServices.h"
#include "app/LanguageTable.h"
#include "app/ProgramLog.h"
#include "app/ReferenceSources.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "maps/MapConfig.h"
#include "maps/TileRenderer.h"
#include "online/CNetClient.h"
#include "online/LiveLogin.h"
#include "platform/Paths.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tw {

class KeepAwake;
class Notifier;
class Prompter;
namespace net {
class CGcLiveClient;
}

inline constexpr const char* kHandoverSection = net::kHandoverSection;

// What the program talks to the user and the system through.
struct Services {
    Prompter& prompter;
    Notifier& notifier;
    KeepAwake& keepAwake;
};

// The central data object: settings, language table and paths, and the parts
// the screens reach through it (databases, cache list, GPS, reference
// sources). It makes the parts and hands each the few siblings it works
// with; none holds the whole. One exists in the running program; tests build
// their own in a temporary folder.
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

private:
    // Made before the parts, which keep sections of their own in the
    // settings file and write into the log.
    SettingsFile m_settingsFile;
    ProgramLog m_log;

public:
    // The databases close last: everything below may write into them.
    CacheDatabases db;

    // The HTTP client with the download queue, and the map sources read at start.
    net::CNetClient netClient{prompter, notifier};
    maps::MapSources mapSources;
    // Makes the renderers of vector map sources; empty: they cannot be drawn.
    maps::TileRendererFactory tileRenderers;
    // The Live API client (app/LiveJobs.h makes and binds it on first use).
    std::unique_ptr<net::CGcLiveClient> liveClient;
    // The receiver, the track logger and the alert (destroyed before the
    // databases, the receiver first).
    GpsServices gpsServices;
    // The list measures from the reference sources, which take the list's
    // filter: the list comes first and is only handed the sources.
    CacheList list;
    ReferenceSources reference;

    double scaleFactor = 1.0;
    bool versionChecked = false;

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
    void SaveLastPosition(double lat, double lon);
    // The last GPS position; nothing when none was saved.
    std::optional<std::pair<double, double>> RestoreLastPosition();

    // Writes the program version into the settings file.
    void writeVersion();
    // A value of the section "State" (route file and the like).
    std::string stateString(const std::string& name);
    void setStateString(const std::string& name, const std::string& value);

    // Takes the power options (SuspendKiller, RunOnSuspend) again; set by the
    // application, empty where none runs.
    std::function<void()> applyPowerOptions;
};

// Display scale factor for a screen: 1.0 up to 300 px on the shorter side,
// 1.33 up to 400 px, 2.0 above.
double scaleFactorFor(int width, int height);

// The update check: asks the update endpoint for the newest version (at start
// with interactive, when downloads are on; otherwise once per run) and
// announces a newer one once.
void CheckVersion(CGlobalData& global, bool interactive);

} // namespace tw
