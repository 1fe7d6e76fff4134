// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "geo/MapCentreSource.h"
#include "maps/MapComposer.h"
#include "platform/Notifier.h"
#include "screens/QtImageDecoder.h"
#include "screens/Screen.h"

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QRegion>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tw {

class CWaypoint;
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
    bool isReloadingVisibleArea() const override { return m_reloadingArea; }

    // Null when the map configuration cannot be drawn.
    maps::TileProvider* provider() const { return m_provider.get(); }
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
    // The map download dialog for the listed caches or the visible area.
    void openDownloadDialog();

    // Where the navigation target lies; nothing while none is chosen.
    void setTargetSource(std::function<std::optional<geo::LatLon>()> source) { m_targetSource = std::move(source); }

    enum class Button { ZoomOut, ZoomIn, NextMapType, MovingMap };
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

signals:
    // A cache (or a waypoint of it) was tapped and is now the current cache.
    void cacheTapped(const QString& code);
    // A tap on the map away from keys and caches, with MapClick on.
    void mapClicked(double lat, double lon);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Hit {
        QRect rect;
        std::string code;
    };
    void paintFrame(QPainter& painter);
    bool composeTiles(const QSize& size);
    void composeTileLayer(const QSize& size);
    maps::WorldPoint worldOf(geo::LatLon at);
    std::optional<maps::PixelPoint> layerPoint(geo::LatLon at);
    void drawSymbols(QPainter& painter);
    bool drawRecord(QPainter& painter, geo::LatLon at, const QImage& marker, const std::string& name,
                    const std::string* parentName, const std::string& code);
    QRect recordBounds(maps::PixelPoint at) const;
    void drawButtons(QPainter& painter);
    void drawScaleBar(QPainter& painter);
    void drawPositionMarker(QPainter& painter);
    void drawBanner(QPainter& painter);
    const std::vector<CWaypoint>& waypointsOf(const std::string& code);
    const QImage& markerImage(quint64 kind, int state, const std::function<QPixmap(int)>& icon, int px);
    const QImage& labelImage(const QString& text, const QFont& font, int width);
    void tapAt(QPoint at);
    void onTopicChanged(Topic topic);
    void onDownloadProgressed();
    void stopDownloads();
    maps::ComposeOptions composeOptions() const;
    bool highResolution() const;
    int buttonPx() const;
    // The view moved: what is drawn stays, at other pixels.
    void moved();
    // What is drawn changed.
    void changed();

    QtNotifier& m_notifier;
    std::unique_ptr<maps::TileProvider> m_provider;
    QtImageDecoder m_decoder;
    std::unique_ptr<maps::MapComposer> m_composer;
    std::function<std::optional<geo::LatLon>()> m_targetSource;

    QImage m_tileLayer;             // the tiles with the track, the route and the icons
    QImage m_frame;                 // what renderFrame draws into
    maps::PixelPoint m_origin;      // top-left of the centre tile on the screen
    bool m_tilesDirty = true;
    // The tiles alone, moved along when the view pans so that only the
    // uncovered edges are composed: kept while zoom, map types and size stay.
    QImage m_tiles;
    QImage m_tilesBack;             // the other buffer of a move
    bool m_tilesKept = false;
    bool m_tilesPending = false;    // tiles of m_tiles are being downloaded
    int m_tilesZoom = -1;
    maps::ComposeOptions m_tilesOptions;
    maps::WorldPoint m_tilesCorner; // a tile corner, and where m_tiles shows it
    QPoint m_tilesCornerAt;
    // Positions projected at the current zoom: panning does not project again.
    struct PointKey {
        quint64 lat = 0;
        quint64 lon = 0;
        friend bool operator==(const PointKey&, const PointKey&) = default;
    };
    struct PointKeyHash {
        std::size_t operator()(const PointKey& k) const { return std::hash<quint64>()(k.lat * 0x9E3779B97F4A7C15ULL ^ k.lon); }
    };
    std::unordered_map<PointKey, maps::WorldPoint, PointKeyHash> m_world;
    int m_worldZoom = -1;
    maps::WorldPoint m_viewCentre;  // the centre at the last composition
    // The layer with the symbols is moved along likewise while only the view
    // moves within one centre tile.
    QImage m_layerBack;
    bool m_layerKept = false;
    int m_layerZoom = -1;
    maps::WorldPoint m_layerCentreTile;
    std::optional<geo::LatLon> m_layerTarget;
    enum class SymbolPass { Collect, Draw };
    SymbolPass m_symbolPass = SymbolPass::Draw;
    QPoint m_moveBy;                // how far the layer moved in this composition
    bool m_moving = false;          // only m_stale is drawn again
    QRegion m_stale;
    int m_labelHeight = 0;
    QPolygon m_polygon;
    int m_areaChanged = 0;          // 0 no, 1 changed, 2 changed and drawn once
    int m_nameBannerCount = 0;
    bool m_loadingBanner = false;
    bool m_reloadingArea = false;
    int m_phase = 0;                // of the blinking position marker
    std::optional<QString> m_notice; // a one-off banner text
    int m_noticeTicks = 0;          // blinks it stays for
    QTimer m_blink;

    std::optional<QPoint> m_pressAt;
    QPoint m_dragBy;                // while dragging: how far the layer is shifted
    bool m_dragging = false;

    std::vector<Hit> m_hits;        // icons of the last composition, drawn order
    std::map<std::string, std::vector<CWaypoint>> m_waypoints; // loaded per cache
    QHash<quint64, QImage> m_markers; // marker background with the icon, by kind
    QHash<QString, QImage> m_labels;  // names with their halo
    std::vector<geo::LatLon> m_trackSeen; // newest track point at the last composition
    Shown m_shown;
};

// Opens the map on top of the window's screen stack. When the map
// configuration cannot be drawn the screen shows why and closes again.
CMapScreen* openMapScreen(MainWindow& window, CGlobalData& global);

} // namespace tw
