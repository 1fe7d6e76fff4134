// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;
class MainWindow;
class QtNotifier;

// What a stop of the screen tour works with: the program state over the
// sample database, and its main window.
struct TourContext {
    CGlobalData& global;
    MainWindow& window;
    QtNotifier& notifier;
};

// One picture of the tour: open() brings up the screen (pushes it on the
// window, or opens a dialog) and returns the widget to photograph — the main
// window for a screen, the dialog for a dialog. The tour then returns the
// window to its first screen and deletes any dialog it was given.
struct TourStop {
    QString name;
    std::function<QWidget*(TourContext&)> open;
    // Runs once the picture is taken, when the stop changed what later
    // stops would show (a search typed into the list).
    std::function<void(TourContext&)> close = {};
};

// The code of the listing sample below.
inline constexpr const char* kListingSampleCode = "GC7TWK";

// Each group of screens adds its stops.
void addListStops(std::vector<TourStop>& stops);
void addWaypointStops(std::vector<TourStop>& stops);
void addListingStops(std::vector<TourStop>& stops);
void addVisitStops(std::vector<TourStop>& stops);
void addFilterStops(std::vector<TourStop>& stops);
void addOptionsStops(std::vector<TourStop>& stops);
void addGpsStops(std::vector<TourStop>& stops);
void addMapStops(std::vector<TourStop>& stops);
void addOnlineStops(std::vector<TourStop>& stops);
void addLoginStops(std::vector<TourStop>& stops);
void addFirstStartStops(std::vector<TourStop>& stops);
// The window at a desk's width: list, map and listing side by side.
void addDeskStops(std::vector<TourStop>& stops);

// One cache with everything a listing can hold, its pictures already in the
// offline folder and a file attached; added once per run. Returns its code.
std::string addListingSample(CGlobalData& global);
// The map sources the tour shows, made once: tiles of the walk and its track.
void prepareMaps(CGlobalData& global);

} // namespace tw
