// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapComposer.h"

#include "maps/AreaDownload.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace tw::maps {
namespace {

// Enough decoded tiles for a 5 × 5 view with three overlays and its
// neighbourhood; beyond that the cache starts afresh.
constexpr std::size_t kDecodedTileLimit = 400;
constexpr int kHalfTile = kTileSizePx / 2;
// The shading of a 5 × 5 view twice over; 64 KB each.
constexpr std::size_t kShadeTileLimit = 64;

bool isPlaceholder(const std::filesystem::path& path)
{
    return path.filename().string().ends_with(std::string(".") + kExtPlaceholder);
}

} // namespace

MapComposer::MapComposer(TileProvider& provider, ImageDecoder& decoder, TileDownloader* downloader)
    : m_provider(provider), m_decoder(decoder), m_downloader(downloader)
{
}

void MapComposer::zoomIn()
{
    m_lastZoom = m_provider.zoom();
    m_lastZoomHadTiles = m_drewBasicAtZoom;
    m_drewBasicAtZoom = false;
    m_provider.zoomIn();
}

void MapComposer::zoomOut()
{
    m_lastZoom = m_provider.zoom();
    m_lastZoomHadTiles = m_drewBasicAtZoom;
    m_drewBasicAtZoom = false;
    m_provider.zoomOut();
}

std::shared_ptr<const TileImage> MapComposer::loadTile(WorldPoint point, int m, bool* damaged)
{
    const auto key = std::make_tuple(m, m_provider.zoom(), m_provider.tileLeft(point), m_provider.tileTop(point));
    if (auto it = m_decoded.find(key); it != m_decoded.end()) {
        if (m_renderer)
            m_usedNow.insert(key);
        return it->second;
    }
    // Drawn tiles come from the renderer alone: other zooms stand in only
    // with what is at hand, and asking would queue them.
    if (m_renderer)
        return nullptr;

    std::shared_ptr<const TileImage> image;
    bool stored = false;
    if (m_provider.storage() == TileStorage::Folder) {
        const auto path = m_provider.tilePath(point, m);
        if (!path.empty() && !isPlaceholder(path)) {
            std::error_code ec;
            stored = std::filesystem::is_regular_file(path, ec);
            if (stored)
                image = m_decoder.decodeFile(path);
        }
    } else if (auto bytes = m_provider.readTileBlob(point, m)) {
        stored = true;
        image = m_decoder.decodeBuffer(std::move(*bytes));
    }
    if (damaged)
        *damaged = stored && !image;
    if (image)
        keepDecoded(key, image);
    return image;
}

void MapComposer::keepDecoded(const std::tuple<int, int, std::int32_t, std::int32_t>& key,
                              std::shared_ptr<const TileImage> image)
{
    if (m_decoded.size() >= kDecodedTileLimit)
        m_decoded.clear();
    m_decoded.emplace(key, std::move(image));
}

void MapComposer::setRenderer(TileRenderer* renderer, bool drawNow)
{
    m_renderer = renderer;
    m_drawNow = drawNow;
    m_decoded.clear();
    m_usedNow.clear();
    m_usedBefore.clear();
}

bool MapComposer::drawRenderedTile(MapCanvas& canvas, const Rect& square, WorldPoint point)
{
    const int zoom = m_provider.zoom();
    const std::int64_t x = m_provider.tileColumn(point), y = m_provider.tileRow(point);
    // Beyond the map files there is nothing to wait for: no crosses.
    if (!m_renderer->covers(zoom, x, y)) {
        canvas.fill(square, m_renderer->backgroundOutside() & 0xFFFFFF);
        return false;
    }
    const auto key = std::make_tuple(0, zoom, m_provider.tileLeft(point), m_provider.tileTop(point));
    std::shared_ptr<const TileImage> image;
    if (auto it = m_decoded.find(key); it != m_decoded.end()) {
        image = it->second;
    } else {
        image = m_drawNow ? m_renderer->drawnTile(zoom, x, y) : m_renderer->tile(zoom, x, y);
        if (image)
            keepDecoded(key, image);
    }
    if (image) {
        canvas.drawImage(*image, {0, 0, image->width(), image->height()}, square);
        m_drewBasicAtZoom = true;
        return true;
    }
    // Queued: the ready callback has the view composed again.
    m_downloadsPending = true;
    canvas.fill(square, m_renderer->background() & 0xFFFFFF);
    drawFromOtherZooms(canvas, square, 0, point);
    return true;
}

bool MapComposer::refetchDamaged(WorldPoint point, int m)
{
    // Stored but not an image (a broken transfer, an error page, a damaged
    // disk): it is treated as missing. Without downloads, or once it has
    // been fetched again this run, the damaged copy stays and the square
    // shows the missing-tile pattern.
    if (!m_downloader->downloadsAllowed() || !m_provider.canStoreDownloads() || m_provider.tileUrl(point, m).empty())
        return false;
    std::string id;
    if (m_provider.storage() == TileStorage::Folder) {
        // Without its extension: the new copy may arrive as another image type.
        id = m_provider.tilePath(point, m).replace_extension().string();
    } else {
        const TileKey key = m_provider.databaseKey(point, m);
        id = m_provider.databasePath(m).string() + '\n' + std::to_string(key.x) + ',' + std::to_string(key.y) + ',' +
             std::to_string(key.z) + ',' + key.set;
    }
    if (!m_downloader->firstRefetch(id))
        return false;
    // Deleted first: until the new copy is renamed or written into place the
    // tile is missing, and the view keeps waiting for it.
    m_provider.deleteTile(point, m);
    return requestTile(m_provider, point, m, false, *m_downloader);
}

