// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/MapSymbolLayer.h"

#include "app/MapAreaCaches.h"
#include "app/Settings.h"
#include "screens/CacheIcons.h"
#include "screens/MapOverlays.h"
#include "screens/MapTileBuffer.h"
#include "screens/Theme.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace tw {
namespace {

// Marker kinds: a cache to look for, one found, one that cannot be found now.
// How much darker the markers of caches are drawn on a dark theme (0 to 1).
constexpr double kNightMarkerShade = 0.4;
constexpr int kMarkerNormal = 0;
constexpr int kMarkerFound = 1;
constexpr int kMarkerUnavailable = 2;

int markerState(const CGeocache& cache)
{
    if (cache.status != 0)
        return kMarkerUnavailable;
    return cache.found != 0 ? kMarkerFound : kMarkerNormal;
}

} // namespace

MapSymbolLayer::MapSymbolLayer(const Settings& settings, const MapAreaCaches& caches, WaypointLoader loadWaypoints)
    : m_settings(settings), m_caches(caches), m_loadWaypoints(std::move(loadWaypoints))
{
}

void MapSymbolLayer::attach(maps::TileProvider& provider)
{
    m_provider = &provider;
    m_world.clear();
    m_worldZoom = -1;
    m_kept = false;
}

std::vector<std::string> MapSymbolLayer::codesAt(QPoint at) const
{
    std::vector<std::string> codes;
    for (auto it = m_hits.rbegin(); it != m_hits.rend(); ++it)
        if (it->rect.contains(at))
            codes.push_back(it->code);
    return codes;
}

void MapSymbolLayer::compose(const MapTileBuffer& tiles, bool tilesMoved, maps::PixelPoint oldOrigin, Lines lines,
                             double scaleFactor, const QPalette& palette, const MapInk& ink)
{
    const QSize size = tiles.image().size();
    const int zoom = m_provider->zoom();
    if (m_worldZoom != zoom) {
        m_world.clear();
        m_worldZoom = zoom;
    }
    m_lines = std::move(lines);
    m_scaleFactor = scaleFactor;
    // Labels and markers are drawn in the palette's colours: another theme
    // draws them anew.
    if (palette != m_palette) {
        m_labels.clear();
        m_markers.clear();
    }
    m_palette = palette;
    m_origin = tiles.origin();
    m_viewCentre = tiles.viewCentre();
    const maps::WorldPoint centreTile{m_provider->tileLeft(m_viewCentre), m_provider->tileTop(m_viewCentre)};
    const bool move = moveWithTiles(tilesMoved, size) && centreTile == m_centreTile;
    startLayer(tiles, move, oldOrigin, size);

    QPainter painter(&m_layer);
    if (move)
        painter.setClipRegion(m_stale);
    painter.setRenderHint(QPainter::Antialiasing);
    const int lineWidth = std::max(1, static_cast<int>(std::lround(m_settings.trackWidth * scaleFactor)));
    m_trackPoints = drawPolyline(painter, m_lines.track, ink.track, ink.casing, lineWidth);
    if (m_lines.route)
        for (const auto& line : *m_lines.route)
            drawPolyline(painter, line, ink.route, ink.casing, lineWidth);
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawSymbols(painter);
    m_kept = true;
    m_zoom = zoom;
    m_centreTile = centreTile;
    m_target = m_lines.target;
}

// Whether the kept picture can move along with the tiles.
bool MapSymbolLayer::moveWithTiles(bool tilesMoved, const QSize& size) const
{
    const auto& target = m_lines.target;
    const bool sameTarget = target.has_value() == m_target.has_value()
                            && (!target || (target->lat == m_target->lat && target->lon == m_target->lon));
    return m_kept && tilesMoved && sameTarget && m_layer.size() == size && m_provider->zoom() == m_zoom;
}

