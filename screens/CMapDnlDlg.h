// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <QDialog>

#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tw {

class CGlobalData;
class QtNotifier;

namespace maps {
class TileProvider;
}

// Fetches the map tiles of an area for use without a connection: around
// every listed cache (and its waypoints) or the area the map shows, for
// chosen zoom levels. The dialog only counts and queues; the download worker
// fetches, and its progress arrives through the notifier.
class CMapDnlDlg final : public QDialog {
    Q_OBJECT
public:
    CMapDnlDlg(CGlobalData& global, QtNotifier& notifier, maps::TileProvider& provider, QWidget* parent = nullptr);

    // Offers the area the map shows (corners in degrees) besides the caches.
    void setVisibleArea(geo::LatLon northWest, geo::LatLon southEast);

    // The zoom levels offered, and which of them are chosen.
    const std::vector<int>& zooms() const { return m_zooms; }
    void setZoomChosen(int zoom, bool on);
    void setVisibleAreaChosen(bool on);
    void setMapArea(int mapArea); // 1, 2, 3: 3×3, 5×5, 7×7 tiles

    // Counts again what the choice asks for; the count shown.
    int recount();
    int tileCount() const { return m_count; }
    // Queues the counted tiles (those not stored yet with that option on).
    void start();
    // Stops the worker and empties the queue.
    void stop();
    // Items queued by the last start and not fetched yet.
    int queuedCount() const { return m_queued; }
    // 0 to 100.
    int progress() const;

    void done(int result) override;

private:
    void onDownloadProgressed(int remaining);
    void saveSettings();
    void showState();

    CGlobalData& m_global;
    maps::TileProvider& m_provider;
    std::vector<int> m_zooms;
    std::optional<std::pair<geo::LatLon, geo::LatLon>> m_visibleArea;
    int m_count = 0;
    int m_started = 0; // queued by the last start
    int m_queued = 0;  // of those, still waiting
    bool m_running = false;

    QRadioButton* m_aroundCaches = nullptr;
    QRadioButton* m_visible = nullptr;
    std::vector<QCheckBox*> m_zoomBoxes;
    QComboBox* m_areaSize = nullptr;
    QCheckBox* m_onlyNew = nullptr;
    QCheckBox* m_withWaypoints = nullptr;
    QCheckBox* m_online = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_stateLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
};

} // namespace tw
