// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gps/CTrackLogger.h"
#include "screens/GpsPage.h"

#include <functional>
#include <map>

class QLabel;
class QPushButton;

namespace tw {

// The trip computer: distance, time, top and average speed, lowest/highest
// altitude and the altitude graph of the current track; begins a new track
// (32831) and opens the track manager (32793).
class CGpsTrip final : public GpsPage {
    Q_OBJECT
public:
    CGpsTrip(CGlobalData& global, QWidget* parent);

    void refresh(const GpsSnapshot& snapshot) override;
    QString mainActionText() const override;
    void mainAction() override;
    void fillMenu(QMenu& menu) override;

    void newTrack();
    std::function<void()> openTrackManager;

    // The values as shown, in row order.
    QStringList values() const;

private:
    QList<QLabel*> m_values;
    QWidget* m_graph = nullptr;
    TrackStatistics m_stats;
    std::map<int, double> m_profile;
    friend class AltitudeGraph;
};

} // namespace tw
