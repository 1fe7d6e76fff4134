// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CMapScreen.h"

#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "geo/ReferencePosition.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "screens/CMapDnlDlg.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/MapPicture.h"
#include "screens/QtNotifier.h"
#include "screens/Theme.h"

#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tw {
namespace {

constexpr int kTextLoading = 144;
constexpr int kTextMyPosition = 720;
constexpr int kTextSources = 721;
constexpr int kTextMapTypes = 722;
constexpr int kTextOverlays = 723;
constexpr int kTextMovingMap = 724;
constexpr int kTextDownload = 725;
constexpr int kTextNoBulkDownload = 1300;
constexpr int kTextNoPosition = 726;
constexpr int kTextShowCaches = 743;
constexpr int kTextInvalidConfig = 956;
constexpr int kTextTilesUnreadable = 1100;
constexpr int kTextMapStyle = 1310;
constexpr int kTextStyleOverlays = 1311;
constexpr int kTextNoRenderer = 1313;
constexpr int kTextMapUnreadable = 1314;
constexpr int kTextThemeFaults = 1315;
constexpr int kTextNightTheme = 1365;

constexpr int kBlinkMs = 500;

} // namespace

CMapScreen::CMapScreen(CGlobalData& global, QtNotifier& notifier, QWidget* parent)
    : Screen(global, parent),
      m_notifier(notifier),
      m_area(global.list, global.notifier),
      m_symbols(global.settings, m_area, [&global](const std::string& code) { return loadWaypoints(global, code); })
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
    m_tiles.reset();
    m_composer.reset();
    m_renderer.reset();
    m_provider.reset();
    m_tileProblem.clear();
    m_unreadableSaid = 0;
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
    m_tiles = std::make_unique<MapTileBuffer>(*m_provider, *m_composer);
    if (m_provider->storage() == maps::TileStorage::Vector)
        attachRenderer();
    attachHeights();
    m_symbols.attach(*m_provider);
    areaChanged();
    changed();
    return true;
}

void CMapScreen::attachHeights()
{
    const std::string& folder = m_global.settings.elevationFolder;
    if (folder != m_heightsFolder || (!m_heights && !folder.empty())) {
        m_heights.reset();
        m_heightsFolder = folder;
        if (!folder.empty()) {
            m_heights = std::make_unique<maps::ElevationFiles>(m_global.paths.deviceFolder(folder));
            for (const auto& file : m_heights->unusableFiles())
                m_global.Log("Elevation file of another size, not used: ", file.string());
        }
    }
    if (m_composer)
        m_composer->setElevation(m_heights.get());
}

void CMapScreen::attachRenderer()
{
    const maps::MapSource& source = m_provider->source();
    m_mapTheme = m_global.settings.mapTheme;
    if (m_global.tileRenderers) {
        const maps::VectorMapSettings settings =
            vectorMapSettingsOf(m_global, source, static_cast<float>(m_global.scaleFactor));
        m_themeFile = settings.themeFile.string();
        m_renderer = m_global.tileRenderers(settings);
    }
    if (!m_renderer) {
        // The source stays chosen, so that another can be picked from the menu.
        m_tileProblem = QString::fromStdString(text::fillIn(
            m_global.lang.textOr(kTextNoRenderer, "This build cannot draw vector maps: %s shows nothing."), {source.name}));
        m_global.Log(m_tileProblem.toStdString());
        return;
    }
    // Runs on the window thread once queued tiles are drawn.
    m_renderer->setReadyCallback([this] { invalidateTiles(); });
    m_composer->setRenderer(m_renderer.get());
    for (const maps::UnreadableMapFile& file : m_renderer->unreadableMaps()) {
        const std::string sentence = m_global.lang.textOr(kTextMapUnreadable, "The map file %s cannot be read (%s).");
        m_global.Log(text::fillIn(sentence, {file.path.string(), maps::mapFileErrorName(file.error)}));
        m_global.prompter.message(
            text::fillIn(sentence, {file.path.filename().string(), maps::mapFileErrorName(file.error)}),
            MessageIcon::Exclamation);
    }
    if (!m_renderer->themeProblems().empty()) {
        for (const maps::ThemeProblem& problem : m_renderer->themeProblems())
            m_global.Log("Map theme " + m_themeFile + ": ", problem.detail);
        const std::string name = m_themeFile.empty() ? std::string("(built-in)") : std::filesystem::path(m_themeFile).filename().string();
        m_global.prompter.message(
            text::fillIn(m_global.lang.textOr(kTextThemeFaults, "The map theme %s has faults; what could be read is "
                                                                 "used. The log lists them."),
                         {name}),
            MessageIcon::Information);
    }
}

