// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/MapPicture.h"

#include "app/CGlobalData.h"
#include "app/MapAreaCaches.h"
#include "app/WaypointEditing.h"
#include "gps/CTrackLogger.h"
#include "maps/MapComposer.h"
#include "maps/VectorSource.h"
#include "platform/Numbers.h"
#include "platform/Text.h"
#include "maps/MapCanvas.h"
#include "screens/MapOverlays.h"
#include "screens/MapSymbolLayer.h"
#include "screens/MapTileBuffer.h"
#include "screens/QtImageDecoder.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <cstdlib>

namespace tw {
namespace {

constexpr int kTextNoRenderer = 1313;
constexpr int kTextNoSuchSource = 1317;
constexpr int kTextZoomOutside = 1318;
constexpr int kTextNothingThere = 1319;
constexpr int kTextNotWritten = 1320;
constexpr int kTextPictureWritten = 1322;

} // namespace

std::map<std::string, bool> readOverlaySwitches(const std::string& text)
{
    std::map<std::string, bool> switches;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t to = text.find(',', from);
        if (to == std::string::npos)
            to = text.size();
        const std::string item = text.substr(from, to - from);
        if (const std::size_t eq = item.rfind('='); eq != std::string::npos && eq > 0)
            switches[item.substr(0, eq)] = item.substr(eq + 1) != "0";
        from = to + 1;
    }
    return switches;
}

std::string writeOverlaySwitches(const std::map<std::string, bool>& switches)
{
    std::string text;
    for (const auto& [id, on] : switches)
        text += (text.empty() ? "" : ",") + id + (on ? "=1" : "=0");
    return text;
}

maps::VectorMapSettings vectorMapSettingsOf(const CGlobalData& global, const maps::MapSource& source,
                                            float displayScale)
{
    const Settings& s = global.settings;
    const std::filesystem::path theme = s.mapTheme.empty() ? std::filesystem::path() : global.paths.deviceFolder(s.mapTheme);
    maps::VectorMapSettings settings =
        maps::vectorMapSettings(source, global.paths.deviceFolder(s.mapFolder), theme);
    if (s.vectorStyleTheme == settings.themeFile.string()) {
        settings.style = s.vectorStyle;
        settings.overlays = readOverlaySwitches(s.vectorOverlays);
    }
    settings.language = s.language;
    settings.displayScale = displayScale;
    return settings;
}

maps::ComposeOptions composeOptionsOf(const maps::MapTypeChoice& choice, bool extPaint, const QPalette& palette)
{
    maps::ComposeOptions o;
    o.mapType = choice.mapType;
    o.overlays[0] = choice.overlay1 != 0;
    o.overlays[1] = choice.overlay2 != 0;
    o.overlays[2] = choice.overlay3 != 0;
    o.extPaint = extPaint;
    o.background = palette.color(QPalette::Window).rgb() & 0xFFFFFF;
    return o;
}

MapSnapshot::MapSnapshot(CGlobalData& global, const std::string& sourceName, Prompter& prompter, geo::LatLon near)
    : m_global(global)
{
    const Settings& s = global.settings;
    int index = s.mapSource;
    if (!sourceName.empty()) {
        index = -1;
        for (const auto& [i, source] : global.mapSources)
            if (source.name == sourceName) {
                index = i;
                break;
            }
    }
    m_source = maps::findSource(global.mapSources, index);
    if (!m_source) {
        m_error = sourceName.empty()
                      ? global.lang.textOr(956, maps::kInvalidMapConfig)
                      : text::fillIn(global.lang.textOr(kTextNoSuchSource, "There is no map source called %s."),
                                     {sourceName});
        return;
    }
    maps::TileProvider::Options options;
    options.mapFolder = global.paths.deviceFolder(s.mapFolder);
    options.centre = near;
    options.prompter = &prompter;
    options.invalidConfigText = global.lang.textOr(956, maps::kInvalidMapConfig);
    maps::MapTypeChoice choice{s.mapType, s.mapType1, s.mapType2, s.mapType3};
    m_provider = maps::openMapProvider(global.mapSources, index, choice, options, prompter);
    if (!m_provider) {
        m_error = global.lang.textOr(956, maps::kInvalidMapConfig);
        return;
    }
    m_decoder = std::make_unique<QtImageDecoder>();
    m_composer = std::make_unique<maps::MapComposer>(*m_provider, *m_decoder);
    if (maps::isVectorSource(*m_source)) {
        if (!global.tileRenderers) {
            m_error = text::fillIn(global.lang.textOr(kTextNoRenderer, "This build cannot draw vector maps: %s "
                                                                       "shows nothing."),
                                   {m_source->name});
            return;
        }
        m_renderer = global.tileRenderers(vectorMapSettingsOf(global, *m_source, static_cast<float>(global.scaleFactor)));
        m_composer->setRenderer(m_renderer.get(), true);
    }
    m_compose = composeOptionsOf(choice, s.extPaint != 0, QGuiApplication::palette());
    m_tiles = std::make_unique<MapTileBuffer>(*m_provider, *m_composer);
}

