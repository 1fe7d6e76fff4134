// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/Hillshade.h"
#include "maps/TileImage.h"
#include "maps/TileProvider.h"

#include <cstdint>
#include <vector>

namespace tw::maps {

/** A rectangle in pixels of the canvas, width and height not negative. */
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool intersects(const Rect& o) const
    {
        return x < o.x + o.width && o.x < x + width && y < o.y + o.height && o.y < y + height;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

/** What the map composition draws on. Colours are 0xRRGGBB. */
class MapCanvas {
public:
    virtual ~MapCanvas() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void fill(const Rect& area, std::uint32_t rgb) = 0;
    /** Draws the source part of the image scaled into target. */
    virtual void drawImage(const TileImage& image, const Rect& source, const Rect& target) = 0;
    virtual void drawLine(PixelPoint from, PixelPoint to, std::uint32_t rgb, int widthPx) = 0;
    virtual void drawPolyline(const std::vector<PixelPoint>& points, std::uint32_t rgb, int widthPx) = 0;
    /** Darkens the target square by the shading's alpha, pixel for pixel. */
    virtual void drawShade(const ShadeTile& shade, const Rect& target) = 0;
};

/** The settings' 0x00BBGGRR colours as 0xRRGGBB. */
inline std::uint32_t rgbFromSetting(int bgr)
{
    const auto v = static_cast<std::uint32_t>(bgr);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

} // namespace tw::maps
