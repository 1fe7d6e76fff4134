// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/theme/RenderTheme.h"

#include <QImage>

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

namespace tw::vector {

/** The pictures a theme names (symbols, line symbols, area patterns), read
 *  once per file and size and kept: an SVG is drawn once at the size asked
 *  for, a PNG scaled once. One per drawing thread (not thread-safe). */
class SymbolCache {
public:
    // An SVG without a size given is drawn this big (theme pixels).
    static constexpr int kDefaultSvgSidePx = 20;
    // Pictures kept at most; the cache starts over beyond.
    static constexpr std::size_t kMaxEntries = 512;

    /** The picture of image at scale (device pixels per theme pixel, zoom
     *  growth included), premultiplied ARGB; null when the file is missing or
     *  does not read. */
    const QImage& image(const maps::ThemeImage& image, float scale);

    std::size_t size() const { return m_images.size(); }

private:
    // (file, width, height) in device pixels.
    std::map<std::tuple<std::string, int, int>, QImage> m_images;
    // Natural sizes of the files, read once.
    std::map<std::string, QSizeF> m_natural;
    QImage m_null;
};

} // namespace tw::vector