bool MapComposer::drawFromOtherZooms(MapCanvas& canvas, const Rect& square, int m, WorldPoint point)
{
    const int zoom = m_provider.zoom();
    bool drawn = false;
    if (m_lastZoom >= zoom && m_lastZoomHadTiles && zoom < m_provider.maxSupportedZoom()) {
        // Just zoomed out from tiles that exist: their four children fill the square.
        m_provider.setZoom(zoom + 1);
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j)
                if (auto image = loadTile(m_provider.childTileCentre(point, zoom, i, j), m)) {
                    canvas.drawImage(*image, {0, 0, image->width(), image->height()},
                                     {square.x + i * kHalfTile, square.y + j * kHalfTile, kHalfTile, kHalfTile});
                    drawn = true;
                }
        m_provider.setZoom(zoom);
    }
    if (!drawn) {
        WorldPoint ancestor = point;
        for (int level = 1; level <= kAncestorLevels && zoom - level >= 0; ++level) {
            ancestor = m_provider.halvePoint(ancestor);
            m_provider.setZoom(zoom - level);
            if (auto image = loadTile(ancestor, m)) {
                const int f = 1 << level;
                const TilePart part = m_provider.ancestorPart(m, zoom, point);
                const int w = image->width() / f, h = image->height() / f;
                canvas.drawImage(*image, {part.column * w, part.row * h, w, h}, square);
                drawn = true;
                break;
            }
        }
        m_provider.setZoom(zoom);
    }
    return drawn;
}

void MapComposer::drawCrosses(MapCanvas& canvas, const Rect& square)
{
    for (int cx = 32; cx < kTileSizePx; cx += 64)
        for (int cy = 32; cy < kTileSizePx; cy += 64) {
            const int x = square.x + cx, y = square.y + cy;
            canvas.drawLine({x - 4, y}, {x + 4, y}, kMissingTileGrey, 1);
            canvas.drawLine({x, y - 4}, {x, y + 4}, kMissingTileGrey, 1);
        }
}

bool MapComposer::drawTile(MapCanvas& canvas, const Rect& square, int m, WorldPoint point,
                           const ComposeOptions& options)
{
    if (m_renderer)
        return m < kFirstOverlayIndex && drawRenderedTile(canvas, square, point);
    bool ownTile = false;
    bool drawn = false;
    bool damaged = false;
    // Gaps of basic map types 2 and 1 may be filled from the next lower one.
    const int lowest = options.extPaint && m < kFirstOverlayIndex ? 0 : m;
    for (int type = m; type >= lowest && !drawn; --type) {
        if (auto image = loadTile(point, type, type == m ? &damaged : nullptr)) {
            canvas.drawImage(*image, {0, 0, image->width(), image->height()}, square);
            drawn = true;
            ownTile = type == m;
            if (type == options.mapType)
                m_drewBasicAtZoom = true;
        } else {
            drawn = drawFromOtherZooms(canvas, square, type, point);
        }
    }
    if (!drawn)
        drawCrosses(canvas, square);

    const MapType* type = m_provider.mapType(m);
    if (!ownTile && m_downloader && type && m_provider.zoom() <= type->maxAvailZoom
        && m_provider.storage() != TileStorage::Vector) {
        // Only if still not stored: a download may have put it in place
        // since it was looked for, and a second one would fetch it again.
        if (damaged ? refetchDamaged(point, m) : requestTile(m_provider, point, m, true, *m_downloader))
            m_downloadsPending = true;
    }
    return drawn;
}

void MapComposer::setElevation(ElevationFiles* heights)
{
    m_heights = heights;
    m_shades.clear();
}

void MapComposer::drawShade(MapCanvas& canvas, const Rect& square, WorldPoint tile)
{
    const auto key = std::make_tuple(m_provider.zoom(), m_provider.tileLeft(tile), m_provider.tileTop(tile));
    auto it = m_shades.find(key);
    if (it == m_shades.end()) {
        if (m_shades.size() >= kShadeTileLimit)
            m_shades.clear();
        // World coordinates run linearly across a square in both kinds of
        // provider, though not in the same directions: the neighbours to the
        // east and south tell how.
        const PixelPoint inside = m_provider.pixelOffsetFrom(tile, tile);
        const WorldPoint east = m_provider.offsetByTiles(tile, 1, 0);
        const WorldPoint south = m_provider.offsetByTiles(tile, 0, -1);
        const double step = 1.0 / kTileSizePx;
        const double ex = (double(east.x) - tile.x) * step, ey = (double(east.y) - tile.y) * step;
        const double sx = (double(south.x) - tile.x) * step, sy = (double(south.y) - tile.y) * step;
        const auto world = [](double v) {
            return static_cast<std::int32_t>(std::clamp(std::round(v), double(INT32_MIN), double(INT32_MAX)));
        };
        const PixelPosition positionOf = [&](double x, double y) {
            const double dx = x - inside.x, dy = y - inside.y;
            return m_provider.worldToLatLon({world(tile.x + dx * ex + dy * sx), world(tile.y + dx * ey + dy * sy)});
        };
        auto shade = shadeSquare(*m_heights, positionOf, kTileSizePx);
        it = m_shades.emplace(key, shade ? std::make_shared<const ShadeTile>(std::move(*shade)) : nullptr).first;
    }
    if (it->second)
        canvas.drawShade(*it->second, square);
}

