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
#include "screens/MapSymbolLayer.h"
#include "screens/MapTileBuffer.h"
#include "screens/QtImageDecoder.h"

#include <QGuiApplication>
#include <QPalette>

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

bool drawMapPicture(CGlobalData& global, const MapPictureRequest& request, std::FILE* err)
{
    auto fail = [&](const std::string& sentence) {
        std::fprintf(err, "tarnwick: %s\n", sentence.c_str());
        return false;
    };
    const Settings& s = global.settings;
    int index = s.mapSource;
    if (!request.source.empty()) {
        index = -1;
        for (const auto& [i, source] : global.mapSources)
            if (source.name == request.source) {
                index = i;
                break;
            }
    }
    const maps::MapSource* source = maps::findSource(global.mapSources, index);
    if (!source && request.source.empty())
        return fail(global.lang.textOr(956, maps::kInvalidMapConfig));
    if (!source)
        return fail(text::fillIn(global.lang.textOr(kTextNoSuchSource, "There is no map source called %s."),
                                 {request.source}));

    maps::TileProvider::Options options;
    options.mapFolder = global.paths.deviceFolder(s.mapFolder);
    options.centre = {request.latDeg, request.lonDeg};
    options.prompter = &global.prompter;
    options.invalidConfigText = global.lang.textOr(956, maps::kInvalidMapConfig);
    maps::MapTypeChoice choice{s.mapType, s.mapType1, s.mapType2, s.mapType3};
    auto provider = maps::openMapProvider(global.mapSources, index, choice, options, global.prompter);
    if (!provider)
        return false;
    if (request.zoom < provider->minZoom() || request.zoom > provider->maxZoom())
        return fail(text::fillIn(global.lang.textOr(kTextZoomOutside, "The zoom %s is outside the zooms of %s, %s to %s."),
                                 {std::to_string(request.zoom), source->name, std::to_string(provider->minZoom()),
                                  std::to_string(provider->maxZoom())}));
    // The place asked for, even where a vector map would open elsewhere.
    provider->setCentre({request.latDeg, request.lonDeg});
    provider->setZoom(request.zoom);

    QtImageDecoder decoder;
    maps::MapComposer composer(*provider, decoder);
    std::unique_ptr<maps::TileRenderer> renderer;
    if (maps::isVectorSource(*source)) {
        if (!global.tileRenderers)
            return fail(text::fillIn(global.lang.textOr(kTextNoRenderer, "This build cannot draw vector maps: %s "
                                                                         "shows nothing."),
                                     {source->name}));
        renderer = global.tileRenderers(vectorMapSettingsOf(global, *source, static_cast<float>(global.scaleFactor)));
        composer.setRenderer(renderer.get(), true);
    }
    const QPalette palette = QGuiApplication::palette();
    const maps::ComposeOptions compose = composeOptionsOf(choice, s.extPaint != 0, palette);
    MapTileBuffer tiles(*provider, composer);
    tiles.compose(QSize(request.width, request.height), compose);
    if (composer.tilesShown() == 0)
        return fail(text::fillIn(global.lang.textOr(kTextNothingThere, "The map source %s has no map at %s, %s."),
                                 {source->name, num::formatFixed(request.latDeg, 5), num::formatFixed(request.lonDeg, 5)}));

    // The caches of the current filter, as the list shows them.
    global.list.loadFilter();
    global.list.readCaches();
    MapAreaCaches area(global.list, global.notifier);
    MapSymbolLayer symbols(s, area, [&global](const std::string& code) { return loadWaypoints(global, code); });
    symbols.attach(*provider);
    MapSymbolLayer::Lines lines;
    if (const CTrackLogger* logger = global.gpsServices.trackLogger.get())
        lines.route = &logger->route;
    symbols.compose(tiles, false, tiles.origin(), std::move(lines), global.scaleFactor, palette);
    if (!symbols.image().save(QString::fromStdString(request.file), "PNG"))
        return fail(text::fillIn(global.lang.textOr(kTextNotWritten, "The picture could not be written to %s."),
                                 {request.file}));
    std::fprintf(err, "tarnwick: %s\n",
                 text::fillIn(global.lang.textOr(kTextPictureWritten, "The map picture %s was written."), {request.file})
                     .c_str());
    return true;
}

} // namespace tw
