// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/TileImage.h"

#include <QImage>

namespace tw {

// A decoded tile held as a QImage.
class QtTileImage final : public maps::TileImage {
public:
    explicit QtTileImage(QImage image) : m_image(std::move(image)) {}
    int width() const override { return m_image.width(); }
    int height() const override { return m_image.height(); }
    const QImage& image() const { return m_image; }

private:
    QImage m_image;
};

} // namespace tw
