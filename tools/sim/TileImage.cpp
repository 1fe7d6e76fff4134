// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/TileImage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <png.h>

namespace sim {
namespace {

// 5 × 7 glyphs, one byte per row, the low five bits used.
struct Glyph {
    char c;
    std::uint8_t rows[7];
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}}, {'b', {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x1E}},
    {'c', {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E}}, {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}},
    {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}}, {'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}},
    {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
};

const Glyph* glyphFor(char c)
{
    for (const Glyph& g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;
}

void put(TileRaster& r, int x, int y, std::uint32_t rgb)
{
    if (x < 0 || y < 0 || x >= TileRaster::kSize || y >= TileRaster::kSize)
        return;
    std::uint8_t* p = r.rgb + (y * TileRaster::kSize + x) * 3;
    p[0] = static_cast<std::uint8_t>(rgb >> 16);
    p[1] = static_cast<std::uint8_t>(rgb >> 8);
    p[2] = static_cast<std::uint8_t>(rgb);
}

} // namespace

std::uint32_t tileBackground(std::uint32_t seed)
{
    std::uint32_t h = seed * 2654435761u;
    h ^= h >> 15;
    // Light colours, so that the dark text stays readable.
    const std::uint32_t r = 0xA0 + (h & 0x3F), g = 0xA0 + ((h >> 8) & 0x3F), b = 0xA0 + ((h >> 16) & 0x3F);
    return (r << 16) | (g << 8) | b;
}

void renderTile(TileRaster& raster, const std::string& label, std::uint32_t seed)
{
    constexpr int n = TileRaster::kSize;
    const std::uint32_t background = tileBackground(seed);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            std::uint32_t c = background;
            if (x % 32 == 0 || y % 32 == 0)
                c = 0x808080;
            if (x < 2 || y < 2 || x >= n - 2 || y >= n - 2)
                c = 0x202020;
            put(raster, x, y, c);
        }
    // The label, as large as it fits.
    const int chars = static_cast<int>(label.size());
    const int scale = chars > 0 ? std::max(1, std::min(5, (n - 16) / (chars * 6))) : 1;
    const int left = (n - chars * 6 * scale) / 2;
    const int top = (n - 7 * scale) / 2;
    for (int i = 0; i < chars; ++i) {
        const Glyph* g = glyphFor(label[static_cast<std::size_t>(i)]);
        if (!g)
            continue;
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g->rows[row] & (0x10 >> col))
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx)
                            put(raster, left + (i * 6 + col) * scale + dx, top + row * scale + dy, 0x000000);
    }
}

std::string encodePng(const TileRaster& raster)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = TileRaster::kSize;
    image.height = TileRaster::kSize;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, raster.rgb, 0, nullptr))
        return {};
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, raster.rgb, 0, nullptr))
        return {};
    out.resize(size);
    return out;
}

std::string encodeJpeg(const TileRaster& raster, int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = TileRaster::kSize;
    cinfo.image_height = TileRaster::kSize;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(raster.rgb + cinfo.next_scanline * TileRaster::kSize * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return out;
}

} // namespace sim
