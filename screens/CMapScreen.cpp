// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CMapScreen.h"

#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "geo/ReferencePosition.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "screens/CMapDnlDlg.h"
#include "screens/CacheIcons.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/QtMapCanvas.h"
#include "screens/QtNotifier.h"

#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace tw {
namespace {

constexpr int kTextLoading = 144;
constexpr int kTextMyPosition = 720;
constexpr int kTextSources = 721;
constexpr int kTextMapTypes = 722;
constexpr int kTextOverlays = 723;
constexpr int kTextMovingMap = 724;
constexpr int kTextDownload = 725;
constexpr int kTextNoPosition = 726;
constexpr int kTextShowCaches = 743;
constexpr int kTextInvalidConfig = 956;

constexpr int kBlinkMs = 500;
// Marker kinds: a cache to look for, one found, one that cannot be found now.
constexpr int kMarkerNormal = 0;
constexpr int kMarkerFound = 1;
constexpr int kMarkerUnavailable = 2;

QColor colourOf(std::uint32_t rgb)
{
    return QColor::fromRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int markerState(const CGeocache& cache)
{
    if (cache.status != 0)
        return kMarkerUnavailable;
    return cache.found != 0 ? kMarkerFound : kMarkerNormal;
}

// Text with a light halo, readable on any tile in sunlight.
void drawHaloText(QPainter& painter, const QRect& box, int flags, const QString& text, const QPalette& palette)
{
    painter.save();
    painter.setPen(palette.color(QPalette::Base));
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (dx || dy)
                painter.drawText(box.translated(dx, dy), flags, text);
    painter.setPen(palette.color(QPalette::Text));
    painter.drawText(box, flags, text);
    painter.restore();
}

} // namespace

CMapScreen::CMapScreen(CGlobalData& global, QtNotifier& notifier, QWidget* parent)
    : Screen(global, parent), m_notifier(notifier)
{
    setObjectName(QStringLiteral("map"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_global.reference.mapCentre = this;
    connect(&notifier, &QtNotifier::topicChanged, this, &CMapScreen::onTopicChanged);
    connect(&notifier, &QtNotifier::downloadProgressed, this, &CMapScreen::onDownloadProgressed);
    m_blink.setInterval(kBlinkMs);
    connect(&m_blink, &QTimer::timeout, this, [this] {
        if (m_nameBannerCount > 0)
            --m_nameBannerCount;
        if (m_noticeTicks > 0 && --m_noticeTicks == 0)
            m_notice.reset();
        update();
    });
    rebuildProvider(false);
}

CMapScreen::~CMapScreen()
{
    if (m_global.reference.mapCentre == this)
        m_global.reference.mapCentre = nullptr;
}

QString CMapScreen::mainActionText() const
{
    return langText(m_global, kTextMyPosition);
}

void CMapScreen::mainAction()
{
    const GpsSnapshot s = m_global.gpsServices.gps ? m_global.gpsServices.gps->snapshot() : GpsSnapshot{};
    if (!s.hasPosition()) {
        m_notice = langText(m_global, kTextNoPosition);
        m_noticeTicks = 6;
        m_nameBannerCount = 0;
        update();
        return;
    }
    centreOn({s.latitude, s.longitude});
}

void CMapScreen::activated()
{
    m_blink.start();
    invalidateTiles();
    setFocus();
}

bool CMapScreen::leave()
{
    m_blink.stop();
    stopDownloads();
    return true;
}

geo::LatLon CMapScreen::mapCentre() const
{
    return m_provider ? m_provider->centre() : geo::LatLon{m_global.settings.homeLat, m_global.settings.homeLon};
}

bool CMapScreen::rebuildProvider(bool keepView)
{
    const Settings& s = m_global.settings;
    maps::TileProvider::Options options;
    options.mapFolder = m_global.paths.deviceFolder(s.mapFolder);
    options.centre = geo::referencePosition(m_global.reference.context(), false);
    options.prompter = &m_global.prompter;
    options.invalidConfigText = m_global.text(kTextInvalidConfig);
    if (m_provider) {
        options.centre = m_provider->centre();
        if (keepView)
            options.zoom = m_provider->zoom();
    }
    m_composer.reset();
    m_provider.reset();
    m_tilesKept = false;
    m_world.clear();
    m_worldZoom = -1;
    maps::MapTypeChoice choice{s.mapType, s.mapType1, s.mapType2, s.mapType3};
    m_provider = maps::openMapProvider(m_global.mapSources, s.mapSource, choice, options, m_global.prompter);
    m_global.settings.mapType = choice.mapType;
    m_global.settings.mapType1 = choice.overlay1;
    m_global.settings.mapType2 = choice.overlay2;
    m_global.settings.mapType3 = choice.overlay3;
    if (!m_provider) {
        // The message has been shown; the map has nothing to draw, so the
        // screen below takes over.
        QTimer::singleShot(0, this, [this] { emit closeRequested(); });
        update();
        return false;
    }
    if (options.zoom)
        m_provider->setZoom(std::clamp(*options.zoom, m_provider->minZoom(), m_provider->maxZoom()));
    m_composer = std::make_unique<maps::MapComposer>(*m_provider, m_decoder, &m_global.netClient);
    m_areaChanged = 1;
    changed();
    return true;
}

void CMapScreen::stopDownloads()
{
    m_global.netClient.stopWorker();
}

void CMapScreen::selectSource(int index)
{
    if (index == m_global.settings.mapSource && m_provider)
        return;
    stopDownloads();
    m_global.settings.mapSource = index;
    m_global.settings.mapType = 0;
    if (rebuildProvider(false))
        m_nameBannerCount = 2;
    m_global.SaveSettings(SettingsGroup::Map);
}

void CMapScreen::selectMapType(int index)
{
    if (!m_provider || !m_provider->mapType(index) || index >= maps::kFirstOverlayIndex)
        return;
    stopDownloads();
    m_global.settings.mapType = index;
    if (rebuildProvider(true))
        m_nameBannerCount = 2;
    m_global.SaveSettings(SettingsGroup::Map);
}

void CMapScreen::nextMapType()
{
    if (!m_provider)
        return;
    const int count = static_cast<int>(m_provider->source().basic.size());
    selectMapType(count > 0 ? (m_global.settings.mapType + 1) % count : 0);
}

void CMapScreen::setOverlay(int overlay, bool on)
{
    int* switches[3] = {&m_global.settings.mapType1, &m_global.settings.mapType2, &m_global.settings.mapType3};
    if (overlay < 0 || overlay > 2 || !m_provider || !m_provider->mapType(maps::kFirstOverlayIndex + overlay))
        return;
    *switches[overlay] = on ? 1 : 0;
    m_global.SaveSettings(SettingsGroup::Map);
    changed();
}

void CMapScreen::setMovingMap(bool on)
{
    m_global.settings.movingMap = on ? 1 : 0;
    m_global.SaveSettings(SettingsGroup::Map);
    update();
}

void CMapScreen::zoomIn()
{
    if (!m_provider || m_provider->zoom() >= m_provider->maxZoom())
        return;
    m_composer->zoomIn();
    m_areaChanged = 1;
    changed();
}

void CMapScreen::zoomOut()
{
    if (!m_provider || m_provider->zoom() <= m_provider->minZoom())
        return;
    m_composer->zoomOut();
    m_areaChanged = 1;
    changed();
}

void CMapScreen::panBy(int dx, int dy)
{
    if (!m_provider)
        return;
    m_provider->panByPixels(dx, dy);
    m_areaChanged = 1;
    moved();
}

void CMapScreen::centreOn(geo::LatLon position)
{
    if (!m_provider)
        return;
    m_provider->setCentre(position);
    m_areaChanged = 1;
    moved();
}

void CMapScreen::moved()
{
    m_tilesDirty = true;
    update();
}

void CMapScreen::changed()
{
    m_layerKept = false;
    moved();
}

void CMapScreen::invalidateTiles(bool decodedToo)
{
    if (decodedToo && m_composer)
        m_composer->dropDecodedTiles();
    m_tilesKept = false;
    changed();
}

void CMapScreen::openDownloadDialog()
{
    if (!m_provider)
        return;
    const QSize size = this->size();
    CMapDnlDlg dialog(m_global, m_notifier, *m_provider, this);
    dialog.setVisibleArea(latLonAt({0, 0}), latLonAt({size.width() - 1, size.height() - 1}));
    execDialog(dialog, window());
    invalidateTiles();
}

geo::LatLon CMapScreen::latLonAt(QPoint at) const
{
    if (!m_provider)
        return {};
    const geo::LatLon centre = m_provider->centre();
    m_provider->panByPixels(at.x() - width() / 2, at.y() - height() / 2);
    const geo::LatLon position = m_provider->centre();
    m_provider->setCentre(centre);
    return position;
}

maps::ComposeOptions CMapScreen::composeOptions() const
{
    const Settings& s = m_global.settings;
    maps::ComposeOptions o;
    o.mapType = s.mapType;
    o.overlays[0] = s.mapType1 != 0;
    o.overlays[1] = s.mapType2 != 0;
    o.overlays[2] = s.mapType3 != 0;
    o.extPaint = s.extPaint != 0;
    o.background = palette().color(QPalette::Window).rgb() & 0xFFFFFF;
    return o;
}

bool CMapScreen::highResolution() const
{
    return m_global.scaleFactor >= 2.0;
}

int CMapScreen::buttonPx() const
{
    return touchPx(m_global) * 4 / 3;
}

QRect CMapScreen::buttonRect(Button button) const
{
    if (!m_provider)
        return {};
    const int b = buttonPx();
    const int margin = touchPx(m_global) / 4;
    const int gap = std::max(8, b / 5);
    const int x = width() - margin - b;
    const int zoomOutTop = height() - margin - b;
    switch (button) {
    case Button::ZoomOut:
        return m_provider->zoom() > m_provider->minZoom() ? QRect(x, zoomOutTop, b, b) : QRect();
    case Button::ZoomIn:
        return m_provider->zoom() < m_provider->maxZoom() ? QRect(x, zoomOutTop - b - gap, b, b) : QRect();
    case Button::NextMapType:
        return {x, zoomOutTop - 3 * (b + gap) - gap, b, b};
    case Button::MovingMap:
        return {x, zoomOutTop - 4 * (b + gap) - gap, b, b};
    }
    return {};
}

std::optional<QPoint> CMapScreen::screenPointOf(geo::LatLon position) const
{
    if (!m_provider)
        return std::nullopt;
    const auto at = maps::screenPosition(*m_provider, position, m_origin, width(), height());
    if (!at)
        return std::nullopt;
    return QPoint(at->x, at->y) + m_dragBy;
}

const std::vector<CWaypoint>& CMapScreen::waypointsOf(const std::string& code)
{
    auto it = m_waypoints.find(code);
    if (it == m_waypoints.end())
        it = m_waypoints.emplace(code, loadWaypoints(m_global, code)).first;
    return it->second;
}

// The marker of one kind with the type icon inside, and a foot below it
// whose tip marks the position. Made once per kind and size.
const QImage& CMapScreen::markerImage(quint64 kind, int state, const std::function<QPixmap(int)>& icon, int px)
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
    p.end();
    return *m_markers.insert(key, image);
}

// A name with a light halo, readable on any tile; drawn once per text.
const QImage& CMapScreen::labelImage(const QString& text, const QFont& font, int width)
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
                 fm.elidedText(text, Qt::ElideRight, width - 2), palette());
    p.end();
    return *m_labels.insert(key, image);
}

