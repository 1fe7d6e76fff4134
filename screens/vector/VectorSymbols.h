// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/theme/RenderTheme.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

class QSvgRenderer;

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

    /** The size image(image, scale) has, without drawing an SVG (a label
     *  that is never drawn needs only its size); empty when the picture is
     *  null. */
    QSize pictureSize(const maps::ThemeImage& image, float scale);

    std::size_t size() const { return m_images.size(); }

    SymbolCache();
    ~SymbolCache();
    SymbolCache(const SymbolCache&) = delete;
    SymbolCache& operator=(const SymbolCache&) = delete;

private:
    struct File {
        QSizeF natural;                     // empty: the file does not read
        std::unique_ptr<QSvgRenderer> svg;  // an SVG read once, drawn at each size
    };
    // The file read once; null when the theme names none or it was not found.
    const File* file(const maps::ThemeImage& image, std::string& path);
    // The picture's size in device pixels.
    static QSize sizeOf(const maps::ThemeImage& image, const File& file, float scale);

    // (file, width, height) in device pixels.
    std::map<std::tuple<std::string, int, int>, QImage> m_images;
    std::map<std::string, File> m_files;
    QImage m_null;
};

} // namespace tw::vector