PixelPoint MapComposer::tileOrigin(int width, int height)
{
    const WorldPoint centre = m_provider.centreWorld();
    const PixelPoint offset = m_provider.pixelOffsetFrom(centre, centre);
    return {width / 2 - offset.x, height / 2 - offset.y};
}

Rect MapComposer::tileGridRect(PixelPoint origin)
{
    return {origin.x - 2 * kTileSizePx, origin.y - 2 * kTileSizePx, 5 * kTileSizePx, 5 * kTileSizePx};
}

PixelPoint MapComposer::composeTiles(MapCanvas& canvas, const ComposeOptions& options, const std::vector<Rect>& areas)
{
    m_downloadsPending = false;
    m_tilesShown = 0;
    m_viewTiles.clear();
    const Rect client{0, 0, canvas.width(), canvas.height()};
    if (areas.empty())
        canvas.fill(client, options.background);
    for (const Rect& area : areas)
        canvas.fill(area, options.background);
    const WorldPoint centre = m_provider.centreWorld();
    const PixelPoint origin = tileOrigin(client.width, client.height);
    for (int i = -2; i <= 2; ++i)
        for (int j = -2; j <= 2; ++j) {
            const Rect square{origin.x + kTileSizePx * i, origin.y - kTileSizePx * j, kTileSizePx, kTileSizePx};
            if (!square.intersects(client))
                continue;
            const WorldPoint tile = m_provider.offsetByTiles(centre, i, j);
            if (m_renderer) {
                m_viewTiles.emplace_back(m_provider.zoom(), m_provider.tileColumn(tile), m_provider.tileRow(tile));
                m_usedNow.emplace(0, m_provider.zoom(), m_provider.tileLeft(tile), m_provider.tileTop(tile));
            }
            if (!areas.empty()
                && std::none_of(areas.begin(), areas.end(), [&](const Rect& area) { return square.intersects(area); }))
                continue;
            if (drawTile(canvas, square, options.mapType, tile, options))
                ++m_tilesShown;
            if (m_heights && m_provider.zoom() >= kMinShadedZoom)
                drawShade(canvas, square, tile);
            for (int k = 0; k < 3; ++k)
                if (options.overlays[k] && m_provider.mapType(kFirstOverlayIndex + k))
                    drawTile(canvas, square, kFirstOverlayIndex + k, tile, options);
        }
    if (m_renderer && !m_drawNow)
        m_renderer->keepOnly(m_viewTiles);
    if (m_renderer) {
        std::erase_if(m_decoded, [&](const auto& entry) {
            return !m_usedNow.contains(entry.first) && !m_usedBefore.contains(entry.first);
        });
        m_usedBefore = std::move(m_usedNow);
        m_usedNow.clear();
    }
    return origin;
}

std::optional<PixelPoint> screenPosition(TileProvider& provider, geo::LatLon position, PixelPoint origin,
                                         int clientWidth, int clientHeight)
{
    const PixelPoint offset = provider.pixelOffset(provider.latLonToWorld(position.lat, position.lon));
    const PixelPoint at{origin.x + offset.x, origin.y + offset.y};
    if (at.x < 0 || at.y < 0 || at.x >= clientWidth || at.y >= clientHeight)
        return std::nullopt;
    return at;
}

Rect recordIconRect(PixelPoint at, bool highResolution)
{
    const int size = highResolution ? 40 : 20;
    const int lift = highResolution ? 28 : 14;
    return {at.x - size / 2, at.y - size / 2 - lift, size, size};
}

std::vector<PixelPoint> polylinePixels(TileProvider& provider, const std::vector<geo::LatLon>& points,
                                       PixelPoint origin)
{
    std::vector<PixelPoint> out;
    const std::size_t n = std::min(points.size(), kMaxPolylinePoints);
    out.reserve(n);
    const WorldPoint centre = provider.centreWorld();
    for (std::size_t i = 0; i < n; ++i) {
        const PixelPoint offset = provider.pixelOffsetFrom(provider.latLonToWorld(points[i].lat, points[i].lon), centre);
        out.push_back({origin.x + offset.x, origin.y + offset.y});
    }
    return out;
}

bool movingMapJumps(PixelPoint live, PixelPoint centre, int clientWidth, int clientHeight)
{
    return std::abs(live.x - centre.x) > clientWidth / 4 || std::abs(live.y - centre.y) > clientHeight / 4;
}

} // namespace tw::maps
