// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "screens/GpsPage.h"

#include <functional>

class QLabel;
class QPushButton;

namespace tw {

// Position averaging: start (1201), stop (1200) and save the mean as a
// waypoint (1202); the current and the mean position, the number of
// samples, their spread and a scatter plot around the mean.
class CGpsAvg final : public GpsPage {
    Q_OBJECT
public:
    CGpsAvg(CGlobalData& global, QWidget* parent);

    void refresh(const GpsSnapshot& snapshot) override;
    QString mainActionText() const override;
    void mainAction() override;
    void fillMenu(QMenu& menu) override;

    void start();
    void stop();
    // Stops and hands the mean to saveWaypoint.
    void save();
    // Opens the waypoint editor on a new waypoint at the position, of the
    // current cache or of the user's own (GC0). Replaceable by the window.
    std::function<void(geo::LatLon)> saveWaypoint;

private:
    void openEditor(geo::LatLon mean);

    QLabel* m_position = nullptr;
    QLabel* m_mean = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_spread = nullptr;
    QPushButton* m_startStop = nullptr;
    QPushButton* m_save = nullptr;
    QWidget* m_plot = nullptr;
};

} // namespace tw
