// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/MapOverlays.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace tw {
namespace {

// A key's rounded square; the pen is left for its symbol.
void drawKeyFace(QPainter& painter, const QPalette& pal, const QRect& r, bool highlighted)
{
    QColor base = highlighted ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
    base.setAlpha(225);
    painter.setPen(QPen(pal.color(QPalette::Text), std::max(1, r.width() / 30)));
    painter.setBrush(base);
    painter.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), r.width() / 6.0, r.width() / 6.0);
    painter.setPen(QPen(highlighted ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text),
                        std::max(2, r.width() / 10), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
}

// Two stacked sheets: another map below this one.
void drawSheets(QPainter& painter, const QPalette& pal, const QRect& r)
{
    const QPointF c = QRectF(r).center();
    const double w = r.width() * 0.28, h = r.width() * 0.13;
    for (const double dy : {h * 0.8, -h * 0.6}) {
        QPolygonF sheet;
        sheet << c + QPointF(-w, dy) << c + QPointF(0, dy - h) << c + QPointF(w, dy) << c + QPointF(0, dy + h);
        painter.setBrush(dy > 0 ? pal.color(QPalette::Mid) : pal.color(QPalette::Base));
        painter.drawPolygon(sheet);
    }
}

// A cross hair: the map follows the position while it is lit.
void drawCrossHair(QPainter& painter, const QRect& r)
{
    const int a = r.width() / 4;
    const QPoint c = r.center();
    painter.drawEllipse(c, a * 2 / 3, a * 2 / 3);
    painter.drawLine(c + QPoint(-a - a / 3, 0), c + QPoint(-a / 3, 0));
    painter.drawLine(c + QPoint(a / 3, 0), c + QPoint(a + a / 3, 0));
    painter.drawLine(c + QPoint(0, -a - a / 3), c + QPoint(0, -a / 3));
    painter.drawLine(c + QPoint(0, a / 3), c + QPoint(0, a + a / 3));
}

} // namespace

