// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheIcons.h"

#include "db/Enumerations.h"

#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <QTransform>

// Outside any namespace, as the resource macro needs.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace tw {

void registerIconResources()
{
    static const bool done = [] {
        initIconResources();
        return true;
    }();
    (void)done;
}

namespace {

QPixmap render(const QString& path, int px)
{
    registerIconResources();
    const QString key = path + QLatin1Char('@') + QString::number(px);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap(px, px);
    pixmap.fill(Qt::transparent);
    QSvgRenderer svg(path);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace

QString cacheTypeIconPath(int type)
{
    const char* name = "other";
    switch (type) {
    case CacheType::Traditional: name = "traditional"; break;
    case CacheType::Multi: name = "multi"; break;
    case CacheType::Virtual: name = "virtual"; break;
    case CacheType::Letterbox: name = "letterbox"; break;
    case CacheType::Event: name = "event"; break;
    case CacheType::Unknown: name = "unknown"; break;
    case CacheType::Webcam: name = "webcam"; break;
    case CacheType::Earthcache: name = "earthcache"; break;
    case CacheType::Wherigo: name = "wherigo"; break;
    default: break;
    }
    return QStringLiteral(":/icons/type-%1.svg").arg(QLatin1String(name));
}

QString cacheSizeIconPath(int size)
{
    const char* name = "notchosen";
    switch (size) {
    case CacheSize::Micro: name = "micro"; break;
    case CacheSize::Small: name = "small"; break;
    case CacheSize::Regular: name = "regular"; break;
    case CacheSize::Large: name = "large"; break;
    case CacheSize::Virtual: name = "virtual"; break;
    case CacheSize::Other: name = "other"; break;
    default: break;
    }
    return QStringLiteral(":/icons/size-%1.svg").arg(QLatin1String(name));
}

QPixmap cacheIcon(int type, int status, bool found, int px)
{
    const char* state = status == 2 ? "archived" : status == 1 ? "disabled" : found ? "found" : nullptr;
    if (!state)
        return render(cacheTypeIconPath(type), px);
    const QString key = QStringLiteral("cache-%1-%2@%3").arg(type).arg(QLatin1String(state)).arg(px);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = render(cacheTypeIconPath(type), px);
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 0, render(QStringLiteral(":/icons/state-%1.svg").arg(QLatin1String(state)), px));
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap cacheSizeIcon(int size, int px)
{
    return render(cacheSizeIconPath(size), px);
}

QPixmap waypointIcon(int type, int px)
{
    static const char* const kNames[] = {"final", "parking", "question", "reference", "stage", "trailhead"};
    const char* name = type >= 0 && type < 6 ? kNames[type] : "reference";
    return render(QStringLiteral(":/icons/wpt-%1.svg").arg(QLatin1String(name)), px);
}

QPixmap directionArrow(int sector, int px)
{
    if (sector < 0 || sector > 7)
        return {};
    const QString key = QStringLiteral("arrow-%1@%2").arg(sector).arg(px);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap(px, px);
    pixmap.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/icons/arrow.svg"));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(px / 2.0, px / 2.0);
    painter.rotate(45.0 * sector);
    painter.translate(-px / 2.0, -px / 2.0);
    svg.render(&painter, QRectF(0, 0, px, px));
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace tw
