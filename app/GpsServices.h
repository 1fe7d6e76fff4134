// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/NavigationTarget.h"

#include <memory>
#include <optional>

namespace SQLite {
class Database;
}

namespace tw {

class CTrackLogger;
class GpsReceiver;
class GpsSwitch;
class Notifier;
class ProgramLog;
class Prompter;
class ProximityAlert;
class SoundPlayer;
class TextLookup;
struct Settings;

// The GPS side of the program: the receiver, the track logger it feeds, the
// proximity alert and the navigation target. Part of CGlobalData, made after
// the databases and destroyed before them.
class GpsServices {
public:
    // The track logger writes into trackDb and the log; settings are read
    // by applyGpsSettings.
    GpsServices(SQLite::Database& trackDb, Prompter& prompter, Notifier& notifier, const Settings& settings,
                const TextLookup& texts, const ProgramLog& log);
    ~GpsServices();
    GpsServices(const GpsServices&) = delete;
    GpsServices& operator=(const GpsServices&) = delete;

    // Destroyed in reverse order: the switch, the receiver, the logger, the
    // alert.
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

    // Nothing while no target was chosen; it lasts for the run only.
    std::optional<NavigationTarget> navigationTarget;
    // Chooses (or clears) the target and hands it to the proximity alert.
    void setNavigationTarget(std::optional<NavigationTarget> target);

private:
    const Settings& m_settings;
};

} // namespace tw
