// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CWaypoint.h"

#include "screens/Screen.h"

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace tw {

// The additional waypoints of one cache, or, for the dummy cache GC0, the
// waypoints of the user's own that belong to no cache: name, type,
// coordinates in the user's style and the distance. Tapping one opens the
// editor; the main key makes a new one.
class WaypointListScreen final : public Screen {
    Q_OBJECT
public:
    WaypointListScreen(CGlobalData& global, const std::string& code, QWidget* parent = nullptr);

    QString mainActionText() const override;
    void mainAction() override { newWaypoint(); }
    void fillMenu(QMenu& menu) override;
    void activated() override { reload(); }

    // Called with a waypoint the user wants to navigate to; while none is
    // set, the menu offers no navigation.
    void setNavigateHook(std::function<void(const CWaypoint&)> hook) { m_navigate = std::move(hook); }

    void reload();
    void newWaypoint();
    // The chosen (current) row: edit it, delete it after asking, navigate.
    void editChosen();
    void deleteChosen();
    void navigateToChosen();

    const std::string& code() const { return m_code; }
    const std::vector<CWaypoint>& waypoints() const { return m_waypoints; }
    QListWidget* view() const { return m_view; }

signals:
    // A waypoint of the cache was stored or deleted.
    void waypointsChanged(const QString& code);

private:
    CWaypoint* chosen();
    void showContextMenu(const QPoint& at);

    std::string m_code;
    std::vector<CWaypoint> m_waypoints;
    std::function<void(const CWaypoint&)> m_navigate;
    QLabel* m_caption = nullptr;
    QLabel* m_empty = nullptr;
    QListWidget* m_view = nullptr;
};

} // namespace tw