// The picture before the lines and symbols: the kept one moved along, with
// the tiles where it is redrawn, or the tiles alone.
void MapSymbolLayer::startLayer(const MapTileBuffer& tiles, bool move, maps::PixelPoint oldOrigin, const QSize& size)
{
    m_hits.clear();
    m_stale = QRegion();
    m_moveBy = {};
    m_moving = move;
    const QImage& tileImage = tiles.image();
    if (move) {
        m_moveBy = QPoint(m_origin.x - oldOrigin.x, m_origin.y - oldOrigin.y);
        const QRect client(QPoint(0, 0), size);
        m_stale = QRegion(client) - QRegion(client.translated(m_moveBy));
        m_pass = Pass::Collect;
        QPainter unused;
        drawSymbols(unused);
        if (m_back.size() != size)
            m_back = QImage(size, m_layer.format());
        QPainter p(&m_back);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(m_moveBy, m_layer);
        p.setClipRegion(m_stale);
        p.drawImage(0, 0, tileImage);
        p.end();
        std::swap(m_layer, m_back);
    } else {
        if (m_layer.size() != size || m_layer.format() != tileImage.format())
            m_layer = QImage(size, tileImage.format());
        std::memcpy(m_layer.bits(), tileImage.constBits(), static_cast<std::size_t>(tileImage.sizeInBytes()));
    }
    m_pass = Pass::Draw;
}

