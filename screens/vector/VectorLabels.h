// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/mapsforge/MapFileTypes.h"
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"
#include "screens/vector/VectorProjection.h"
#include "screens/vector/VectorSymbols.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

// Labels of a vector map: captions, texts along ways, symbols and symbols
// repeated along ways. Each tile's objects give candidates in world pixels;
// the candidates of a tile and its eight neighbours compete in one fixed
// order, so a label near a tile border comes out the same in both tiles.
namespace tw::vector {

/** Fonts of the labels, by family, style and pixel size, each with the
 *  widths of the texts measured in it and the outlines of the letters drawn
 *  in it: shaping a text costs more than all else a label needs, and a map
 *  repeats its names and letters from tile to tile. One per drawing thread
 *  (not thread-safe); an entry lives as long as its cache. */
class FontCache {
public:
    // Texts and letters kept per font at most; that font's cache starts over
    // beyond.
    static constexpr std::size_t kMaxTextsPerFont = 4096;

    struct Entry {
        QFont font;
        QFontMetricsF metrics;

        /** metrics.horizontalAdvance(text), measured once. */
        qreal advance(const QString& text) const;
        /** The outline of a letter (or any text) with the start of its
         *  baseline at at, as QPainterPath::addText makes it; made once per
         *  text and place. */
        const QPainterPath& outline(const QString& text, QPointF at) const;

        mutable std::unordered_map<QString, qreal> widths;
        struct Outline {
            QPointF at;
            QPainterPath path;
        };
        mutable std::unordered_map<QString, Outline> outlines;
    };
    const Entry& get(maps::FontFamily family, maps::FontStyle style, float sizePx);

private:
    std::unordered_map<std::uint64_t, Entry> m_fonts;
};

/** A label that asks for space on the map. */
struct LabelCandidate {
    maps::InstructionKind kind = maps::InstructionKind::Caption;
    maps::LabelDisplay display = maps::LabelDisplay::IfSpace;
    int priority = 0;
    int order = 0;            // the instruction's place in the theme
    QPointF anchor;           // world pixels: the point it is placed at
    QRectF bounds;            // world pixels: all it covers
    std::vector<QRectF> boxes; // world pixels: what it covers, finer (texts along ways: per letter)

    // Symbols and line symbols: the theme's picture at pictureScale, of
    // pictureSize (drawn from its file only when the label is, see
    // SymbolCache::image), its top-left corner in world pixels, turned by
    // rotationDeg (clockwise) about the anchor.
    const maps::ThemeImage* picture = nullptr;
    float pictureScale = 1;
    QSize pictureSize;
    QPointF symbolAt;
    float rotationDeg = 0;

    // Text: lines with their baseline starts (captions) or letters with their
    // centres and angles (texts along ways).
    QString text;
    QFont font;
    const FontCache::Entry* fontEntry = nullptr; // font's, in the cache that made the candidate
    QColor fill;
    QColor halo;
    float haloWidth = 0;
    std::vector<std::pair<QPointF, QString>> lines;
    struct Letter {
        QPointF centre;
        float angleDeg;
        float advance;
        QString text;
    };
    std::vector<Letter> letters;
    float baselineShift = 0;  // letters: from the centre line down to the baseline
};

/** A label that was placed, for tests: its place in world pixels. */
struct PlacedLabel {
    maps::InstructionKind kind;
    int priority;
    QRectF world;
    std::vector<QRectF> boxes;
    QString text;
    bool blocks; // takes its space (display "always" takes none)
};

/** The text of a caption or path text: the tag textKey of the element, its
 *  name, house number, ref and elevation from their fields. */
std::string labelText(const std::string& key, const maps::MapPoi* poi, const maps::MapWay* way);

/** The label candidates of one tile's objects; only those whose anchor lies
 *  on the tile are kept (a way in several tiles gives its labels there). */
std::vector<LabelCandidate> collectLabels(const maps::MapTile& tile, const TileFrame& frame,
                                          const maps::RenderTheme& theme, maps::ThemeMatcher& matcher,
                                          SymbolCache& symbols, FontCache& fonts, float displayScale);

/** Decides which candidates are drawn: "never" none, "always" all (without
 *  taking space), then "order" before "ifspace", each by priority (higher
 *  first), then from north-west to south-east; a candidate that overlaps one
 *  placed before is left out. Returns the indices of those drawn, in the
 *  order decided. */
std::vector<std::size_t> placeLabels(const std::vector<const LabelCandidate*>& candidates);

/** Draws a label; the painter's origin is the tile's corner (origin in world
 *  pixels). symbols gives the pictures of symbols. */
void drawLabel(QPainter& painter, const LabelCandidate& label, QPointF origin, SymbolCache& symbols);

} // namespace tw::vector