// Collecting, it marks where a record came into or left the view since the
// layer was drawn; drawing, it draws the record where the layer is redrawn.
bool CMapScreen::drawRecord(QPainter& painter, geo::LatLon at, const QImage& marker, const std::string& name,
                            const std::string* parentName, const std::string& code)
{
    const auto point = layerPoint(at);
    if (m_symbolPass == SymbolPass::Collect) {
        const maps::PixelPoint p = point ? *point : [&] {
            const maps::PixelPoint offset = m_provider->pixelOffsetFrom(worldOf(at), m_viewCentre);
            return maps::PixelPoint{m_origin.x + offset.x, m_origin.y + offset.y};
        }();
        const QRect client(QPoint(0, 0), m_tileLayer.size());
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
    if (!name.empty() && m_provider->zoom() > m_provider->waypointZoom() && m_global.settings.names != 0) {
        const int width = r.width + 120;
        const QImage& label = labelImage(QString::fromStdString(name), painter.font(), width);
        painter.drawImage(QPoint(r.x - 60, point->y), label);
        if (parentName && !parentName->empty())
            painter.drawImage(QPoint(r.x - 60, point->y + label.height() - 2),
                              labelImage(QString::fromStdString(*parentName), painter.font(), width));
    }
    return true;
}

namespace {

bool sameTiles(const maps::ComposeOptions& a, const maps::ComposeOptions& b)
{
    return a.mapType == b.mapType && std::equal(std::begin(a.overlays), std::end(a.overlays), std::begin(b.overlays))
           && a.extPaint == b.extPaint && a.background == b.background;
}

QRect toQRect(const maps::Rect& r)
{
    return {r.x, r.y, r.width, r.height};
}

} // namespace

maps::WorldPoint CMapScreen::worldOf(geo::LatLon at)
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

// Where a position lies on the composed layer; nothing outside it.
std::optional<maps::PixelPoint> CMapScreen::layerPoint(geo::LatLon at)
{
    const maps::PixelPoint offset = m_provider->pixelOffsetFrom(worldOf(at), m_viewCentre);
    const maps::PixelPoint p{m_origin.x + offset.x, m_origin.y + offset.y};
    if (p.x < 0 || p.y < 0 || p.x >= m_tileLayer.width() || p.y >= m_tileLayer.height())
        return std::nullopt;
    return p;
}

// The tiles of the view into m_tiles. After a pan the kept picture moves
// along and only what it does not cover is composed: the uncovered edges and
// where the 5 × 5 tiles around the centre tile gained or lost a tile. False
// when everything was composed afresh.
bool CMapScreen::composeTiles(const QSize& size)
{
    const maps::ComposeOptions options = composeOptions();
    const int zoom = m_provider->zoom();
    if (m_worldZoom != zoom) {
        m_world.clear();
        m_worldZoom = zoom;
    }
    m_viewCentre = m_provider->centreWorld();
    const maps::PixelPoint origin = m_composer->tileOrigin(size.width(), size.height());
    const maps::PixelPoint corner = m_provider->pixelOffsetFrom(m_tilesCorner, m_viewCentre);
    const QPoint cornerAt(origin.x + corner.x, origin.y + corner.y);
    const QRect client(QPoint(0, 0), size);
    const QPoint by = cornerAt - m_tilesCornerAt;
    const bool keep = m_tilesKept && !m_tilesPending && m_tiles.size() == size && zoom == m_tilesZoom
                      && sameTiles(options, m_tilesOptions) && std::abs(by.x()) < size.width()
                      && std::abs(by.y()) < size.height();
    if (keep && by.isNull() && origin.x == m_origin.x && origin.y == m_origin.y)
        return true;
    if (!keep) {
        if (m_tiles.size() != size)
            m_tiles = QImage(size, QImage::Format_RGB32);
        QtMapCanvas canvas(m_tiles);
        m_origin = m_composer->composeTiles(canvas, options);
        m_tilesPending = m_composer->downloadsPending();
    } else {
        if (m_tilesBack.size() != size)
            m_tilesBack = QImage(size, QImage::Format_RGB32);
        // The old grid of tiles as it lies now, against the new one.
        const QRect oldGrid = toQRect(maps::MapComposer::tileGridRect(m_origin)).translated(by);
        const QRect newGrid = toQRect(maps::MapComposer::tileGridRect(origin));
        const QRegion stale = (QRegion(client) - QRegion(client.translated(by))) + ((QRegion(oldGrid) ^ QRegion(newGrid)) & client);
        {
            QPainter move(&m_tilesBack);
            move.setCompositionMode(QPainter::CompositionMode_Source);
            move.drawImage(by, m_tiles);
        }
        std::swap(m_tiles, m_tilesBack);
        std::vector<maps::Rect> areas;
        for (const QRect& r : stale)
            areas.push_back({r.x(), r.y(), r.width(), r.height()});
        QtMapCanvas canvas(m_tiles);
        canvas.setClip(stale);
        m_origin = m_composer->composeTiles(canvas, options, areas);
        m_tilesPending = m_composer->downloadsPending();
    }
    m_tilesKept = true;
    m_tilesZoom = zoom;
    m_tilesOptions = options;
    m_tilesCorner = {m_provider->tileLeft(m_viewCentre), m_provider->tileTop(m_viewCentre)};
    const maps::PixelPoint c = m_provider->pixelOffsetFrom(m_tilesCorner, m_viewCentre);
    m_tilesCornerAt = QPoint(m_origin.x + c.x, m_origin.y + c.y);
    return keep;
}

void CMapScreen::composeTileLayer(const QSize& size)
{
    const maps::PixelPoint oldOrigin = m_origin;
    const bool tilesMoved = composeTiles(size);
    const bool cachesOn = m_global.settings.caches != 0;
    bool listReloaded = false;
    if (m_areaChanged == 2) {
        if (cachesOn) {
            // The list follows the visible area, measured from the map centre.
            // Waypoints stay loaded: any change of them announces itself.
            m_reloadingArea = true;
            m_global.list.readCaches();
            m_reloadingArea = false;
            listReloaded = true;
            m_global.notifier.stateChanged(Topic::CacheList);
        }
        m_areaChanged = 0;
        m_loadingBanner = false;
    } else if (m_areaChanged == 1) {
        m_areaChanged = 2;
        m_loadingBanner = cachesOn;
    }

    // A pan within the same centre tile moves every symbol by the same
    // pixels: the layer moves along and only the uncovered edges and the
    // symbols that came into or left the view are drawn again.
    const maps::WorldPoint centreTile{m_provider->tileLeft(m_viewCentre), m_provider->tileTop(m_viewCentre)};
    const std::optional<geo::LatLon> target = m_targetSource ? m_targetSource() : std::nullopt;
    const bool sameTarget = target.has_value() == m_layerTarget.has_value()
                            && (!target || (target->lat == m_layerTarget->lat && target->lon == m_layerTarget->lon));
    const bool move = m_layerKept && tilesMoved && !listReloaded && sameTarget && m_tileLayer.size() == size
                      && m_provider->zoom() == m_layerZoom && centreTile == m_layerCentreTile;
    m_hits.clear();
    m_stale = QRegion();
    m_moveBy = {};
    m_moving = move;
    if (move) {
        m_moveBy = QPoint(m_origin.x - oldOrigin.x, m_origin.y - oldOrigin.y);
        const QRect client(QPoint(0, 0), size);
        m_stale = QRegion(client) - QRegion(client.translated(m_moveBy));
        m_symbolPass = SymbolPass::Collect;
        QPainter unused;
        drawSymbols(unused);
        if (m_layerBack.size() != size)
            m_layerBack = QImage(size, m_tileLayer.format());
        QPainter p(&m_layerBack);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(m_moveBy, m_tileLayer);
        p.setClipRegion(m_stale);
        p.drawImage(0, 0, m_tiles);
        p.end();
        std::swap(m_tileLayer, m_layerBack);
    } else {
        if (m_tileLayer.size() != size || m_tileLayer.format() != m_tiles.format())
            m_tileLayer = QImage(size, m_tiles.format());
        std::memcpy(m_tileLayer.bits(), m_tiles.constBits(), static_cast<std::size_t>(m_tiles.sizeInBytes()));
    }
    m_symbolPass = SymbolPass::Draw;

    QPainter painter(&m_tileLayer);
    if (move)
        painter.setClipRegion(m_stale);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = m_global.scaleFactor;
    const int lineWidth = std::max(1, static_cast<int>(std::lround(m_global.settings.trackWidth * scale)));
    const auto polyline = [&](const std::vector<geo::LatLon>& points, int colour) {
        const std::size_t n = std::min(points.size(), maps::kMaxPolylinePoints);
        m_polygon.clear();
        m_polygon.reserve(static_cast<int>(n));
        for (std::size_t i = 0; i < n; ++i) {
            const maps::PixelPoint offset = m_provider->pixelOffsetFrom(worldOf(points[i]), m_viewCentre);
            m_polygon << QPoint(m_origin.x + offset.x, m_origin.y + offset.y);
        }
        painter.setPen(QPen(colourOf(maps::rgbFromSetting(colour)), lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        if (!move || n < 2) {
            painter.drawPolyline(m_polygon);
            return static_cast<int>(n);
        }
        // Only the runs of segments that reach into the redrawn parts, as
        // one path so that crossings are not drawn twice; the ends of the
        // runs lie outside those parts.
        const int reach = lineWidth + 2;
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
            painter.drawPath(runs);
        return static_cast<int>(n);
    };
    m_trackSeen.clear();
    if (m_global.gpsServices.trackLogger) {
        for (const TrackPoint& p : m_global.gpsServices.trackLogger->recentPoints(maps::kMaxPolylinePoints - 1))
            m_trackSeen.push_back({p.lat, p.lon});
        m_shown.trackPoints = polyline(m_trackSeen, m_global.settings.trackColor);
        polyline(m_global.gpsServices.trackLogger->route, m_global.settings.routeColor);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawSymbols(painter);
    m_layerKept = true;
    m_layerZoom = m_provider->zoom();
    m_layerCentreTile = centreTile;
    m_layerTarget = target;
}

// The square a cache or waypoint covers with its icon and names.
QRect CMapScreen::recordBounds(maps::PixelPoint at) const
{
    const maps::Rect r = maps::recordIconRect(at, highResolution());
    return QRect(QPoint(r.x - 61, r.y - 1), QPoint(r.x + r.width + 61, at.y + 2 * m_labelHeight + 1));
}

void CMapScreen::drawSymbols(QPainter& painter)
{
    const Settings& s = m_global.settings;
    const bool high = highResolution();
    const int px = high ? 40 : 20;
    const bool waypointZoom = m_provider->zoom() > m_provider->waypointZoom();
    const bool draw = m_symbolPass == SymbolPass::Draw;
    if (draw) {
        QFont font = painter.font();
        font.setPixelSize(std::max(10, static_cast<int>(7 * m_global.scaleFactor)));
        painter.setFont(font);
        m_labelHeight = QFontMetrics(font).height() + 2;
    }
    m_shown.cachesDrawn = 0;
    m_shown.waypointsDrawn = 0;

    const auto drawWaypoints = [&](const CGeocache& cache) {
        for (const CWaypoint& w : waypointsOf(cache.code)) {
            if (w.lat == 0.0 && w.lon == 0.0)
                continue;
            const QImage& marker = markerImage(2ULL << 56 | static_cast<quint16>(w.type), markerState(cache),
                                               [&w](int size) { return waypointIcon(w.type, size); }, px);
            if (drawRecord(painter, {w.lat, w.lon}, marker, w.name, &cache.name, cache.code))
                ++m_shown.waypointsDrawn;
        }
    };
    const auto drawCache = [&](const CGeocache& cache) {
        const quint64 kind = 1ULL << 56 | static_cast<quint64>(static_cast<quint16>(cache.type)) << 24
                             | static_cast<quint64>(static_cast<quint16>(cache.status)) << 8 | (cache.found != 0 ? 1 : 0);
        const QImage& marker = markerImage(kind, markerState(cache), [&cache](int size) {
            return cacheIcon(cache.type, cache.status, cache.found != 0, size);
        }, px);
        return drawRecord(painter, {cache.lat, cache.lon}, marker, cache.name, nullptr, cache.code);
    };

    if (s.caches != 0) {
        for (const auto& cache : m_global.list.caches)
            if (drawCache(*cache))
                ++m_shown.cachesDrawn;
        if (waypointZoom && s.showWpts == 2)
            for (const auto& cache : m_global.list.caches)
                drawWaypoints(*cache);
        if (const CGeocache* open = m_global.list.currentCache()) {
            drawCache(*open);
            if (waypointZoom && s.showWpts == 1)
                drawWaypoints(*open);
        }
    }
    if (const auto target = m_targetSource ? m_targetSource() : std::nullopt) {
        const int r = px / 3;
        const int pen = std::max(2, r / 3);
        const maps::PixelPoint offset = m_provider->pixelOffsetFrom(worldOf(*target), m_viewCentre);
        const QPoint at(m_origin.x + offset.x, m_origin.y + offset.y);
        const QRect client(QPoint(0, 0), m_tileLayer.size());
        const bool shown = client.contains(at);
        const QRect bounds = QRect(at, at).adjusted(-r - pen, -r - pen, r + pen, r + pen);
        if (!draw && shown != client.contains(at - m_moveBy))
            m_stale += bounds;
        if (draw && shown && (!m_moving || m_stale.intersects(bounds))) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(Qt::white, pen));
            painter.setBrush(QColor(220, 30, 30));
            painter.drawEllipse(at, r, r);
            painter.setRenderHint(QPainter::Antialiasing, false);
        }
    }
}

void CMapScreen::drawButtons(QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    const auto key = [&](const QRect& r, bool highlighted) {
        QColor base = highlighted ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
        base.setAlpha(225);
        painter.setPen(QPen(pal.color(QPalette::Text), std::max(1, r.width() / 30)));
        painter.setBrush(base);
        painter.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), r.width() / 6.0, r.width() / 6.0);
        painter.setPen(QPen(highlighted ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text),
                            std::max(2, r.width() / 10), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
    };
    if (const QRect r = buttonRect(Button::ZoomIn); !r.isEmpty()) {
        key(r, false);
        const int a = r.width() / 4;
        painter.drawLine(r.center() + QPoint(-a, 0), r.center() + QPoint(a, 0));
        painter.drawLine(r.center() + QPoint(0, -a), r.center() + QPoint(0, a));
    }
    if (const QRect r = buttonRect(Button::ZoomOut); !r.isEmpty()) {
        key(r, false);
        const int a = r.width() / 4;
        painter.drawLine(r.center() + QPoint(-a, 0), r.center() + QPoint(a, 0));
    }
    if (const QRect r = buttonRect(Button::NextMapType); !r.isEmpty()) {
        key(r, false);
        // Two stacked sheets: another map below this one.
        const QPointF c = QRectF(r).center();
        const double w = r.width() * 0.28, h = r.width() * 0.13;
        for (const double dy : {h * 0.8, -h * 0.6}) {
            QPolygonF sheet;
            sheet << c + QPointF(-w, dy) << c + QPointF(0, dy - h) << c + QPointF(w, dy) << c + QPointF(0, dy + h);
            painter.setBrush(dy > 0 ? pal.color(QPalette::Mid) : pal.color(QPalette::Base));
            painter.drawPolygon(sheet);
        }
    }
    if (const QRect r = buttonRect(Button::MovingMap); !r.isEmpty()) {
        const bool on = m_global.settings.movingMap != 0;
        key(r, on);
        // A cross hair: the map follows the position while it is lit.
        const int a = r.width() / 4;
        const QPoint c = r.center();
        painter.drawEllipse(c, a * 2 / 3, a * 2 / 3);
        painter.drawLine(c + QPoint(-a - a / 3, 0), c + QPoint(-a / 3, 0));
        painter.drawLine(c + QPoint(a / 3, 0), c + QPoint(a + a / 3, 0));
        painter.drawLine(c + QPoint(0, -a - a / 3), c + QPoint(0, -a / 3));
        painter.drawLine(c + QPoint(0, a / 3), c + QPoint(0, a + a / 3));
    }
    painter.restore();
}

void CMapScreen::drawScaleBar(QPainter& painter)
{
    if (m_global.settings.scale == 0)
        return;
    const maps::ScaleBar bar = m_provider->scale();
    if (bar.pixels <= 0)
        return;
    const double scale = m_global.scaleFactor;
    const int left = 10 + static_cast<int>(40 * scale);
    const int y = height() - static_cast<int>(21 * scale);
    const int thick = std::max(3, static_cast<int>(2 * scale));
    painter.save();
    const QPalette pal = palette();
    painter.setPen(QPen(pal.color(QPalette::Base), thick + 4, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(left - 2, y, left + bar.pixels + 2, y);
    painter.setPen(QPen(pal.color(QPalette::Text), thick, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(left, y, left + bar.pixels, y);
    painter.drawLine(left, y - thick * 2, left, y + thick);
    painter.drawLine(left + bar.pixels, y - thick * 2, left + bar.pixels, y + thick);
    QFont font = painter.font();
    font.setPixelSize(std::max(12, static_cast<int>(8 * scale)));
    font.setBold(true);
    painter.setFont(font);
    const int line = painter.fontMetrics().height();
    drawHaloText(painter, QRect(left, y - thick * 2 - line, std::max(bar.pixels, line * 6), line),
                 Qt::AlignLeft | Qt::AlignBottom, QString::fromStdString(maps::scaleText(bar.metres)), pal);
    painter.restore();
}

void CMapScreen::drawPositionMarker(QPainter& painter)
{
    const GpsSnapshot s = m_global.gpsServices.gps ? m_global.gpsServices.gps->snapshot() : GpsSnapshot{};
    const bool fix = s.hasPosition();
    const geo::LatLon live = geo::referencePosition(m_global.reference.context(), true);
    const double scale = m_global.scaleFactor;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    m_shown.targetLine = false;
    if (const auto target = m_targetSource ? m_targetSource() : std::nullopt; target && fix) {
        const auto from = maps::polylinePixels(*m_provider, {live, *target}, m_origin);
        painter.setPen(QPen(QColor(255, 0, 0), std::max(2, static_cast<int>(std::lround(2 * scale)))));
        painter.drawLine(QPoint(from[0].x, from[0].y) + m_dragBy, QPoint(from[1].x, from[1].y) + m_dragBy);
        m_shown.targetLine = true;
    }
    m_shown.marker = screenPointOf(live);
    if (m_shown.marker) {
        const QPoint at = *m_shown.marker;
        if (m_global.settings.arrow != 0 && fix) {
            QPolygonF arrow;
            arrow << QPointF(0, -12) << QPointF(-6, 12) << QPointF(6, 12);
            QTransform t;
            t.translate(at.x(), at.y());
            t.rotate(s.courseDeg);
            t.scale(scale, scale);
            painter.setPen(QPen(Qt::white, std::max(1.0, scale)));
            painter.setBrush(QColor(0, 0, 255));
            painter.drawPolygon(t.map(arrow));
        } else {
            const QColor brushes[3] = {fix ? QColor(0, 0, 255) : s.receiving ? QColor(255, 140, 0) : QColor(220, 0, 0),
                                       fix ? QColor(60, 60, 255) : QColor(255, 60, 60), QColor(255, 255, 255)};
            painter.setPen(Qt::NoPen);
            painter.setBrush(brushes[m_phase]);
            const double r = (6 - m_phase) * scale;
            painter.drawEllipse(QPointF(at), r, r);
        }
    }
    m_phase = (m_phase + 1) % 3;
    painter.restore();
}

void CMapScreen::drawBanner(QPainter& painter)
{
    QString text;
    if (m_loadingBanner)
        text = langText(m_global, kTextLoading);
    else if (m_nameBannerCount > 0 && m_provider->mapType(m_global.settings.mapType))
        text = QString::fromStdString(m_provider->mapType(m_global.settings.mapType)->name);
    else if (m_notice)
        text = *m_notice;
    m_shown.banner = text;
    if (text.isEmpty())
        return;
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(std::max(14, static_cast<int>(9 * m_global.scaleFactor)));
    font.setBold(true);
    painter.setFont(font);
    const QFontMetrics fm = painter.fontMetrics();
    const int pad = fm.height() / 3;
    const int maxWidth = width() - 2 * pad;
    const QString shown = fm.elidedText(text, Qt::ElideRight, maxWidth - 2 * pad);
    const int w = fm.horizontalAdvance(shown) + 2 * pad;
    const QRect box((width() - w) / 2, static_cast<int>(20 * m_global.scaleFactor), w, fm.height() + pad);
    const QColor fill = colourOf(maps::rgbFromSetting(m_global.settings.trackColor));
    painter.fillRect(box, fill);
    const double luminance = 0.2126 * fill.red() + 0.7152 * fill.green() + 0.0722 * fill.blue();
    painter.setPen(luminance > 128 ? Qt::black : Qt::white);
    painter.drawText(box, Qt::AlignCenter, shown);
    painter.restore();
}

void CMapScreen::paintFrame(QPainter& painter)
{
    if (!m_provider || !m_composer) {
        painter.fillRect(rect(), palette().color(QPalette::Window));
        return;
    }
    const QSize size = this->size();
    // Moving map: the view jumps to the position once it nears the edge.
    const GpsSnapshot s = m_global.gpsServices.gps ? m_global.gpsServices.gps->snapshot() : GpsSnapshot{};
    if (m_global.settings.movingMap != 0 && s.hasPosition() && !m_dragging) {
        const maps::PixelPoint centre = m_provider->pixelOffset(m_provider->centreWorld());
        const maps::PixelPoint live = m_provider->pixelOffset(m_provider->latLonToWorld(s.latitude, s.longitude));
        if (maps::movingMapJumps(live, centre, size.width(), size.height())) {
            m_provider->setCentre({s.latitude, s.longitude});
            m_tilesDirty = true;
            m_areaChanged = 1;
        }
    }
    // A new track point means the track in the layer is stale.
    if (m_global.gpsServices.trackLogger) {
        const auto newest = m_global.gpsServices.trackLogger->recentPoints(1);
        if (!newest.empty()
            && (m_trackSeen.empty() || newest.front().lat != m_trackSeen.front().lat || newest.front().lon != m_trackSeen.front().lon))
            changed();
    }
    if (m_tilesDirty || m_tileLayer.size() != size) {
        composeTileLayer(size);
        m_tilesDirty = (m_tilesPending && m_global.netClient.downloadsOn()) || m_areaChanged != 0;
        if (m_areaChanged == 2)
            QTimer::singleShot(0, this, qOverload<>(&QWidget::update));
    }
    if (!m_dragBy.isNull())
        painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.drawImage(m_dragBy, m_tileLayer);
    drawButtons(painter);
    drawScaleBar(painter);
    drawPositionMarker(painter);
    drawBanner(painter);
}

QImage CMapScreen::renderFrame()
{
    // One buffer serves frame after frame while callers let go of them.
    if (m_frame.size() != size() || !m_frame.isDetached())
        m_frame = QImage(size(), QImage::Format_RGB32);
    {
        QPainter painter(&m_frame);
        paintFrame(painter);
    }
    return m_frame;
}

void CMapScreen::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintFrame(painter);
}

void CMapScreen::resizeEvent(QResizeEvent* event)
{
    Screen::resizeEvent(event);
    m_tilesDirty = true;
}

void CMapScreen::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressAt = event->position().toPoint();
    m_dragging = false;
    m_dragBy = {};
}

void CMapScreen::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressAt)
        return;
    const QPoint by = event->position().toPoint() - *m_pressAt;
    if (!m_dragging && by.manhattanLength() > touchPx(m_global) / 4)
        m_dragging = true;
    if (m_dragging) {
        // The composed layer follows the finger; the tiles are composed
        // again when the finger lifts.
        m_dragBy = by;
        update();
    }
}

void CMapScreen::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_pressAt || event->button() != Qt::LeftButton)
        return;
    const QPoint press = *m_pressAt;
    const QPoint release = event->position().toPoint();
    m_pressAt.reset();
    const bool dragged = m_dragging || (release - press).manhattanLength() > touchPx(m_global) / 4;
    m_dragging = false;
    m_dragBy = {};
    if (dragged) {
        panBy(press.x() - release.x(), press.y() - release.y());
    } else {
        tapAt(release);
        changed();
    }
}