QColor colourOf(std::uint32_t rgb)
{
    return QColor::fromRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void drawHaloText(QPainter& painter, const QRect& box, int flags, const QString& text, const QPalette& palette)
{
    painter.save();
    painter.setPen(palette.color(QPalette::Base));
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (dx || dy)
                painter.drawText(box.translated(dx, dy), flags, text);
    painter.setPen(palette.color(QPalette::Text));
    painter.drawText(box, flags, text);
    painter.restore();
}

QRect mapKeyRect(const MapView& view, MapKey key, bool zoomOutShown, bool zoomInShown)
{
    // Large keys, but in a map as narrow as a laptop's middle pane they
    // would cover a third of it: there they shrink to the smallest a finger
    // still taps, close to the edge.
    const bool narrow = view.size.width() < 6 * (view.touchPx * 4 / 3);
    const int b = narrow ? view.touchPx : view.touchPx * 4 / 3;
    const int margin = narrow ? std::max(4, view.touchPx / 8) : view.touchPx / 4;
    const int gap = std::max(8, b / 5);
    const int x = view.size.width() - margin - b;
    const int zoomOutTop = view.size.height() - margin - b;
    switch (key) {
    case MapKey::ZoomOut:
        return zoomOutShown ? QRect(x, zoomOutTop, b, b) : QRect();
    case MapKey::ZoomIn:
        return zoomInShown ? QRect(x, zoomOutTop - b - gap, b, b) : QRect();
    case MapKey::NextMapType:
        return {x, zoomOutTop - 3 * (b + gap) - gap, b, b};
    case MapKey::MovingMap:
        return {x, zoomOutTop - 4 * (b + gap) - gap, b, b};
    }
    return {};
}

void drawMapKeys(QPainter& painter, const MapView& view, bool zoomOutShown, bool zoomInShown, bool movingMapOn)
{
    const auto rect = [&](MapKey key) { return mapKeyRect(view, key, zoomOutShown, zoomInShown); };
    const QPalette& pal = view.palette;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (const QRect r = rect(MapKey::ZoomIn); !r.isEmpty()) {
        drawKeyFace(painter, pal, r, false);
        const int a = r.width() / 4;
        painter.drawLine(r.center() + QPoint(-a, 0), r.center() + QPoint(a, 0));
        painter.drawLine(r.center() + QPoint(0, -a), r.center() + QPoint(0, a));
    }
    if (const QRect r = rect(MapKey::ZoomOut); !r.isEmpty()) {
        drawKeyFace(painter, pal, r, false);
        const int a = r.width() / 4;
        painter.drawLine(r.center() + QPoint(-a, 0), r.center() + QPoint(a, 0));
    }
    if (const QRect r = rect(MapKey::NextMapType); !r.isEmpty()) {
        drawKeyFace(painter, pal, r, false);
        drawSheets(painter, pal, r);
    }
    if (const QRect r = rect(MapKey::MovingMap); !r.isEmpty()) {
        drawKeyFace(painter, pal, r, movingMapOn);
        drawCrossHair(painter, r);
    }
    painter.restore();
}

QRect scaleBarRect(const MapView& view, const maps::ScaleBar& bar, const QFont& base)
{
    if (bar.pixels <= 0)
        return {};
    const double scale = view.scaleFactor;
    const int thick = std::max(3, static_cast<int>(2 * scale));
    const int y = view.size.height() - static_cast<int>(21 * scale);
    QFont font = base;
    font.setPixelSize(std::max(12, static_cast<int>(8 * scale)));
    font.setBold(true);
    const int line = QFontMetrics(font).height();
    const int textWidth = QFontMetrics(font).horizontalAdvance(QString::fromStdString(maps::scaleText(bar.metres)));
    const int width = std::max(bar.pixels, textWidth);
    // In from the left edge as on a handheld, but on a narrow map (a pane of
    // the desk's window) moved left so that it stays clear of the keys.
    const int keys = mapKeyRect(view, MapKey::ZoomOut, true, true).left();
    const int gap = std::max(8, view.touchPx / 4);
    const int left = std::max(2 + thick, std::min(10 + static_cast<int>(40 * scale), keys - gap - width));
    return {left, y - thick * 2 - line, width, line + thick * 3};
}

void drawScaleBar(QPainter& painter, const MapView& view, const maps::ScaleBar& bar)
{
    const QRect box = scaleBarRect(view, bar, painter.font());
    if (box.isEmpty())
        return;
    const double scale = view.scaleFactor;
    const int thick = std::max(3, static_cast<int>(2 * scale));
    const int left = box.left();
    const int y = box.bottom() + 1 - thick;
    painter.save();
    const QPalette& pal = view.palette;
    painter.setPen(QPen(pal.color(QPalette::Base), thick + 4, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(left - 2, y, left + bar.pixels + 2, y);
    painter.setPen(QPen(pal.color(QPalette::Text), thick, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(left, y, left + bar.pixels, y);
    painter.drawLine(left, y - thick * 2, left, y + thick);
    painter.drawLine(left + bar.pixels, y - thick * 2, left + bar.pixels, y + thick);
    QFont font = painter.font();
    font.setPixelSize(std::max(12, static_cast<int>(8 * scale)));
    font.setBold(true);
    painter.setFont(font);
    const int line = painter.fontMetrics().height();
    drawHaloText(painter, QRect(left, y - thick * 2 - line, box.width(), line), Qt::AlignLeft | Qt::AlignBottom,
                 QString::fromStdString(maps::scaleText(bar.metres)), pal);
    painter.restore();
}

void drawPositionMark(QPainter& painter, const MapView& view, const PositionMark& mark)
{
    const double scale = view.scaleFactor;
    const MapInk& ink = view.ink;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (mark.targetLine) {
        const int width = std::max(2, static_cast<int>(std::lround(2 * scale)));
        if (ink.casing.isValid()) {
            painter.setPen(QPen(ink.casing, width + 2, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(mark.targetLine->first, mark.targetLine->second);
        }
        painter.setPen(QPen(ink.targetLine, width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(mark.targetLine->first, mark.targetLine->second);
    }
    if (mark.at && mark.arrow && mark.fix) {
        QPolygonF arrow;
        arrow << QPointF(0, -12) << QPointF(-6, 12) << QPointF(6, 12);
        QTransform t;
        t.translate(mark.at->x(), mark.at->y());
        t.rotate(mark.courseDeg);
        t.scale(scale, scale);
        painter.setPen(QPen(ink.arrowEdge, std::max(1.0, scale)));
        painter.setBrush(ink.fix);
        painter.drawPolygon(t.map(arrow));
    } else if (mark.at) {
        const bool fix = mark.fix;
        const QColor brushes[3] = {fix ? ink.fix : mark.receiving ? ink.receiving : ink.silent,
                                   fix ? ink.fixBlink : ink.silentBlink, ink.blinkLow};
        if (ink.dotEdge.isValid())
            painter.setPen(QPen(ink.dotEdge, std::max(1.0, scale)));
        else
            painter.setPen(Qt::NoPen);
        painter.setBrush(brushes[std::clamp(mark.phase, 0, 2)]);
        const double r = (6 - mark.phase) * scale;
        painter.drawEllipse(QPointF(*mark.at), r, r);
    }
    painter.restore();
}

void drawBanner(QPainter& painter, const MapView& view, const QString& text)
{
    const QColor fill = view.ink.track;
    if (text.isEmpty())
        return;
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(std::max(14, static_cast<int>(9 * view.scaleFactor)));
    font.setBold(true);
    painter.setFont(font);
    const QFontMetrics fm = painter.fontMetrics();
    const int pad = fm.height() / 3;
    const int width = view.size.width();
    const QString shown = fm.elidedText(text, Qt::ElideRight, width - 4 * pad);
    const int w = fm.horizontalAdvance(shown) + 2 * pad;
    const QRect box((width - w) / 2, static_cast<int>(20 * view.scaleFactor), w, fm.height() + pad);
    painter.fillRect(box, fill);
    const double luminance = 0.2126 * fill.red() + 0.7152 * fill.green() + 0.0722 * fill.blue();
    painter.setPen(luminance > 128 ? Qt::black : Qt::white);
    painter.drawText(box, Qt::AlignCenter, shown);
    painter.restore();
}

} // namespace tw