std::string CMapScreen::chosenStyle() const
{
    const Settings& s = m_global.settings;
    if (!m_renderer)
        return {};
    const maps::StyleMenu& menu = m_renderer->styleMenu();
    if (s.vectorStyleTheme == m_themeFile && !s.vectorStyle.empty()) {
        const maps::StyleLayer* layer = menu.layer(s.vectorStyle);
        if (layer && layer->visible)
            return s.vectorStyle;
    }
    return menu.defaultValue;
}

void CMapScreen::applyStyle()
{
    Settings& s = m_global.settings;
    s.vectorStyleTheme = m_themeFile;
    m_renderer->setStyle(s.vectorStyle, readOverlaySwitches(s.vectorOverlays));
    m_global.SaveSettings(SettingsGroup::Map);
    invalidateTiles(true);
}

void CMapScreen::selectStyle(const std::string& style)
{
    if (!m_renderer)
        return;
    Settings& s = m_global.settings;
    if (s.vectorStyleTheme != m_themeFile)
        s.vectorOverlays.clear(); // the switches of another theme
    s.vectorStyle = style;
    applyStyle();
}

void CMapScreen::setStyleOverlay(const std::string& overlay, bool on)
{
    if (!m_renderer)
        return;
    Settings& s = m_global.settings;
    if (s.vectorStyleTheme != m_themeFile) {
        s.vectorOverlays.clear();
        s.vectorStyle = chosenStyle();
    }
    auto switches = readOverlaySwitches(s.vectorOverlays);
    switches[overlay] = on;
    s.vectorOverlays = writeOverlaySwitches(switches);
    applyStyle();
}

void CMapScreen::fillStyleMenu(QMenu& menu)
{
    if (!m_renderer || m_renderer->styleMenu().layers.empty())
        return;
    const maps::StyleMenu& styleMenu = m_renderer->styleMenu();
    const std::string& language = m_global.settings.language;
    const std::string chosen = chosenStyle();
    QMenu* styles = menu.addMenu(langText(m_global, kTextMapStyle));
    styles->setObjectName(QStringLiteral("mapStyles"));
    auto* group = new QActionGroup(styles);
    for (const maps::StyleMenuEntry& entry : styleMenu.styles(language)) {
        QAction* a = styles->addAction(QString::fromStdString(entry.name));
        a->setCheckable(true);
        a->setChecked(entry.id == chosen);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, id = entry.id] { selectStyle(id); });
    }
    const bool ownSwitches = m_global.settings.vectorStyleTheme == m_themeFile;
    const auto overlays = styleMenu.overlays(
        chosen, language, ownSwitches ? readOverlaySwitches(m_global.settings.vectorOverlays) : std::map<std::string, bool>{});
    if (overlays.empty())
        return;
    QMenu* switches = menu.addMenu(langText(m_global, kTextStyleOverlays));
    switches->setObjectName(QStringLiteral("mapStyleOverlays"));
    for (const maps::StyleMenuEntry& entry : overlays) {
        QAction* a = switches->addAction(QString::fromStdString(entry.name));
        a->setCheckable(true);
        a->setChecked(entry.enabled);
        connect(a, &QAction::toggled, this, [this, id = entry.id](bool on) { setStyleOverlay(id, on); });
    }
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
    areaChanged();
    changed();
}