MapSnapshot::~MapSnapshot() = default;

int MapSnapshot::minZoom() const
{
    return m_provider ? m_provider->minZoom() : 0;
}

int MapSnapshot::maxZoom() const
{
    return m_provider ? m_provider->maxZoom() : 0;
}

bool MapSnapshot::compose(geo::LatLon centre, int zoom, QSize size)
{
    if (!ok())
        return false;
    m_provider->setCentre(centre);
    m_provider->setZoom(zoom);
    m_tiles->compose(size, m_compose);
    return m_composer->tilesShown() > 0;
}

const QImage& MapSnapshot::image() const
{
    static const QImage none;
    return m_tiles ? m_tiles->image() : none;
}

QPointF MapSnapshot::pixelOf(geo::LatLon at) const
{
    const maps::PixelPoint offset =
        m_provider->pixelOffsetFrom(m_provider->latLonToWorld(at.lat, at.lon), m_tiles->viewCentre());
    const maps::PixelPoint origin = m_tiles->origin();
    return {static_cast<double>(origin.x + offset.x), static_cast<double>(origin.y + offset.y)};
}

int MapSnapshot::zoomToFit(geo::LatLon centre, const std::vector<geo::LatLon>& points, QSize size, int marginPx,
                           int maxZoom)
{
    if (!m_provider)
        return 0;
    m_provider->setCentre(centre);
    const int halfWidth = size.width() / 2 - marginPx;
    const int halfHeight = size.height() / 2 - marginPx;
    for (int zoom = std::min(maxZoom, m_provider->maxZoom()); zoom > m_provider->minZoom(); --zoom) {
        m_provider->setZoom(zoom);
        // Offsets count from the corner of the tile that holds the centre.
        const maps::WorldPoint middle = m_provider->latLonToWorld(centre.lat, centre.lon);
        const maps::PixelPoint c = m_provider->pixelOffsetFrom(middle, middle);
        const bool fits = std::all_of(points.begin(), points.end(), [&](const geo::LatLon& p) {
            const maps::PixelPoint d = m_provider->pixelOffsetFrom(m_provider->latLonToWorld(p.lat, p.lon), middle);
            return std::abs(d.x - c.x) <= halfWidth && std::abs(d.y - c.y) <= halfHeight;
        });
        if (fits)
            return zoom;
    }
    return m_provider->minZoom();
}

bool drawMapPicture(CGlobalData& global, const MapPictureRequest& request, std::FILE* err)
{
    auto fail = [&](const std::string& sentence) {
        std::fprintf(err, "tarnwick: %s\n", sentence.c_str());
        return false;
    };
    MapSnapshot map(global, request.source, global.prompter, {request.latDeg, request.lonDeg});
    if (!map.source())
        return fail(map.error());
    // A source that would not open has told the prompter why.
    if (!map.opened())
        return false;
    if (!map.ok())
        return fail(map.error());
    const maps::MapSource* source = map.source();
    if (request.zoom < map.minZoom() || request.zoom > map.maxZoom())
        return fail(text::fillIn(global.lang.textOr(kTextZoomOutside, "The zoom %s is outside the zooms of %s, %s to %s."),
                                 {std::to_string(request.zoom), source->name, std::to_string(map.minZoom()),
                                  std::to_string(map.maxZoom())}));
    // The place asked for, even where a vector map would open elsewhere.
    if (!map.compose({request.latDeg, request.lonDeg}, request.zoom, QSize(request.width, request.height)))
        return fail(text::fillIn(global.lang.textOr(kTextNothingThere, "The map source %s has no map at %s, %s."),
                                 {source->name, num::formatFixed(request.latDeg, 5), num::formatFixed(request.lonDeg, 5)}));

    // The caches of the current filter, as the list shows them.
    const Settings& s = global.settings;
    const QPalette palette = QGuiApplication::palette();
    global.list.loadFilter();
    global.list.readCaches();
    MapAreaCaches area(global.list, global.notifier);
    MapSymbolLayer symbols(s, area, [&global](const std::string& code) { return loadWaypoints(global, code); });
    symbols.attach(map.provider());
    MapSymbolLayer::Lines lines;
    if (const CTrackLogger* logger = global.gpsServices.trackLogger.get())
        lines.route = &logger->route;
    const MapInk ink = mapInk(appliedTheme(), colourOf(maps::rgbFromSetting(s.trackColor)),
                              colourOf(maps::rgbFromSetting(s.routeColor)));
    symbols.compose(map.tiles(), false, map.tiles().origin(), std::move(lines), global.scaleFactor, palette, ink);
    if (!symbols.image().save(QString::fromStdString(request.file), "PNG"))
        return fail(text::fillIn(global.lang.textOr(kTextNotWritten, "The picture could not be written to %s."),
                                 {request.file}));
    std::fprintf(err, "tarnwick: %s\n",
                 text::fillIn(global.lang.textOr(kTextPictureWritten, "The map picture %s was written."), {request.file})
                     .c_str());
    return true;
}

} // namespace tw
