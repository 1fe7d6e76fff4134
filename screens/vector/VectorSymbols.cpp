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

SymbolCache::SymbolCache() = default;
SymbolCache::~SymbolCache() = default;

const SymbolCache::File* SymbolCache::file(const maps::ThemeImage& image, std::string& path)
{
    if (!image.found || image.file.empty())
        return nullptr;
    path = image.file.string();
    auto it = m_files.find(path);
    if (it == m_files.end()) {
        if (m_files.size() >= kMaxEntries)
            m_files.clear();
        File read;
        if (isSvg(path)) {
            read.svg = std::make_unique<QSvgRenderer>(QString::fromStdString(path));
            if (read.svg->isValid())
                read.natural = read.svg->defaultSize();
            else
                read.svg.reset();
        } else {
            QImageReader reader(QString::fromStdString(path));
            read.natural = reader.size();
        }
        it = m_files.emplace(path, std::move(read)).first;
    }
    return it->second.natural.isEmpty() ? nullptr : &it->second;
}

QSize SymbolCache::sizeOf(const maps::ThemeImage& image, const File& file, float scale)
{
    const QSizeF wanted = themeSize(image, file.natural, file.svg != nullptr) * double(scale);
    return {std::clamp(int(std::lround(wanted.width())), 1, 4 * maps::kMaxSymbolSidePx),
            std::clamp(int(std::lround(wanted.height())), 1, 4 * maps::kMaxSymbolSidePx)};
}

QSize SymbolCache::pictureSize(const maps::ThemeImage& image, float scale)
{
    std::string path;
    const File* f = file(image, path);
    if (!f)
        return {};
    // A PNG that does not decode is null though its size reads.
    return f->svg ? sizeOf(image, *f, scale) : this->image(image, scale).size();
}

const QImage& SymbolCache::image(const maps::ThemeImage& image, float scale)
{
    std::string path;
    const File* f = file(image, path);
    if (!f)
        return m_null;
    const QSize size = sizeOf(image, *f, scale);
    const int w = size.width(), h = size.height();
    auto key = std::make_tuple(path, w, h);
    if (const auto it = m_images.find(key); it != m_images.end())
        return it->second;
    if (m_images.size() >= kMaxEntries)
        m_images.clear();

    QImage out;
    if (f->svg) {
        out = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter p(&out);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        f->svg->render(&p, QRectF(0, 0, w, h));
    } else {
        QImage read(QString::fromStdString(path));
        if (!read.isNull())
            out = read.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return m_images.emplace(std::move(key), std::move(out)).first->second;
}

} // namespace tw::vector