void CMapScreen::zoomOut()
{
    if (!m_provider || m_provider->zoom() <= m_provider->minZoom())
        return;
    m_composer->zoomOut();
    areaChanged();
    changed();
}

void CMapScreen::panBy(int dx, int dy)
{
    if (!m_provider)
        return;
    m_provider->panByPixels(dx, dy);
    areaChanged();
    moved();
}

void CMapScreen::centreOn(geo::LatLon position)
{
    if (!m_provider)
        return;
    m_provider->setCentre(position);
    areaChanged();
    moved();
}

void CMapScreen::showPlace(geo::LatLon position)
{
    if (!m_provider)
        return;
    m_provider->setCentre(position);
    moved();
}

void CMapScreen::areaChanged()
{
    m_area.areaChanged();
}

void CMapScreen::moved()
{
    m_tilesDirty = true;
    update();
}

void CMapScreen::changed()
{
    m_symbols.invalidate();
    moved();
}

void CMapScreen::invalidateTiles(bool decodedToo)
{
    if (decodedToo && m_composer)
        m_composer->dropDecodedTiles();
    if (m_tiles)
        m_tiles->drop();
    changed();
}

void CMapScreen::openDownloadDialog()
{
    if (!m_provider || !m_provider->canStoreDownloads())
        return;
    if (!m_provider->source().bulkDownload) {
        m_global.prompter.message(text::fillIn(m_global.text(kTextNoBulkDownload), {m_provider->source().name}),
                                  MessageIcon::Information);
        return;
    }
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
    maps::ComposeOptions o = composeOptionsOf({s.mapType, s.mapType1, s.mapType2, s.mapType3}, s.extPaint != 0, palette());
    if (m_tiles)
        o.background = m_tiles->look().background(palette());
    return o;
}

QRect CMapScreen::buttonRect(Button button) const
{
    if (!m_provider)
        return {};
    return mapKeyRect(view(), button, m_provider->zoom() > m_provider->minZoom(), m_provider->zoom() < m_provider->maxZoom());
}

std::optional<QPoint> CMapScreen::screenPointOf(geo::LatLon position) const
{
    if (!m_provider)
        return std::nullopt;
    const auto at = maps::screenPosition(*m_provider, position, m_tiles->origin(), width(), height());
    if (!at)
        return std::nullopt;
    return QPoint(at->x, at->y) + m_dragBy;
}

// The moving map: the view jumps to the position once it nears the edge.
void CMapScreen::followPosition(const GpsSnapshot& s)
{
    if (m_global.settings.movingMap == 0 || !s.hasPosition() || m_dragging)
        return;
    const maps::PixelPoint centre = m_provider->pixelOffset(m_provider->centreWorld());
    const maps::PixelPoint live = m_provider->pixelOffset(m_provider->latLonToWorld(s.latitude, s.longitude));
    if (maps::movingMapJumps(live, centre, width(), height())) {
        m_provider->setCentre({s.latitude, s.longitude});
        m_tilesDirty = true;
        m_area.areaChanged();
    }
}

// The tiles, then the track, the route and the symbols over them.
void CMapScreen::composeLayers()
{
    m_tiles->setLook(appliedTheme());
    const maps::PixelPoint oldOrigin = m_tiles->origin();
    const bool tilesMoved = m_tiles->compose(size(), composeOptions());
    MapSymbolLayer::Lines lines;
    if (const CTrackLogger* logger = m_global.gpsServices.trackLogger.get()) {
        for (const TrackPoint& p : logger->recentPoints(maps::kMaxPolylinePoints - 1))
            lines.track.push_back({p.lat, p.lon});
        lines.route = &logger->route;
    }
    lines.target = m_targetSource ? m_targetSource() : std::nullopt;
    m_symbols.compose(*m_tiles, tilesMoved, oldOrigin, std::move(lines), m_global.scaleFactor, palette(), ink());
    m_shown.cachesDrawn = m_symbols.cachesDrawn();
    m_shown.waypointsDrawn = m_symbols.waypointsDrawn();
    m_shown.trackPoints = m_symbols.trackPoints();
    // The frame that says the list is loading is composed: the list is read
    // once it is on the screen.
    if (m_area.frameComposed())
        QTimer::singleShot(0, this, &CMapScreen::reloadArea);
}

