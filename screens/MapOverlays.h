// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapComposer.h"
#include "screens/Theme.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

class QPainter;

namespace tw {

// What the drawing above the map needs to know of the screen.
struct MapView {
    QSize size;
    QPalette palette;
    double scaleFactor = 1.0;
    int touchPx = 44;           // the smallest height a finger taps
    MapInk ink;                 // the theme's colours of the mark, lines and message
};

// The four large keys on the map.
enum class MapKey { ZoomOut, ZoomIn, NextMapType, MovingMap };
// A key's square in the bottom-right column; empty while it is not shown.
QRect mapKeyRect(const MapView& view, MapKey key, bool zoomOutShown, bool zoomInShown);
// The keys whose squares are not empty; the moving-map key lit while on.
void drawMapKeys(QPainter& painter, const MapView& view, bool zoomOutShown, bool zoomInShown, bool movingMapOn);

// The scale bar in the bottom-left corner, with its length written above it.
// Its box (bar and text) keeps clear of the keys' column at any width.
// The text is written in base, bold at the bar's size.
QRect scaleBarRect(const MapView& view, const maps::ScaleBar& bar, const QFont& base = QFont());
void drawScaleBar(QPainter& painter, const MapView& view, const maps::ScaleBar& bar);

// The GPS position: a blinking dot, or an arrow along the course, and the
// line to the navigation target.
struct PositionMark {
    std::optional<QPoint> at;   // on the screen; nothing outside it
    std::optional<std::pair<QPoint, QPoint>> targetLine;
    bool fix = false;
    bool receiving = false;
    bool arrow = false;         // the course arrow instead of the dot (with a fix)
    double courseDeg = 0.0;
    int phase = 0;              // of the blinking dot, 0 to 2
};
void drawPositionMark(QPainter& painter, const MapView& view, const PositionMark& mark);

// A one-line message at the top in the track colour.
void drawBanner(QPainter& painter, const MapView& view, const QString& text);

// Text with a light halo, readable on any tile in sunlight.
void drawHaloText(QPainter& painter, const QRect& box, int flags, const QString& text, const QPalette& palette);
// A colour of the settings (0xRRGGBB after maps::rgbFromSetting).
QColor colourOf(std::uint32_t rgb);

} // namespace tw
