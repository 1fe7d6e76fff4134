// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/MapTileBuffer.h"

#include "screens/QtMapCanvas.h"

#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tw {
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

bool MapTileBuffer::compose(const QSize& size, const maps::ComposeOptions& options)
{
    const int zoom = m_provider.zoom();
    m_viewCentre = m_provider.centreWorld();
    const maps::PixelPoint origin = m_composer.tileOrigin(size.width(), size.height());
    const maps::PixelPoint corner = m_provider.pixelOffsetFrom(m_corner, m_viewCentre);
    const QPoint by = QPoint(origin.x + corner.x, origin.y + corner.y) - m_cornerAt;
    const bool keep = m_kept && !m_pending && m_tiles.size() == size && zoom == m_zoom && sameTiles(options, m_options)
                      && std::abs(by.x()) < size.width() && std::abs(by.y()) < size.height();
    if (keep && by.isNull() && origin.x == m_origin.x && origin.y == m_origin.y)
        return true;
    if (keep)
        composeMoved(size, options, by, origin);
    else
        composeAfresh(size, options);
    m_pending = m_composer.downloadsPending();
    m_kept = true;
    m_zoom = zoom;
    m_options = options;
    m_corner = {m_provider.tileLeft(m_viewCentre), m_provider.tileTop(m_viewCentre)};
    const maps::PixelPoint c = m_provider.pixelOffsetFrom(m_corner, m_viewCentre);
    m_cornerAt = QPoint(m_origin.x + c.x, m_origin.y + c.y);
    return keep;
}

void MapTileBuffer::setLook(Theme theme)
{
    if (theme == m_look.theme())
        return;
    m_look = TileLook(theme);
    m_kept = false;
}

void MapTileBuffer::composeAfresh(const QSize& size, const maps::ComposeOptions& options)
{
    if (m_tiles.size() != size)
        m_tiles = QImage(size, QImage::Format_RGB32);
    {
        QtMapCanvas canvas(m_tiles);
        m_origin = m_composer.composeTiles(canvas, options);
    }
    m_look.apply(m_tiles, m_tiles.rect());
}

void MapTileBuffer::composeMoved(const QSize& size, const maps::ComposeOptions& options, QPoint by, maps::PixelPoint origin)
{
    if (m_back.size() != size)
        m_back = QImage(size, QImage::Format_RGB32);
    // The old grid of tiles as it lies now, against the new one.
    const QRect client(QPoint(0, 0), size);
    const QRect oldGrid = toQRect(maps::MapComposer::tileGridRect(m_origin)).translated(by);
    const QRect newGrid = toQRect(maps::MapComposer::tileGridRect(origin));
    const QRegion stale = (QRegion(client) - QRegion(client.translated(by))) + ((QRegion(oldGrid) ^ QRegion(newGrid)) & client);
    {
        QPainter move(&m_back);
        move.setCompositionMode(QPainter::CompositionMode_Source);
        move.drawImage(by, m_tiles);
    }
    std::swap(m_tiles, m_back);
    std::vector<maps::Rect> areas;
    for (const QRect& r : stale)
        areas.push_back({r.x(), r.y(), r.width(), r.height()});
    {
        QtMapCanvas canvas(m_tiles);
        canvas.setClip(stale);
        m_origin = m_composer.composeTiles(canvas, options, areas);
    }
    // Only the freshly composed pixels: the moved ones have the look already.
    for (const QRect& r : stale)
        m_look.apply(m_tiles, r);
}

} // namespace tw