void CMapScreen::reloadArea()
{
    m_area.reload(m_global.settings.caches != 0);
    changed();
}

MapInk CMapScreen::ink() const
{
    const Settings& s = m_global.settings;
    return mapInk(appliedTheme(), colourOf(maps::rgbFromSetting(s.trackColor)), colourOf(maps::rgbFromSetting(s.routeColor)));
}

MapView CMapScreen::view() const
{
    return {size(), palette(), m_global.scaleFactor, touchPx(m_global), ink()};
}

PositionMark CMapScreen::positionMark()
{
    const GpsSnapshot s = m_global.gpsServices.gps ? m_global.gpsServices.gps->snapshot() : GpsSnapshot{};
    const geo::LatLon live = geo::referencePosition(m_global.reference.context(), true);
    PositionMark mark;
    mark.fix = s.hasPosition();
    mark.receiving = s.receiving;
    mark.arrow = m_global.settings.arrow != 0;
    mark.courseDeg = s.courseDeg;
    mark.phase = m_phase;
    m_phase = (m_phase + 1) % 3;
    if (const auto target = m_targetSource ? m_targetSource() : std::nullopt; target && mark.fix) {
        const auto from = maps::polylinePixels(*m_provider, {live, *target}, m_tiles->origin());
        mark.targetLine = {QPoint(from[0].x, from[0].y) + m_dragBy, QPoint(from[1].x, from[1].y) + m_dragBy};
    }
    mark.at = screenPointOf(live);
    return mark;
}

QString CMapScreen::bannerText() const
{
    if (m_area.pending() && m_global.settings.caches != 0)
        return langText(m_global, kTextLoading);
    if (m_nameBannerCount > 0 && m_provider->mapType(m_global.settings.mapType))
        return QString::fromStdString(m_provider->mapType(m_global.settings.mapType)->name);
    return m_notice.value_or(m_tileProblem);
}

void CMapScreen::reportUnreadableTiles()
{
    const auto& files = m_provider->unreadableFiles();
    for (; m_unreadableSaid < files.size(); ++m_unreadableSaid) {
        const maps::UnreadableTileFile& file = files[m_unreadableSaid];
        const std::string sentence = m_global.lang.textOr(kTextTilesUnreadable, "The map tiles in %s cannot be read.");
        // The banner has one line: the file's name; the log has its path and why.
        m_tileProblem = QString::fromStdString(text::fillIn(sentence, {file.path.filename().string()}));
        m_global.Log(text::fillIn(sentence, {file.path.string()}), " (" + file.reason + ")");
    }
}

