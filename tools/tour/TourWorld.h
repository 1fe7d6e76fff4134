// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CGlobalData.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/QtNotifier.h"
#include "tools/tour/TourStops.h"

#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace tw {

// The program state the tour photographs: a central data object over a
// temporary folder of its own, with English texts (or those of
// TARNWICK_TOUR_LANGUAGE), home in Prague and the generated sample
// database. The screen tests walk the same world.
class TourWorld {
public:
    // installDir holds the program's runtime files (texts, database template).
    explicit TourWorld(const std::filesystem::path& installDir);
    // False (after a line on stderr) when the sample database cannot be opened.
    bool ready() const { return m_ready; }

    QTemporaryDir dir;
    RecordingPrompter prompter;
    QtNotifier notifier;
    RecordingKeepAwake keepAwake;
    std::unique_ptr<CGlobalData> global;

private:
    bool m_ready = false;
};

// Every stop of the tour, in its order.
std::vector<TourStop> tourStops();

// Runs the window's events for about ms milliseconds.
void settle(int ms);

// Opens a stop, lets its screen settle, hands what it shows to `look` (null
// when it could not be opened), then closes what the stop opened and
// returns the window to its first screen.
void visitStop(const TourStop& stop, TourContext& context, const std::function<void(QWidget*)>& look);

// The stops photographed again in the night and the high-contrast theme:
// the list, a listing, the maps, the options, navigation and a filter page.
QStringList themedStopNames();

} // namespace tw
