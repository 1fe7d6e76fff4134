// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtMapCanvas.h"

#include "maps/MapComposer.h"
#include "screens/QtTileImage.h"

#include <QPolygon>

namespace tw {
namespace {

QColor colour(std::uint32_t rgb)
{
    return QColor::fromRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QRect toQRect(const maps::Rect& r)
{
    return {r.x, r.y, r.width, r.height};
}

} // namespace

QtMapCanvas::QtMapCanvas(QImage& target) : m_target(target), m_painter(&target) {}

void QtMapCanvas::setClip(const QRegion& region)
{
    m_painter.setClipRegion(region);
}

int QtMapCanvas::width() const
{
    return m_target.width();
}

int QtMapCanvas::height() const
{
    return m_target.height();
}

void QtMapCanvas::fill(const maps::Rect& area, std::uint32_t rgb)
{
    m_painter.fillRect(toQRect(area), colour(rgb));
}

void QtMapCanvas::drawImage(const maps::TileImage& image, const maps::Rect& source, const maps::Rect& target)
{
    const QImage& q = static_cast<const QtTileImage&>(image).image();
    if (source.width == target.width && source.height == target.height && source.x == 0 && source.y == 0)
        m_painter.drawImage(QPoint(target.x, target.y), q);
    else
        m_painter.drawImage(toQRect(target), q, toQRect(source));
}

void QtMapCanvas::drawShade(const maps::ShadeTile& shade, const maps::Rect& target)
{
    // An alpha-only image paints black, as transparent as its values say.
    const QImage alpha(shade.alpha.data(), shade.size, shade.size, shade.size, QImage::Format_Alpha8);
    m_painter.drawImage(toQRect(target), alpha);
}

void QtMapCanvas::drawLine(maps::PixelPoint from, maps::PixelPoint to, std::uint32_t rgb, int widthPx)
{
    m_painter.setPen(QPen(colour(rgb), widthPx));
    m_painter.drawLine(from.x, from.y, to.x, to.y);
}

void QtMapCanvas::drawPolyline(const std::vector<maps::PixelPoint>& points, std::uint32_t rgb, int widthPx)
{
    QPolygon polygon;
    for (const auto& p : points)
        polygon << QPoint(p.x, p.y);
    m_painter.setPen(QPen(colour(rgb), widthPx, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    m_painter.drawPolyline(polygon);
}

QImage renderMapTiles(maps::MapComposer& composer, const maps::ComposeOptions& options, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    {
        QtMapCanvas canvas(image);
        composer.composeTiles(canvas, options);
    }
    return image;
}

} // namespace tw
