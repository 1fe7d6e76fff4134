// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MapAreaCaches.h"
#include "geo/LatLon.h"
#include "geo/MapCentreSource.h"
#include "maps/Elevation.h"
#include "maps/MapComposer.h"
#include "platform/Notifier.h"
#include "screens/MapOverlays.h"
#include "screens/MapSymbolLayer.h"
#include "screens/MapTileBuffer.h"
#include "screens/QtImageDecoder.h"
#include "screens/Screen.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace tw {

struct GpsSnapshot;
class MainWindow;
class QtNotifier;

// The map: tiles of the chosen map source around a centre, the listed caches
// and their waypoints, the recorded track and the loaded route, the line to
// the navigation target, the GPS position and a scale bar, with four large
// on-map keys (zoom out, zoom in, next map type, moving map). Dragging pans;
// tiles that are not stored are asked for from the download queue and drawn
// when they arrive, so the window never waits for the network.
class CMapScreen final : public Screen, public geo::MapCentreSource {
    Q_OBJECT
public:
    CMapScreen(CGlobalData& global, QtNotifier& notifier, QWidget* parent = nullptr);
    ~CMapScreen() override;

    QString mainActionText() const override;
    // Centres the map on the GPS position.
    void mainAction() override;
    void fillMenu(QMenu& menu) override;
    void activated() override;
    bool leave() override;

    geo::LatLon mapCentre() const override;
    bool isReloadingVisibleArea() const override { return m_area.reloading(); }

    // Null when the map configuration cannot be drawn.
    maps::TileProvider* provider() const { return m_provider.get(); }
    // The renderer of a vector source; null for other sources, or when this
    // build has none.
    maps::TileRenderer* renderer() const { return m_renderer.get(); }
    // A style of the vector map theme's style menu, and one of its overlays
    // on or off; remembered for that theme.
    void selectStyle(const std::string& style);
    void setStyleOverlay(const std::string& overlay, bool on);
    // Drops the provider and makes one for the chosen source and map type,
    // at the same centre; with keepView the zoom stays too. False (after the message)
    // when the configuration is not usable.
    bool rebuildProvider(bool keepView);
    void selectSource(int index);
    void selectMapType(int index);
    void nextMapType();
    void setOverlay(int overlay, bool on); // overlay 0..2
    void setMovingMap(bool on);
    void zoomIn();
    void zoomOut();
    // Moves the view by screen pixels (positive dx shows what lies east).
    void panBy(int dx, int dy);
    void centreOn(geo::LatLon position);
    // Centres the map on a cache chosen elsewhere (the list beside the map):
    // the list is not read again, so the row chosen stays where it is.
    void showPlace(geo::LatLon position);
    // The list is not read again for the area shown now (a map opened
    // beside a list the user is reading); later moves read it as ever.
    void keepListAsRead() { m_area.forget(); }
    // The map download dialog for the listed caches or the visible area.
    void openDownloadDialog();

    // Where the navigation target lies; nothing while none is chosen.
    void setTargetSource(std::function<std::optional<geo::LatLon>()> source) { m_targetSource = std::move(source); }

    using Button = MapKey;
    // The key's square on the screen; empty while the key is not shown.
    QRect buttonRect(Button button) const;

    // What the last frame showed, for the status line and for tests.
    struct Shown {
        std::optional<QPoint> marker;  // the GPS position marker
        int cachesDrawn = 0;
        int waypointsDrawn = 0;
        int trackPoints = 0;           // joined points of the track
        bool targetLine = false;
        QString banner;
    };
    const Shown& shown() const { return m_shown; }
    // The screen point of a position in the current view; nothing outside.
    std::optional<QPoint> screenPointOf(geo::LatLon position) const;
    // The whole frame as the screen shows it, composed afresh when needed.
    QImage renderFrame();
    // Composes the tile layer again on the next frame; with decodedToo the
    // tiles are read and decoded again as well.
    void invalidateTiles(bool decodedToo = false);
    // The position under a screen point.
    geo::LatLon latLonAt(QPoint at) const;
    // The night theme on, or off again to the day's theme; stored at once.
    void toggleNight();
    // The key of toggleNight.
    static constexpr QKeyCombination kNightKey{Qt::ControlModifier, Qt::Key_T};

signals:
    // A cache (or a waypoint of it) was tapped and is now the current cache.
    void cacheTapped(const QString& code);
    // A tap on the map away from keys and caches, with MapClick on.
    void mapClicked(double lat, double lon);
    // Enter on the map: the listing of the current cache is asked for.
    void listingAsked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void paintFrame(QPainter& painter);
    void followPosition(const GpsSnapshot& s);
    void composeLayers();
    void reloadArea();
    PositionMark positionMark();
    QString bannerText() const;
    // Says once, on the map and in the log, which tile files do not read.
    void reportUnreadableTiles();
    MapView view() const;
    // The colours of the mark and lines in the theme in force.
    MapInk ink() const;
    void tapAt(QPoint at);
    void onTopicChanged(Topic topic);
    void onDownloadProgressed();
    void stopDownloads();
    maps::ComposeOptions composeOptions() const;
    // The view moved or zoomed: the list follows the visible area.
    void areaChanged();
    // The view moved: what is drawn stays, at other pixels.
    void moved();
    // What is drawn changed.
    void changed();
    // The elevation files of the options shade the map (again, when the
    // folder changed).
    void attachHeights();
    // A vector source gets its renderer; what it cannot read is said once.
    void attachRenderer();
    // The chosen style of the renderer's menu, and its overlay switches.
    std::string chosenStyle() const;
    void applyStyle();
    void fillStyleMenu(QMenu& menu);

    QtNotifier& m_notifier;
    std::unique_ptr<maps::TileProvider> m_provider;
    QtImageDecoder m_decoder;
    std::unique_ptr<maps::TileRenderer> m_renderer; // outlives the composer, which draws with it
    std::unique_ptr<maps::MapComposer> m_composer;
    std::string m_themeFile;        // the renderer's theme, for the remembered style
    std::string m_mapTheme;         // the options' theme the renderer was made with
    std::unique_ptr<maps::ElevationFiles> m_heights;
    std::string m_heightsFolder;    // what m_heights was read from
    std::unique_ptr<MapTileBuffer> m_tiles;
    MapAreaCaches m_area;
    MapSymbolLayer m_symbols;
    std::function<std::optional<geo::LatLon>()> m_targetSource;

    QImage m_frame;                 // what renderFrame draws into
    bool m_tilesDirty = true;
    int m_nameBannerCount = 0;
    int m_phase = 0;                // of the blinking position marker
    std::optional<QString> m_notice; // a one-off banner text
    int m_noticeTicks = 0;          // blinks it stays for
    QString m_tileProblem;          // stays while the source is shown
    std::size_t m_unreadableSaid = 0; // of the provider's unreadable files
    QTimer m_blink;

    std::optional<QPoint> m_pressAt;
    QPoint m_dragBy;                // while dragging: how far the layer is shifted
    bool m_dragging = false;
    Shown m_shown;
};

// Opens the map on top of the window's screen stack. When the map
// configuration cannot be drawn the screen shows why and closes again. A
// window at its wide layout has its map beside the list: that one is shown.
CMapScreen* openMapScreen(MainWindow& window, CGlobalData& global);

} // namespace tw
