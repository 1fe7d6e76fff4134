// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "gps/GpsReceiver.h"
#include "screens/Screen.h"

#include <QTimer>

#include <functional>

class QTabWidget;

namespace tw {

class CGpsAvg;
class CGpsMon;
class CGpsTrip;
class GpsPage;
class QtNotifier;

// The GPS screen: satellite monitor, position averaging and trip computer as
// pages. Once a second it copies the receiver's state, takes an averaging
// sample and repaints the page shown; it never waits for the receiver's
// thread.
class CGpsScr final : public Screen {
    Q_OBJECT
public:
    enum Page { Monitor = 0, Averaging = 1, Trip = 2 };

    // notifier: repaints at once when the receiver is switched on or off.
    CGpsScr(CGlobalData& global, QtNotifier* notifier = nullptr, QWidget* parent = nullptr);
    ~CGpsScr() override;

    QString mainActionText() const override;
    void mainAction() override;
    void fillMenu(QMenu& menu) override;
    void activated() override;

    void showPage(Page page);
    // One tick of the 1 s timer.
    void tick();
    const GpsSnapshot& snapshot() const { return m_snapshot; }

    CGpsMon* monitor() const { return m_monitor; }
    CGpsAvg* averaging() const { return m_averaging; }
    CGpsTrip* trip() const { return m_trip; }
    QTabWidget* tabs() const { return m_tabs; }

    // The track manager, opened from the trip computer.
    std::function<void()> openTrackManager;

private:
    GpsPage* currentPage() const;

    QTabWidget* m_tabs = nullptr;
    CGpsMon* m_monitor = nullptr;
    CGpsAvg* m_averaging = nullptr;
    CGpsTrip* m_trip = nullptr;
    QTimer m_timer;
    GpsSnapshot m_snapshot;
};

// The GPS on (1201) and off (1200) commands: a menu entry that switches to
// the other state, off the window thread.
void addGpsSwitchEntry(QMenu& menu, CGlobalData& global);

} // namespace tw
