// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MercatorTileProvider.h"
#include "maps/TileDatabase.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <filesystem>
#include <random>

namespace tw::bench {

// Tiles that compress like real map tiles: areas, roads, labels.
inline QByteArray mapTilePng(int column, int row)
{
    QImage image(256, 256, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 256, 256);
    g.setColorAt(0, QColor(230, 225, 210));
    g.setColorAt(1, QColor(200, 220, 190));
    p.fillRect(image.rect(), g);
    std::mt19937 random(static_cast<unsigned>(column * 7919 + row));
    for (int i = 0; i < 40; ++i) {
        p.setPen(QPen(QColor(255, 255, 255), 1 + static_cast<int>(random() % 6)));
        p.drawLine(random() % 256, random() % 256, random() % 256, random() % 256);
    }
    for (int i = 0; i < 12; ++i)
        p.fillRect(random() % 240, random() % 240, 8 + random() % 30, 8 + random() % 30, QColor(180, 170, 160));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A tile database of the source's first map type under `folder`, filled with
// (2 * radius + 1)² such tiles around `centre` at `zoom`.
inline void fillTileDatabase(const maps::MapSource& source, const std::filesystem::path& folder, geo::LatLon centre,
                             int zoom, int radius)
{
    maps::TileProvider::Options o;
    o.mapFolder = folder;
    o.zoom = zoom;
    o.centre = centre;
    maps::MercatorTileProvider provider(source, o);
    const maps::WorldPoint c = provider.centreWorld();
    for (int i = -radius; i <= radius; ++i)
        for (int j = -radius; j <= radius; ++j) {
            const maps::WorldPoint t = provider.offsetByTiles(c, i, j);
            const QByteArray png = mapTilePng(provider.tileColumn(t), provider.tileRow(t));
            provider.database(0)->write(provider.databaseKey(t, 0), png.data(), static_cast<std::size_t>(png.size()));
        }
}

} // namespace tw::bench