void CMapScreen::tapAt(QPoint at)
{
    const int reach = static_cast<int>(20 * m_global.scaleFactor);
    const Button order[] = {Button::ZoomIn, Button::ZoomOut, Button::NextMapType, Button::MovingMap};
    // A key hit squarely wins; then the keys' enlarged squares.
    for (const int grow : {0, reach})
        for (const Button b : order) {
            const QRect r = buttonRect(b);
            if (r.isEmpty() || !r.adjusted(-grow, -grow, grow, grow).contains(at))
                continue;
            switch (b) {
            case Button::ZoomIn: zoomIn(); break;
            case Button::ZoomOut: zoomOut(); break;
            case Button::NextMapType: nextMapType(); break;
            case Button::MovingMap: setMovingMap(m_global.settings.movingMap == 0); break;
            }
            return;
        }
    // The icon drawn last lies on top.
    for (auto it = m_hits.rbegin(); it != m_hits.rend(); ++it) {
        if (!it->rect.contains(at))
            continue;
        for (const auto& cache : m_global.list.caches)
            if (cache->code == it->code) {
                m_global.list.setCurrentCache(*cache);
                emit cacheTapped(QString::fromStdString(it->code));
                return;
            }
        if (const CGeocache* open = m_global.list.currentCache(); open && open->code == it->code) {
            emit cacheTapped(QString::fromStdString(it->code));
            return;
        }
    }
    if (m_global.settings.mapClick != 0) {
        const geo::LatLon position = latLonAt(at);
        emit mapClicked(position.lat, position.lon);
    }
}

