// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/ListingIcons.h"

#include "db/Enumerations.h"
#include "screens/CacheIcons.h"

#include <QDir>
#include <QPainter>
#include <QSvgRenderer>

// The pictures are the SVG files attr-NAME.svg and log-NAME.svg in the icon
// resources, drawn on a 24×24 grid. An attribute's file holds its square (id
// "square", in the colour of the attribute's kind) and its white picture (id
// "picture"), which "-no" draws on a darker square and strikes through.
namespace tw {
namespace {

const QString kIcons = QStringLiteral(":/icons/");

QImage transparentImage(int px)
{
    QImage image(px, px, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Draws one element of the file where it lies in the whole picture.
void renderElement(QPainter& painter, QSvgRenderer& svg, const QString& id, int px)
{
    const QRectF box = svg.viewBoxF();
    const QTransform toImage = QTransform::fromScale(px / box.width(), px / box.height());
    svg.render(&painter, id, toImage.mapRect(svg.boundsOnElement(id).translated(-box.topLeft())));
}

// The initial of an attribute without a picture of its own.
void drawInitial(QPainter& painter, const QString& name, int px)
{
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(15);
    painter.save();
    painter.scale(px / 24.0, px / 24.0);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(1, 1, 22, 22), Qt::AlignCenter, name.left(1).toUpper());
    painter.restore();
}

} // namespace

QStringList drawnAttributeNames()
{
    registerIconResources();
    QStringList names = QDir(kIcons).entryList({QStringLiteral("attr-*.svg")}, QDir::Files, QDir::Name);
    for (QString& name : names)
        name = name.mid(5).chopped(4);
    return names;
}

QImage attributeIcon(const QString& entry, int px)
{
    const QString lower = entry.toLower();
    QString name;
    bool no = false;
    if (lower.endsWith(QLatin1String("-yes"))) {
        name = lower.chopped(4);
    } else if (lower.endsWith(QLatin1String("-no"))) {
        name = lower.chopped(3);
        no = true;
    }
    if (name.isEmpty() || px <= 0)
        return {};
    static const QStringList drawn = drawnAttributeNames();
    const bool hasPicture = drawn.contains(name);
    QSvgRenderer svg(kIcons + (hasPicture ? QStringLiteral("attr-%1.svg").arg(name) : QStringLiteral("attribute-blank.svg")));

    QImage image = transparentImage(px);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    renderElement(painter, svg, QStringLiteral("square"), px);
    if (no) { // the square's colour darker(140)
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        painter.fillRect(image.rect(), QColor::fromRgbF(0, 0, 0, 1 - 1 / 1.4));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    if (hasPicture)
        renderElement(painter, svg, QStringLiteral("picture"), px);
    else
        drawInitial(painter, name, px);
    if (no)
        QSvgRenderer(kIcons + QStringLiteral("attribute-strike.svg")).render(&painter);
    painter.end();
    return image;
}

QImage logTypeIcon(int number, int px)
{
    if (px <= 0)
        return {};
    const char* name = "other"; // update coordinates and anything unknown
    switch (number) {
    case LogType::FoundIt: name = "foundit"; break;
    case LogType::DidntFindIt: name = "didntfindit"; break;
    case LogType::WriteNote: name = "writenote"; break;
    case LogType::WebcamPhotoTaken: name = "webcamphototaken"; break;
    case LogType::Attended: name = "attended"; break;
    case LogType::WillAttend: name = "willattend"; break;
    case LogType::TemporarilyDisable: name = "temporarilydisable"; break;
    case LogType::Enable: name = "enable"; break;
    case LogType::NeedsArchived: name = "needsarchived"; break;
    case LogType::NeedsMaintenance: name = "needsmaintenance"; break;
    case LogType::ReviewerNote: name = "reviewernote"; break;
    case LogType::Archive: name = "archive"; break;
    case LogType::OwnerMaintenance: name = "ownermaintenance"; break;
    case LogType::Publish: name = "publish"; break;
    default: break;
    }
    registerIconResources();
    QSvgRenderer svg(kIcons + QStringLiteral("log-%1.svg").arg(QLatin1String(name)));
    QImage image = transparentImage(px);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    return image;
}

} // namespace tw
