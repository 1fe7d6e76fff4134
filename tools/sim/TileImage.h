// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace sim {

/** A recognisable 256 × 256 tile: a coloured background that differs from
 *  tile to tile, a grid every 32 pixels, a dark border and the label (for
 *  example "13/4424/2775") written large in the middle. */
struct TileRaster {
    static constexpr int kSize = 256;
    std::uint8_t rgb[kSize * kSize * 3];
};

void renderTile(TileRaster& raster, const std::string& label, std::uint32_t seed);
std::string encodePng(const TileRaster& raster);
std::string encodeJpeg(const TileRaster& raster, int quality = 85);

/** The background colour of a tile drawn with this seed, as 0xRRGGBB. */
std::uint32_t tileBackground(std::uint32_t seed);

} // namespace sim