// A track or route, over its casing where the theme has one; the number of
// its points drawn.
int MapSymbolLayer::drawPolyline(QPainter& painter, const std::vector<geo::LatLon>& points, const QColor& colour,
                                 const QColor& casing, int lineWidth)
{
    const std::size_t n = std::min(points.size(), maps::kMaxPolylinePoints);
    m_polygon.clear();
    m_polygon.reserve(static_cast<int>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const maps::PixelPoint p = pixelOf(points[i]);
        m_polygon << QPoint(p.x, p.y);
    }
    // The casing first, then the line over it, each stroked as one.
    const auto stroke = [&](const auto& draw) {
        if (casing.isValid()) {
            painter.setPen(QPen(casing, lineWidth + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            draw();
        }
        painter.setPen(QPen(colour, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        draw();
    };
    if (!m_moving || n < 2) {
        stroke([&] { painter.drawPolyline(m_polygon); });
        return static_cast<int>(n);
    }
    // Only the runs of segments that reach into the redrawn parts, as one
    // path so that crossings are not drawn twice; the ends of the runs lie
    // outside those parts.
    const int reach = lineWidth + 4;
    QPainterPath runs;
    bool open = false;
    for (qsizetype i = 0; i + 1 < m_polygon.size(); ++i) {
        const QPoint a = m_polygon[i], b = m_polygon[i + 1];
        if (!m_stale.intersects(QRect(a, b).normalized().adjusted(-reach, -reach, reach, reach))) {
            open = false;
            continue;
        }
        if (!open)
            runs.moveTo(a);
        runs.lineTo(b);
        open = true;
    }
    if (!runs.isEmpty())
        stroke([&] { painter.drawPath(runs); });
    return static_cast<int>(n);
}

maps::WorldPoint MapSymbolLayer::worldOf(geo::LatLon at)
{
    const PointKey key{std::bit_cast<quint64>(at.lat), std::bit_cast<quint64>(at.lon)};
    if (const auto it = m_world.find(key); it != m_world.end())
        return it->second;
    if (m_world.size() > 100000)
        m_world.clear();
    const maps::WorldPoint p = m_provider->latLonToWorld(at.lat, at.lon);
    m_world.emplace(key, p);
    return p;
}

// Where a position lies on the layer, inside it or not.
maps::PixelPoint MapSymbolLayer::pixelOf(geo::LatLon at)
{
    const maps::PixelPoint offset = m_provider->pixelOffsetFrom(worldOf(at), m_viewCentre);
    return {m_origin.x + offset.x, m_origin.y + offset.y};
}

// Where a position lies on the layer; nothing outside it.
std::optional<maps::PixelPoint> MapSymbolLayer::layerPoint(geo::LatLon at)
{
    const maps::PixelPoint p = pixelOf(at);
    if (p.x < 0 || p.y < 0 || p.x >= m_layer.width() || p.y >= m_layer.height())
        return std::nullopt;
    return p;
}

// The square a cache or waypoint covers with its icon and names.
QRect MapSymbolLayer::recordBounds(maps::PixelPoint at) const
{
    const maps::Rect r = maps::recordIconRect(at, highResolution());
    return QRect(QPoint(r.x - 61, r.y - 1), QPoint(r.x + r.width + 61, at.y + 2 * m_labelHeight + 1));
}

const std::vector<CWaypoint>& MapSymbolLayer::waypointsOf(const std::string& code)
{
    auto it = m_waypoints.find(code);
    if (it == m_waypoints.end())
        it = m_waypoints.emplace(code, m_loadWaypoints(code)).first;
    return it->second;
}

// The marker of one kind with the type icon inside, and a foot below it
// whose tip marks the position. Made once per kind and size.
const QImage& MapSymbolLayer::markerImage(quint64 kind, int state, const std::function<QPixmap(int)>& icon, int px)
{
    const quint64 key = kind | static_cast<quint64>(state & 0xF) << 52 | static_cast<quint64>(px & 0xFF) << 44;
    auto it = m_markers.find(key);
    if (it != m_markers.end())
        return *it;
    const int lift = highResolution() ? 28 : 14;
    const int foot = lift - px / 2;
    QImage image(px, px + foot, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fills[3] = {QColor(255, 255, 255), QColor(255, 214, 79), QColor(189, 189, 189)};
    p.setPen(QPen(QColor(40, 40, 40), std::max(1, px / 20)));
    p.setBrush(fills[std::clamp(state, 0, 2)]);
    QPolygonF tip;
    tip << QPointF(px * 0.35, px - 1) << QPointF(px * 0.5, px + foot - 0.5) << QPointF(px * 0.65, px - 1);
    p.drawPolygon(tip);
    p.drawRoundedRect(QRectF(0.5, 0.5, px - 1, px - 1), px / 6.0, px / 6.0);
    const int inset = highResolution() ? 4 : 2;
    p.drawPixmap(QRect(inset, inset, px - 2 * inset, px - 2 * inset), icon(px - 2 * inset));
    // At night the white marker would glare on the dark map: it is dimmed,
    // its colours (the cache types') kept.
    if (isDarkPalette(m_palette)) {
        p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        p.fillRect(image.rect(), QColor::fromRgbF(0, 0, 0, kNightMarkerShade));
    }
    p.end();
    return *m_markers.insert(key, image);
}

// A name with a light halo, readable on any tile; drawn once per text.
const QImage& MapSymbolLayer::labelImage(const QString& text, const QFont& font, int width)
{
    const QString key = text + QLatin1Char('\n') + QString::number(width);
    auto it = m_labels.find(key);
    if (it != m_labels.end())
        return *it;
    if (m_labels.size() > 4000)
        m_labels.clear();
    const QFontMetrics fm(font);
    QImage image(width, fm.height() + 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setFont(font);
    drawHaloText(p, QRect(0, 1, width, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                 fm.elidedText(text, Qt::ElideRight, width - 2), m_palette);
    p.end();
    return *m_labels.insert(key, image);
}

// Collecting, it marks where a record came into or left the view since the
// layer was drawn; drawing, it draws the record where the layer is redrawn.
bool MapSymbolLayer::drawRecord(QPainter& painter, geo::LatLon at, const QImage& marker, const std::string& name,
                                const std::string* parentName, const std::string& code)
{
    const auto point = layerPoint(at);
    if (m_pass == Pass::Collect) {
        const maps::PixelPoint p = point ? *point : pixelOf(at);
        const QRect client(QPoint(0, 0), m_layer.size());
        if (point.has_value() != client.contains(QPoint(p.x, p.y) - m_moveBy))
            m_stale += recordBounds(p);
        return point.has_value();
    }
    if (!point)
        return false;
    const maps::Rect r = maps::recordIconRect(*point, highResolution());
    m_hits.push_back({QRect(r.x, r.y, r.width, marker.height()), code});
    if (m_moving && !m_stale.intersects(recordBounds(*point)))
        return true;
    painter.drawImage(QPoint(r.x, r.y), marker);
    if (!name.empty() && m_provider->zoom() > m_provider->waypointZoom() && m_settings.names != 0) {
        const int width = r.width + 120;
        const QImage& label = labelImage(QString::fromStdString(name), painter.font(), width);
        painter.drawImage(QPoint(r.x - 60, point->y), label);
        if (parentName && !parentName->empty())
            painter.drawImage(QPoint(r.x - 60, point->y + label.height() - 2),
                              labelImage(QString::fromStdString(*parentName), painter.font(), width));
    }
    return true;
}

void MapSymbolLayer::drawWaypoints(QPainter& painter, const CGeocache& cache, int px)
{
    for (const CWaypoint& w : waypointsOf(cache.code)) {
        if (w.lat == 0.0 && w.lon == 0.0)
            continue;
        const QImage& marker = markerImage(2ULL << 56 | static_cast<quint16>(w.type), markerState(cache),
                                           [&w](int size) { return waypointIcon(w.type, size); }, px);
        if (drawRecord(painter, {w.lat, w.lon}, marker, w.name, &cache.name, cache.code))
            ++m_waypointsDrawn;
    }
}

bool MapSymbolLayer::drawCache(QPainter& painter, const CGeocache& cache, int px)
{
    const quint64 kind = 1ULL << 56 | static_cast<quint64>(static_cast<quint16>(cache.type)) << 24
                         | static_cast<quint64>(static_cast<quint16>(cache.status)) << 8 | (cache.found != 0 ? 1 : 0);
    const QImage& marker = markerImage(kind, markerState(cache), [&cache](int size) {
        return cacheIcon(cache.type, cache.status, cache.found != 0, size);
    }, px);
    return drawRecord(painter, {cache.lat, cache.lon}, marker, cache.name, nullptr, cache.code);
}

void MapSymbolLayer::drawSymbols(QPainter& painter)
{
    const int px = highResolution() ? 40 : 20;
    const bool waypointZoom = m_provider->zoom() > m_provider->waypointZoom();
    if (m_pass == Pass::Draw) {
        QFont font = painter.font();
        font.setPixelSize(std::max(10, static_cast<int>(7 * m_scaleFactor)));
        painter.setFont(font);
        m_labelHeight = QFontMetrics(font).height() + 2;
    }
    m_cachesDrawn = 0;
    m_waypointsDrawn = 0;
    if (m_settings.caches != 0) {
        for (const auto& cache : m_caches.caches())
            if (drawCache(painter, *cache, px))
                ++m_cachesDrawn;
        if (waypointZoom && m_settings.showWpts == 2)
            for (const auto& cache : m_caches.caches())
                drawWaypoints(painter, *cache, px);
        if (const CGeocache* open = m_caches.currentCache()) {
            drawCache(painter, *open, px);
            if (waypointZoom && m_settings.showWpts == 1)
                drawWaypoints(painter, *open, px);
        }
    }
    drawTarget(painter, px);
}

// The navigation target: a red dot.
void MapSymbolLayer::drawTarget(QPainter& painter, int px)
{
    if (!m_lines.target)
        return;
    const int r = px / 3;
    const int pen = std::max(2, r / 3);
    const maps::PixelPoint p = pixelOf(*m_lines.target);
    const QPoint at(p.x, p.y);
    const QRect client(QPoint(0, 0), m_layer.size());
    const bool shown = client.contains(at);
    const QRect bounds = QRect(at, at).adjusted(-r - pen, -r - pen, r + pen, r + pen);
    if (m_pass == Pass::Collect && shown != client.contains(at - m_moveBy))
        m_stale += bounds;
    if (m_pass == Pass::Draw && shown && (!m_moving || m_stale.intersects(bounds))) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(isDarkPalette(m_palette) ? m_palette.color(QPalette::Text) : QColor(Qt::white), pen));
        painter.setBrush(QColor(220, 30, 30));
        painter.drawEllipse(at, r, r);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
}

} // namespace tw
