// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gps/GpsReceiver.h"
#include "screens/Screen.h"

#include <QTimer>

class QLabel;

namespace tw {

class QtNotifier;

// What the navigation view shows, worked out once a second.
struct NavigationState {
    bool hasTarget = false;
    bool radar = false;         // the close-range radar instead of the compass
    bool northUp = true;
    double distanceM = 0;
    double bearingDeg = 0;      // from the user to the target
    double courseDeg = 0;
    double roseDeg = 0;         // where north points on the drawing (clockwise from the top)
    double targetArrowDeg = 0;  // where the target arrow points on the drawing
    double sunDeg = 0;          // where the sun stands on the drawing
    double sunElevationDeg = 0;
    bool receiving = false;
    double userLat = 0, userLon = 0;
};

// Guides the user to the navigation target: the distance and the bearing,
// a compass (north-up or course-up, with the sun's direction) and, within
// 30 m while receiving, a radar of the last metres.
class NavigationScreen final : public Screen {
    Q_OBJECT
public:
    NavigationScreen(CGlobalData& global, QtNotifier* notifier = nullptr, QWidget* parent = nullptr);

    QString mainActionText() const override;
    void mainAction() override;
    void fillMenu(QMenu& menu) override;
    void activated() override;

    void tick();
    const NavigationState& state() const { return m_state; }

private:
    QLabel* m_target = nullptr;
    QLabel* m_distance = nullptr;
    QLabel* m_bearing = nullptr;
    QWidget* m_drawing = nullptr;
    QTimer m_timer;
    NavigationState m_state;
};

} // namespace tw