void CMapScreen::wheelEvent(QWheelEvent* event)
{
    if (event->angleDelta().y() > 0)
        zoomIn();
    else if (event->angleDelta().y() < 0)
        zoomOut();
}

void CMapScreen::keyPressEvent(QKeyEvent* event)
{
    const int step = std::max(width(), height()) / 4;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomIn(); break;
    case Qt::Key_Minus: zoomOut(); break;
    case Qt::Key_Left: panBy(-step, 0); break;
    case Qt::Key_Right: panBy(step, 0); break;
    case Qt::Key_Up: panBy(0, -step); break;
    case Qt::Key_Down: panBy(0, step); break;
    default: Screen::keyPressEvent(event); break;
    }
}

void CMapScreen::onTopicChanged(Topic topic)
{
    switch (topic) {
    case Topic::Gps:
        // The frame looks for a new track point: the receiver may announce
        // the fix before the logger has taken it.
        update();
        break;
    case Topic::CacheList:
        if (!m_reloadingArea) {
            m_waypoints.clear();
            changed();
        }
        break;
    case Topic::Track:
        changed();
        break;
    case Topic::Settings:
        // Also sent each time the download worker starts or ends: a new
        // composition here would ask again at once for a tile the server
        // refused.
        update();
        break;
    case Topic::Counters:
        break;
    }
}

