// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CWaypoint.h"
#include "geo/LatLon.h"
#include "maps/MapComposer.h"
#include "screens/Theme.h"

#include <QHash>
#include <QImage>
#include <QPalette>
#include <QPolygon>
#include <QRect>
#include <QRegion>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class QPainter;

namespace tw {

class CGeocache;
class MapAreaCaches;
class MapTileBuffer;
struct Settings;

// What the map draws above its tiles: the recorded track and the loaded
// route, the caches of the list with their waypoints and names, and the
// navigation target, composed with the tiles into one picture. A pan within
// the same centre tile moves every symbol by the same pixels: the picture
// moves along and only the uncovered edges and the symbols that came into or
// left the view are drawn again. It keeps where each icon lies for taps.
class MapSymbolLayer {
public:
    using WaypointLoader = std::function<std::vector<CWaypoint>(const std::string& code)>;
    MapSymbolLayer(const Settings& settings, const MapAreaCaches& caches, WaypointLoader loadWaypoints);

    // The provider the positions are projected with; forgets all projections.
    void attach(maps::TileProvider& provider);
    // What one composition draws besides the caches.
    struct Lines {
        std::vector<geo::LatLon> track;          // newest first
        const std::vector<std::vector<geo::LatLon>>* route = nullptr; // each line on its own
        std::optional<geo::LatLon> target;
    };
    // Composes the picture over the tiles, the lines in the ink's colours.
    // tilesMoved: the tile buffer only moved since it was last composed,
    // from oldOrigin.
    void compose(const MapTileBuffer& tiles, bool tilesMoved, maps::PixelPoint oldOrigin, Lines lines,
                 double scaleFactor, const QPalette& palette, const MapInk& ink);
    // What is drawn changed: the next composition draws everything.
    void invalidate() { m_kept = false; }
    // The waypoints are read again when next drawn.
    void forgetWaypoints() { m_waypoints.clear(); }

    const QImage& image() const { return m_layer; }
    // The caches whose icons lie under a point, the one drawn last first.
    std::vector<std::string> codesAt(QPoint at) const;
    // The track points of the last composition, newest first.
    const std::vector<geo::LatLon>& track() const { return m_lines.track; }
    int cachesDrawn() const { return m_cachesDrawn; }
    int waypointsDrawn() const { return m_waypointsDrawn; }
    int trackPoints() const { return m_trackPoints; }

private:
    struct Hit {
        QRect rect;
        std::string code;
    };
    enum class Pass { Collect, Draw };
    bool moveWithTiles(bool tilesMoved, const QSize& size) const;
    void startLayer(const MapTileBuffer& tiles, bool move, maps::PixelPoint oldOrigin, const QSize& size);
    int drawPolyline(QPainter& painter, const std::vector<geo::LatLon>& points, const QColor& colour, const QColor& casing,
                     int lineWidth);
    void drawSymbols(QPainter& painter);
    void drawTarget(QPainter& painter, int px);
    void drawWaypoints(QPainter& painter, const CGeocache& cache, int px);
    bool drawCache(QPainter& painter, const CGeocache& cache, int px);
    bool drawRecord(QPainter& painter, geo::LatLon at, const QImage& marker, const std::string& name,
                    const std::string* parentName, const std::string& code);
    QRect recordBounds(maps::PixelPoint at) const;
    maps::WorldPoint worldOf(geo::LatLon at);
    std::optional<maps::PixelPoint> layerPoint(geo::LatLon at);
    maps::PixelPoint pixelOf(geo::LatLon at);
    const std::vector<CWaypoint>& waypointsOf(const std::string& code);
    const QImage& markerImage(quint64 kind, int state, const std::function<QPixmap(int)>& icon, int px);
    const QImage& labelImage(const QString& text, const QFont& font, int width);
    bool highResolution() const { return m_scaleFactor >= 2.0; }

    const Settings& m_settings;
    const MapAreaCaches& m_caches;
    WaypointLoader m_loadWaypoints;
    maps::TileProvider* m_provider = nullptr;

    QImage m_layer;                 // the tiles with the track, the route and the icons
    QImage m_back;                  // the other buffer of a move
    bool m_kept = false;
    int m_zoom = -1;
    maps::WorldPoint m_centreTile;
    std::optional<geo::LatLon> m_target;
    // The composition under way.
    Lines m_lines;
    double m_scaleFactor = 1.0;
    QPalette m_palette;
    maps::PixelPoint m_origin;      // top-left of the centre tile on the layer
    maps::WorldPoint m_viewCentre;
    Pass m_pass = Pass::Draw;
    QPoint m_moveBy;                // how far the layer moved in this composition
    bool m_moving = false;          // only m_stale is drawn again
    QRegion m_stale;
    int m_labelHeight = 0;
    QPolygon m_polygon;
    std::vector<Hit> m_hits;        // icons of the last composition, drawn order
    int m_cachesDrawn = 0;
    int m_waypointsDrawn = 0;
    int m_trackPoints = 0;

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
    std::map<std::string, std::vector<CWaypoint>> m_waypoints; // loaded per cache
    QHash<quint64, QImage> m_markers; // marker background with the icon, by kind
    QHash<QString, QImage> m_labels;  // names with their halo
};

} // namespace tw
