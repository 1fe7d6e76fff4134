// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/vector/VectorSymbols.h"

#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace tw::vector {

namespace {

bool isSvg(const std::string& file)
{
    return file.size() > 4 && (file.ends_with(".svg") || file.ends_with(".SVG") || file.ends_with(".svgz"));
}

// The side of a symbol in theme pixels from what the theme gives: both sides,
// one (the other by the aspect), a percentage of the natural size, or the
// natural size (an SVG then kDefaultSvgSidePx high).
QSizeF themeSize(const maps::ThemeImage& image, QSizeF natural, bool svg)
{
    const double aspect = natural.height() > 0 ? natural.width() / natural.height() : 1.0;
    if (image.widthPx > 0 && image.heightPx > 0)
        return {double(image.widthPx), double(image.heightPx)};
    if (image.widthPx > 0)
        return {double(image.widthPx), image.widthPx / aspect};
    if (image.heightPx > 0)
        return {image.heightPx * aspect, double(image.heightPx)};
    QSizeF size = natural;
    if (svg)
        size = QSizeF(SymbolCache::kDefaultSvgSidePx * aspect, SymbolCache::kDefaultSvgSidePx);
    if (image.percent > 0)
        size *= image.percent / 100.0;
    return size;
}

} // namespace

const QImage& SymbolCache::image(const maps::ThemeImage& image, float scale)
{
    if (!image.found || image.file.empty())
        return m_null;
    const std::string file = image.file.string();
    const bool svg = isSvg(file);

    auto natural = m_natural.find(file);
    if (natural == m_natural.end()) {
        QSizeF size;
        if (svg) {
            QSvgRenderer renderer(QString::fromStdString(file));
            if (renderer.isValid())
                size = renderer.defaultSize();
        } else {
            QImageReader reader(QString::fromStdString(file));
            size = reader.size();
        }
        natural = m_natural.emplace(file, size).first;
    }
    if (natural->second.isEmpty())
        return m_null;

    const QSizeF wanted = themeSize(image, natural->second, svg) * double(scale);
    const int w = std::clamp(int(std::lround(wanted.width())), 1, 4 * maps::kMaxSymbolSidePx);
    const int h = std::clamp(int(std::lround(wanted.height())), 1, 4 * maps::kMaxSymbolSidePx);
    const auto key = std::make_tuple(file, w, h);
    if (const auto it = m_images.find(key); it != m_images.end())
        return it->second;
    if (m_images.size() >= kMaxEntries)
        m_images.clear();

    QImage out;
    if (svg) {
        QSvgRenderer renderer(QString::fromStdString(file));
        out = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter p(&out);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&p, QRectF(0, 0, w, h));
    } else {
        QImage read(QString::fromStdString(file));
        if (!read.isNull())
            out = read.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return m_images.emplace(key, std::move(out)).first->second;
}

} // namespace tw::vector