void CMapScreen::onDownloadProgressed()
{
    if (m_composer && (m_tilesPending || m_composer->downloadsPending()))
        invalidateTiles();
}

void CMapScreen::fillMenu(QMenu& menu)
{
    Settings& s = m_global.settings;
    QMenu* sources = menu.addMenu(langText(m_global, kTextSources));
    auto* sourceGroup = new QActionGroup(sources);
    for (const auto& [index, source] : m_global.mapSources) {
        QAction* a = sources->addAction(QString::fromStdString(source.name));
        a->setCheckable(true);
        a->setChecked(index == s.mapSource);
        sourceGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i = index] { selectSource(i); });
    }
    if (m_provider) {
        QMenu* types = menu.addMenu(langText(m_global, kTextMapTypes));
        auto* typeGroup = new QActionGroup(types);
        const auto& basic = m_provider->source().basic;
        for (int i = 0; i < static_cast<int>(basic.size()); ++i) {
            QAction* a = types->addAction(QString::fromStdString(basic[static_cast<std::size_t>(i)].name));
            a->setCheckable(true);
            a->setChecked(i == s.mapType);
            typeGroup->addAction(a);
            connect(a, &QAction::triggered, this, [this, i] { selectMapType(i); });
        }
        const auto& overlay = m_provider->source().overlay;
        if (!overlay.empty()) {
            QMenu* overlays = menu.addMenu(langText(m_global, kTextOverlays));
            const int on[3] = {s.mapType1, s.mapType2, s.mapType3};
            for (int i = 0; i < static_cast<int>(overlay.size()) && i < 3; ++i) {
                QAction* a = overlays->addAction(QString::fromStdString(overlay[static_cast<std::size_t>(i)].name));
                a->setCheckable(true);
                a->setChecked(on[i] != 0);
                connect(a, &QAction::toggled, this, [this, i](bool checked) { setOverlay(i, checked); });
            }
        }
    }
    QAction* moving = menu.addAction(langText(m_global, kTextMovingMap));
    moving->setCheckable(true);
    moving->setChecked(s.movingMap != 0);
    connect(moving, &QAction::toggled, this, &CMapScreen::setMovingMap);
    QAction* caches = menu.addAction(langText(m_global, kTextShowCaches));
    caches->setCheckable(true);
    caches->setChecked(s.caches != 0);
    connect(caches, &QAction::toggled, this, [this](bool on) {
        m_global.settings.caches = on ? 1 : 0;
        m_global.SaveSettings(SettingsGroup::Map);
        m_areaChanged = on ? 1 : 0;
        changed();
    });
    QAction* download = menu.addAction(langText(m_global, kTextDownload), this, &CMapScreen::openDownloadDialog);
    download->setEnabled(m_provider && m_provider->canStoreDownloads());
    menu.addSeparator();
}

CMapScreen* openMapScreen(MainWindow& window, CGlobalData& global)
{
    auto* screen = new CMapScreen(global, window.notifier());
    window.pushScreen(screen);
    return screen;
}

} // namespace tw
