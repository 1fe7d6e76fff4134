// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapCanvas.h"

#include <QImage>
#include <QPainter>
#include <QRegion>

namespace tw {

namespace maps {
class MapComposer;
struct ComposeOptions;
}

// Draws the map into a QImage.
class QtMapCanvas final : public maps::MapCanvas {
public:
    explicit QtMapCanvas(QImage& target);
    // Later drawing only changes pixels inside the region.
    void setClip(const QRegion& region);
    int width() const override;
    int height() const override;
    void fill(const maps::Rect& area, std::uint32_t rgb) override;
    void drawImage(const maps::TileImage& image, const maps::Rect& source, const maps::Rect& target) override;
    void drawLine(maps::PixelPoint from, maps::PixelPoint to, std::uint32_t rgb, int widthPx) override;
    void drawPolyline(const std::vector<maps::PixelPoint>& points, std::uint32_t rgb, int widthPx) override;
    void drawShade(const maps::ShadeTile& shade, const maps::Rect& target) override;

private:
    QImage& m_target;
    QPainter m_painter;
};

// The tile layer of a view, composed into a new image of the given size.
QImage renderMapTiles(maps::MapComposer& composer, const maps::ComposeOptions& options, int width, int height);

} // namespace tw