void CMapScreen::paintFrame(QPainter& painter)
{
    if (!m_provider || !m_composer) {
        painter.fillRect(rect(), palette().color(QPalette::Window));
        return;
    }
    followPosition(m_global.gpsServices.gps ? m_global.gpsServices.gps->snapshot() : GpsSnapshot{});
    // A new track point means the track in the layer is stale.
    if (m_global.gpsServices.trackLogger) {
        const auto newest = m_global.gpsServices.trackLogger->recentPoints(1);
        const auto& seen = m_symbols.track();
        if (!newest.empty() && (seen.empty() || newest.front().lat != seen.front().lat || newest.front().lon != seen.front().lon))
            changed();
    }
    if (m_tilesDirty || m_symbols.image().size() != size()) {
        composeLayers();
        reportUnreadableTiles();
        m_tilesDirty = (m_tiles->pending() && m_global.netClient.downloadsOn()) || m_area.pending();
    }
    if (!m_dragBy.isNull())
        painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.drawImage(m_dragBy, m_symbols.image());
    const MapView v = view();
    drawMapKeys(painter, v, m_provider->zoom() > m_provider->minZoom(), m_provider->zoom() < m_provider->maxZoom(),
                m_global.settings.movingMap != 0);
    if (m_global.settings.scale != 0)
        drawScaleBar(painter, v, m_provider->scale());
    const PositionMark mark = positionMark();
    drawPositionMark(painter, v, mark);
    m_shown.marker = mark.at;
    m_shown.targetLine = mark.targetLine.has_value();
    m_shown.banner = bannerText();
    drawBanner(painter, v, m_shown.banner);
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

void CMapScreen::changeEvent(QEvent* event)
{
    Screen::changeEvent(event);
    // Another theme: the tiles take its look, the symbols its colours.
    if (event->type() == QEvent::PaletteChange)
        invalidateTiles();
}

void CMapScreen::toggleNight()
{
    chooseTheme(m_global, toggledTheme(m_global.settings));
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
    for (const std::string& code : m_symbols.codesAt(at)) {
        for (const auto& cache : m_global.list.caches)
            if (cache->code == code) {
                m_global.list.setCurrentCache(*cache);
                emit cacheTapped(QString::fromStdString(code));
                return;
            }
        if (const CGeocache* open = m_global.list.currentCache(); open && open->code == code) {
            emit cacheTapped(QString::fromStdString(code));
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
    case Qt::Key_Return:
    case Qt::Key_Enter: emit listingAsked(); break;
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
        if (!m_area.reloading()) {
            m_symbols.forgetWaypoints();
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
        if (m_composer && m_global.settings.elevationFolder != m_heightsFolder) {
            attachHeights();
            invalidateTiles();
        }
        // Another theme in the options: the vector map is drawn anew with it.
        if (m_provider && m_provider->storage() == maps::TileStorage::Vector
            && m_global.settings.mapTheme != m_mapTheme)
            rebuildProvider(true);
        update();
        break;
    case Topic::Counters:
        break;
    }
}

void CMapScreen::onDownloadProgressed()
{
    if (m_composer && (m_tiles->pending() || m_composer->downloadsPending()))
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
    fillStyleMenu(menu);
    QAction* moving = menu.addAction(langText(m_global, kTextMovingMap));
    moving->setCheckable(true);
    moving->setChecked(s.movingMap != 0);
    connect(moving, &QAction::toggled, this, &CMapScreen::setMovingMap);
    QAction* night = menu.addAction(langText(m_global, kTextNightTheme));
    night->setCheckable(true);
    night->setChecked(appliedTheme() == Theme::Night);
    night->setShortcut(QKeySequence(kNightKey));
    night->setShortcutContext(Qt::WidgetShortcut); // the window's own shortcut serves the key
    connect(night, &QAction::triggered, this, &CMapScreen::toggleNight);
    QAction* caches = menu.addAction(langText(m_global, kTextShowCaches));
    caches->setCheckable(true);
    caches->setChecked(s.caches != 0);
    connect(caches, &QAction::toggled, this, [this](bool on) {
        m_global.settings.caches = on ? 1 : 0;
        m_global.SaveSettings(SettingsGroup::Map);
        if (on)
            m_area.areaChanged();
        else
            m_area.forget();
        changed();
    });
    QAction* download = menu.addAction(langText(m_global, kTextDownload), this, &CMapScreen::openDownloadDialog);
    download->setEnabled(m_provider && m_provider->canStoreDownloads());
    menu.addSeparator();
}

CMapScreen* openMapScreen(MainWindow& window, CGlobalData& global)
{
    if (CMapScreen* beside = window.showMapPane())
        return beside;
    auto* screen = new CMapScreen(global, window.notifier());
    window.pushScreen(screen);
    return screen;
}

} // namespace tw
