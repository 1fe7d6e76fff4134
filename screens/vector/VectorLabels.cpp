// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/vector/VectorLabels.h"

#include <QPainterPath>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace tw::vector {

using maps::InstructionKind;
using maps::LabelDisplay;
using maps::LabelPosition;
using maps::RenderInstruction;

namespace {

// Space between a symbol and its caption, theme pixels.
constexpr double kCaptionGapPx = 2.0;
// A text along a way is not drawn where the way turns more than this
// between two letters, or more than kMaxTotalBendDeg over the whole text.
constexpr double kMaxLetterBendDeg = 30.0;
constexpr double kMaxTotalBendDeg = 60.0;
// Texts along one way part at most.
constexpr int kMaxRepeats = 8;

// Line symbols along one way at most.
constexpr int kMaxLineSymbols = 512;

bool isLabel(InstructionKind kind)
{
    return kind == InstructionKind::Caption || kind == InstructionKind::Symbol || kind == InstructionKind::PathText ||
           kind == InstructionKind::LineSymbol;
}

QString transformed(const std::string& text, maps::TextTransform transform)
{
    QString out = QString::fromStdString(text);
    switch (transform) {
    case maps::TextTransform::None: break;
    case maps::TextTransform::Uppercase: out = out.toUpper(); break;
    case maps::TextTransform::Lowercase: out = out.toLower(); break;
    case maps::TextTransform::Capitalize: {
        bool start = true;
        for (QChar& c : out) {
            if (start && c.isLetter())
                c = c.toUpper();
            start = c.isSpace();
        }
        break;
    }
    }
    return out;
}

// Words put on lines no wider than widthPx (a longer word keeps a line).
QStringList wrapped(const QString& text, const FontCache::Entry& font, double widthPx)
{
    if (widthPx <= 0 || font.advance(text) <= widthPx)
        return {text};
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && font.advance(longer) > widthPx) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines.push_back(line);
    return lines;
}

// The halo grows with its text: by what the text's size was multiplied by
// (base text size, display scale, zoom growth).
void setText(LabelCandidate& c, const RenderInstruction& in, const QString& text, const FontCache::Entry& font,
             float textScale)
{
    c.text = text;
    c.font = font.font;
    c.fontEntry = &font;
    c.fill = QColor::fromRgba(in.fill);
    c.halo = QColor::fromRgba(in.stroke);
    c.haloWidth = in.strokeWidth * textScale;
}

// A caption beside reference (a symbol's box, or the anchor point alone).
LabelCandidate caption(const RenderInstruction& in, const QString& text, const FontCache::Entry& font,
                       float textScale, QPointF anchor, const QRectF* symbolBox, float lengthScale,
                       float displayScale, int wrapWidthPx)
{
    LabelCandidate c;
    c.kind = InstructionKind::Caption;
    setText(c, in, text, font, textScale);
    const QStringList lines = wrapped(text, font, wrapWidthPx);
    double w = 0;
    for (const QString& line : lines)
        w = std::max(w, font.advance(line));
    const double lineHeight = font.metrics.height();
    const double h = lineHeight * double(lines.size());

    const double dy = in.dy * lengthScale;
    const QRectF reference = symbolBox ? *symbolBox : QRectF(anchor, QSizeF(0, 0));
    const double gap = symbolBox ? kCaptionGapPx * displayScale : 0.0;
    LabelPosition position = in.position;
    if (position == LabelPosition::Auto)
        position = symbolBox ? LabelPosition::Below : LabelPosition::Center;
    double left = reference.center().x() - w / 2;
    double top = reference.center().y() - h / 2;
    switch (position) {
    case LabelPosition::Left: left = reference.left() - gap - w; break;
    case LabelPosition::Right: left = reference.right() + gap; break;
    case LabelPosition::Below: top = reference.bottom() + gap; break;
    case LabelPosition::BelowLeft: top = reference.bottom() + gap; left = reference.left() - w; break;
    case LabelPosition::BelowRight: top = reference.bottom() + gap; left = reference.right(); break;
    case LabelPosition::Above: top = reference.top() - gap - h; break;
    case LabelPosition::AboveLeft: top = reference.top() - gap - h; left = reference.left() - w; break;
    case LabelPosition::AboveRight: top = reference.top() - gap - h; left = reference.right(); break;
    case LabelPosition::Auto:
    case LabelPosition::Center: break;
    }
    top += dy;
    for (int i = 0; i < lines.size(); ++i) {
        const double lw = font.advance(lines[i]);
        c.lines.emplace_back(QPointF(left + (w - lw) / 2, top + i * lineHeight + font.metrics.ascent()), lines[i]);
    }
    const double halo = c.haloWidth / 2;
    c.bounds = QRectF(left - halo, top - halo, w + 2 * halo, h + 2 * halo);
    c.boxes = {c.bounds};
    c.anchor = anchor;
    return c;
}

// Positions along a polyline by arc length.
class Polyline {
public:
    explicit Polyline(std::vector<QPointF> points) : m_points(std::move(points))
    {
        m_at.resize(m_points.size(), 0.0);
        for (std::size_t i = 1; i < m_points.size(); ++i) {
            const QPointF d = m_points[i] - m_points[i - 1];
            m_at[i] = m_at[i - 1] + std::hypot(d.x(), d.y());
        }
    }
    double length() const { return m_at.empty() ? 0.0 : m_at.back(); }
    // The point and the direction (degrees, 0 = east, clockwise) at arc length s.
    std::pair<QPointF, double> at(double s) const
    {
        const std::size_t i = segment(s);
        const QPointF a = m_points[i - 1];
        const QPointF b = m_points[i];
        return {pointOn(i, s), std::atan2(b.y() - a.y(), b.x() - a.x()) * (180.0 / M_PI)};
    }
    // The point alone.
    QPointF point(double s) const { return pointOn(segment(s), s); }

private:
    // The segment that ends at point i holds arc length s.
    std::size_t segment(double s) const
    {
        const auto it = std::upper_bound(m_at.begin(), m_at.end(), s);
        return std::clamp<std::size_t>(std::size_t(it - m_at.begin()), 1, m_points.size() - 1);
    }
    QPointF pointOn(std::size_t i, double s) const
    {
        const QPointF a = m_points[i - 1];
        const QPointF b = m_points[i];
        const double span = m_at[i] - m_at[i - 1];
        const double t = span > 0 ? std::clamp((s - m_at[i - 1]) / span, 0.0, 1.0) : 0.0;
        return a + (b - a) * t;
    }

    std::vector<QPointF> m_points;
    std::vector<double> m_at;
};

double bend(double a, double b)
{
    double d = std::fmod(b - a + 540.0, 360.0) - 180.0;
    return std::abs(d);
}

// A text along the way centred at arc length s, upright; false where the way
// bends too much there.
bool alongWay(LabelCandidate& c, const Polyline& line, double s, double width, const FontCache::Entry& font)
{
    const double start = s - width / 2;
    const double end = s + width / 2;
    if (start < 0 || end > line.length())
        return false;
    // Upright: read from left to right.
    const QPointF from = line.point(start);
    const QPointF to = line.point(end);
    const bool reversed = to.x() < from.x();
    c.letters.clear();
    double x = 0;
    double previous = 0;
    double first = 0;
    const QString& text = c.text;
    for (int i = 0; i < text.size();) {
        const int n = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString letter = text.mid(i, n);
        i += n;
        const double advance = font.advance(letter);
        const double middle = x + advance / 2;
        x += advance;
        auto [point, angle] = line.at(reversed ? end - middle : start + middle);
        if (reversed)
            angle += 180.0;
        if (c.letters.empty()) {
            first = angle;
        } else if (bend(previous, angle) > kMaxLetterBendDeg || bend(first, angle) > kMaxTotalBendDeg) {
            return false;
        }
        previous = angle;
        c.letters.push_back({point, float(angle), float(advance), letter});
    }
    const double h = font.metrics.height();
    c.baselineShift = float((font.metrics.ascent() - font.metrics.descent()) / 2);
    c.boxes.clear();
    QRectF all;
    const double halo = c.haloWidth / 2;
    for (const LabelCandidate::Letter& l : c.letters) {
        const double side = std::max<double>(l.advance, h) / 2 + halo;
        const QRectF box(l.centre.x() - side, l.centre.y() - side, 2 * side, 2 * side);
        c.boxes.push_back(box);
        all = all.isNull() ? box : all.united(box);
    }
    c.bounds = all;
    c.anchor = line.point(s);
    return !c.letters.empty();
}

void addPathTexts(std::vector<LabelCandidate>& out, const RenderInstruction& in, const QString& text,
                  const FontCache::Entry& font, float textScale, const Polyline& line, const QRectF& tileRect,
                  float lengthScale, float displayScale)
{
    const double width = font.advance(text);
    if (width <= 0 || line.length() < width)
        return;
    LabelCandidate c;
    c.kind = InstructionKind::PathText;
    c.priority = in.priority;
    c.display = in.display;
    c.order = in.order;
    setText(c, in, text, font, textScale);
    std::vector<double> places;
    if (in.repeat) {
        // As many as fit between repeat-start from either end, at least
        // repeat-gap apart, spread evenly over that stretch: one in the
        // middle of a short way, none crowded at its start.
        const double gap = std::max(in.repeatGap * lengthScale, float(displayScale));
        const double start = std::min(double(in.repeatStart * lengthScale), (line.length() - width) / 2);
        const double stretch = line.length() - 2 * start - width; // from the first middle to the last
        const int count = std::clamp(1 + int(std::floor(stretch / (width + gap))), 1, kMaxRepeats);
        if (count == 1) {
            places.push_back(line.length() / 2);
        } else {
            for (int i = 0; i < count; ++i)
                places.push_back(start + width / 2 + stretch * i / (count - 1));
        }
    } else {
        places.push_back(line.length() / 2);
    }
    for (double s : places) {
        // Only the tile that holds its middle lays the letters out.
        if (tileRect.contains(line.point(s)) && alongWay(c, line, s, width, font))
            out.push_back(c);
    }
}

// The pictures of a line symbol along the way: one in the middle, or from
// repeat-start on every repeat-gap (never closer than the picture is wide).
// Each is placed as the symbols of points are, at its own spot, so the
// tiles a way crosses agree on them.
void addLineSymbols(std::vector<LabelCandidate>& out, const RenderInstruction& in, QSize picture,
                    const Polyline& line, const QRectF& tileRect, float lengthScale)
{
    const double length = line.length();
    if (length <= 0)
        return;
    LabelCandidate c;
    c.kind = InstructionKind::LineSymbol;
    c.priority = in.priority;
    c.display = in.display;
    c.order = in.order;
    c.picture = &in.image;
    c.pictureScale = lengthScale;
    c.pictureSize = picture;
    const double w = picture.width(), h = picture.height();
    const double gap = std::max(double(in.repeatGap * lengthScale), w + 1.0);
    double s = in.repeat ? in.repeatStart * lengthScale : length / 2;
    for (int count = 0; s <= length && count < kMaxLineSymbols; ++count, s += gap) {
        const auto [point, angle] = line.at(s);
        if (tileRect.contains(point)) {
            c.anchor = point;
            c.symbolAt = point - QPointF(w / 2, h / 2);
            c.rotationDeg = in.rotate ? float(angle) : 0.0f;
            // What the turned picture covers.
            const double a = c.rotationDeg * (M_PI / 180.0);
            const double bw = std::abs(w * std::cos(a)) + std::abs(h * std::sin(a));
            const double bh = std::abs(w * std::sin(a)) + std::abs(h * std::cos(a));
            c.bounds = QRectF(point.x() - bw / 2, point.y() - bh / 2, bw, bh);
            c.boxes = {c.bounds};
            out.push_back(c);
        }
        if (!in.repeat)
            break;
    }
}

} // namespace

const FontCache::Entry& FontCache::get(maps::FontFamily family, maps::FontStyle style, float sizePx)
{
    const auto px = std::uint64_t(std::max(1L, std::lround(sizePx * 4)));
    const std::uint64_t key = (px << 16) | (std::uint64_t(family) << 8) | std::uint64_t(style);
    if (const auto it = m_fonts.find(key); it != m_fonts.end())
        return it->second;
    QFont font;
    switch (family) {
    case maps::FontFamily::Default:
    case maps::FontFamily::SansSerif: font.setStyleHint(QFont::SansSerif); font.setFamily(QStringLiteral("Sans Serif")); break;
    case maps::FontFamily::Serif: font.setStyleHint(QFont::Serif); font.setFamily(QStringLiteral("Serif")); break;
    case maps::FontFamily::Monospace: font.setStyleHint(QFont::Monospace); font.setFamily(QStringLiteral("Monospace")); break;
    }
    font.setPixelSize(std::max(1, int(std::lround(sizePx))));
    font.setBold(style == maps::FontStyle::Bold || style == maps::FontStyle::BoldItalic);
    font.setItalic(style == maps::FontStyle::Italic || style == maps::FontStyle::BoldItalic);
    return m_fonts.emplace(key, Entry{font, QFontMetricsF(font), {}, {}}).first->second;
}

qreal FontCache::Entry::advance(const QString& text) const
{
    if (const auto it = widths.find(text); it != widths.end())
        return it->second;
    if (widths.size() >= kMaxTextsPerFont)
        widths.clear();
    return widths.emplace(text, metrics.horizontalAdvance(text)).first->second;
}

const QPainterPath& FontCache::Entry::outline(const QString& text, QPointF at) const
{
    const auto it = outlines.find(text);
    if (it != outlines.end() && it->second.at == at)
        return it->second.path;
    if (it == outlines.end() && outlines.size() >= kMaxTextsPerFont)
        outlines.clear();
    Outline& made = outlines[text];
    made.at = at;
    made.path = QPainterPath();
    made.path.addText(at, font, text);
    return made.path;
}

std::string labelText(const std::string& key, const maps::MapPoi* poi, const maps::MapWay* way)
{
    if (key == "name")
        return poi ? poi->name : way->name;
    if (key == "addr:housenumber")
        return poi ? poi->houseNumber : way->houseNumber;
    if (key == "ref" && way)
        return way->ref;
    if (key == "ele" && poi && poi->elevationM)
        return std::to_string(*poi->elevationM);
    for (const maps::VectorTag& tag : poi ? poi->tags : way->tags)
        if (tag.key == key)
            return tag.value;
    return {};
}

std::vector<LabelCandidate> collectLabels(const maps::MapTile& tile, const TileFrame& frame,
                                          const maps::RenderTheme& theme, maps::ThemeMatcher& matcher,
                                          SymbolCache& symbols, FontCache& fonts, float displayScale)
{
    std::vector<LabelCandidate> out;
    const QRectF tileRect = frame.worldRect();
    const int zoom = frame.zoom;
    struct SymbolBox {
        const std::string* id;
        QRectF box;
    };
    std::vector<SymbolBox> symbolBoxes;

    // Symbols and captions of one element at anchor; texts along its way.
    auto element = [&](std::span<const RenderInstruction* const> matched, QPointF anchor, const maps::MapPoi* poi,
                       const maps::MapWay* way) {
        symbolBoxes.clear();
        const bool onTile = tileRect.contains(anchor);
        for (const RenderInstruction* in : matched) {
            if (in->kind != InstructionKind::Symbol || in->display == LabelDisplay::Never)
                continue;
            const float scale = theme.lengthScale(*in, zoom, displayScale);
            const QSize picture = symbols.pictureSize(in->image, scale);
            if (picture.isEmpty())
                continue;
            const QRectF box(anchor.x() - picture.width() / 2.0, anchor.y() - picture.height() / 2.0, picture.width(),
                             picture.height());
            symbolBoxes.push_back({&in->id, box});
            if (!onTile)
                continue;
            LabelCandidate c;
            c.kind = InstructionKind::Symbol;
            c.priority = in->priority;
            c.display = in->display;
            c.order = in->order;
            c.anchor = anchor;
            c.picture = &in->image;
            c.pictureScale = scale;
            c.pictureSize = picture;
            c.symbolAt = box.topLeft();
            c.bounds = box;
            c.boxes = {box};
            out.push_back(std::move(c));
        }
        // The way in world pixels, moved aside by dy theme pixels × scale.
        auto wayLine = [&](float dy, float scale) {
            std::vector<QPointF> points;
            points.reserve(way->rings[0].size());
            for (const maps::MicroPoint& p : way->rings[0])
                points.push_back(frame.world(p));
            if (dy != 0) {
                // Offset to the side as lines with dy are.
                std::vector<QPointF> shifted = points;
                for (std::size_t i = 0; i < points.size(); ++i) {
                    const QPointF a = points[i == 0 ? 0 : i - 1];
                    const QPointF b = points[i + 1 < points.size() ? i + 1 : i];
                    const double len = std::hypot(b.x() - a.x(), b.y() - a.y());
                    if (len > 0)
                        shifted[i] += QPointF(-(b.y() - a.y()), b.x() - a.x()) * (dy * scale / len);
                }
                points = std::move(shifted);
            }
            return Polyline(std::move(points));
        };
        for (const RenderInstruction* in : matched) {
            if (in->display == LabelDisplay::Never)
                continue;
            if (in->kind == InstructionKind::LineSymbol && way && !way->rings.empty()) {
                const float ls = theme.lengthScale(*in, zoom, displayScale);
                const QSize picture = symbols.pictureSize(in->image, ls);
                if (!picture.isEmpty())
                    addLineSymbols(out, *in, picture, wayLine(in->dy, ls), tileRect, ls);
                continue;
            }
            if (in->fontSize <= 0)
                continue;
            if (in->kind == InstructionKind::Caption && onTile) {
                const std::string text = labelText(in->textKey, poi, way);
                if (text.empty())
                    continue;
                const QRectF* symbolBox = nullptr;
                if (!in->symbolId.empty())
                    for (const SymbolBox& s : symbolBoxes)
                        if (*s.id == in->symbolId)
                            symbolBox = &s.box;
                const float size = theme.textSize(*in, zoom, displayScale);
                const FontCache::Entry& font = fonts.get(in->fontFamily, in->fontStyle, size);
                LabelCandidate c = caption(*in, transformed(text, in->textTransform), font, size / in->fontSize,
                                           anchor, symbolBox, theme.lengthScale(*in, zoom, displayScale),
                                           displayScale, int(in->textWrapWidth * displayScale));
                c.priority = in->priority;
                c.display = in->display;
                c.order = in->order;
                out.push_back(std::move(c));
            } else if (in->kind == InstructionKind::PathText && way && !way->rings.empty()) {
                const std::string text = labelText(in->textKey, poi, way);
                if (text.empty())
                    continue;
                const float ls = theme.lengthScale(*in, zoom, displayScale);
                const float size = theme.textSize(*in, zoom, displayScale);
                const FontCache::Entry& font = fonts.get(in->fontFamily, in->fontStyle, size);
                addPathTexts(out, *in, transformed(text, in->textTransform), font, size / in->fontSize,
                             wayLine(in->dy, ls), tileRect, ls, displayScale);
            }
        }
    };

    std::vector<const RenderInstruction*> labels;
    auto labelsOnly = [&](std::span<const RenderInstruction* const> all) {
        labels.clear();
        for (const RenderInstruction* in : all)
            if (isLabel(in->kind))
                labels.push_back(in);
        return std::span<const RenderInstruction* const>(labels);
    };

    for (const maps::MapPoi& poi : tile.pois) {
        const auto matched = labelsOnly(matcher.match(maps::VectorElement::Node, poi.tags, zoom, false));
        if (!matched.empty())
            element(matched, frame.world(poi.position), &poi, nullptr);
    }
    for (const maps::MapWay& way : tile.ways) {
        if (way.rings.empty() || way.rings[0].size() < 2)
            continue;
        const auto& ring = way.rings[0];
        const bool closed = ring.size() > 2 && ring.front() == ring.back();
        const auto matched = labelsOnly(matcher.match(maps::VectorElement::Way, way.tags, zoom, closed));
        if (matched.empty())
            continue;
        QPointF anchor;
        if (way.labelPosition) {
            anchor = frame.world(*way.labelPosition);
        } else {
            std::int64_t minLat = ring[0].latE6, maxLat = minLat, minLon = ring[0].lonE6, maxLon = minLon;
            for (const maps::MicroPoint& p : ring) {
                minLat = std::min<std::int64_t>(minLat, p.latE6);
                maxLat = std::max<std::int64_t>(maxLat, p.latE6);
                minLon = std::min<std::int64_t>(minLon, p.lonE6);
                maxLon = std::max<std::int64_t>(maxLon, p.lonE6);
            }
            anchor = frame.world({std::int32_t((minLat + maxLat) / 2), std::int32_t((minLon + maxLon) / 2)});
        }
        element(matched, anchor, nullptr, &way);
    }
    return out;
}

std::vector<std::size_t> placeLabels(const std::vector<const LabelCandidate*>& candidates)
{
    auto rank = [](LabelDisplay d) { return d == LabelDisplay::Always ? 0 : d == LabelDisplay::Order ? 1 : 2; };
    std::vector<std::size_t> sorted;
    sorted.reserve(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (candidates[i]->display != LabelDisplay::Never)
            sorted.push_back(i);
    // By display, priority (higher first), anchor from north-west, place in
    // the theme, kind and text; field by field, as tuples compare.
    std::sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) {
        const LabelCandidate& x = *candidates[a];
        const LabelCandidate& y = *candidates[b];
        const auto order = [](const auto& u, const auto& v) { return u < v ? -1 : v < u ? 1 : 0; };
        int c = order(rank(x.display), rank(y.display));
        if (c == 0)
            c = order(y.priority, x.priority);
        if (c == 0)
            c = order(x.anchor.y(), y.anchor.y());
        if (c == 0)
            c = order(x.anchor.x(), y.anchor.x());
        if (c == 0)
            c = order(x.order, y.order);
        if (c == 0)
            c = order(int(x.kind), int(y.kind));
        if (c == 0)
            c = order(x.text, y.text);
        return c < 0;
    });

    // Boxes placed so far, in cells of kCell world pixels.
    constexpr double kCell = 128;
    std::unordered_map<std::uint64_t, std::vector<QRectF>> cells;
    auto cellsOf = [&](const QRectF& r, auto&& visit) {
        const auto x0 = std::int64_t(std::floor(r.left() / kCell)), x1 = std::int64_t(std::floor(r.right() / kCell));
        const auto y0 = std::int64_t(std::floor(r.top() / kCell)), y1 = std::int64_t(std::floor(r.bottom() / kCell));
        for (std::int64_t cy = y0; cy <= y1; ++cy)
            for (std::int64_t cx = x0; cx <= x1; ++cx)
                if (visit((std::uint64_t(cy) << 32) ^ std::uint64_t(std::uint32_t(cx))))
                    return true;
        return false;
    };
    std::vector<std::size_t> placed;
    for (std::size_t i : sorted) {
        const LabelCandidate& c = *candidates[i];
        if (c.display == LabelDisplay::Always) {
            placed.push_back(i);
            continue;
        }
        bool overlaps = false;
        for (const QRectF& box : c.boxes) {
            overlaps = cellsOf(box, [&](std::uint64_t key) {
                const auto it = cells.find(key);
                if (it == cells.end())
                    return false;
                return std::any_of(it->second.begin(), it->second.end(),
                                   [&](const QRectF& other) { return other.intersects(box); });
            });
            if (overlaps)
                break;
        }
        if (overlaps)
            continue;
        for (const QRectF& box : c.boxes)
            cellsOf(box, [&](std::uint64_t key) {
                cells[key].push_back(box);
                return false;
            });
        placed.push_back(i);
    }
    return placed;
}

void drawLabel(QPainter& painter, const LabelCandidate& label, QPointF origin, SymbolCache& symbols)
{
    if (label.kind == InstructionKind::Symbol || label.kind == InstructionKind::LineSymbol) {
        if (!label.picture)
            return;
        const QImage& picture = symbols.image(*label.picture, label.pictureScale);
        if (label.rotationDeg == 0) {
            painter.drawImage(label.symbolAt - origin, picture);
            return;
        }
        painter.save();
        painter.translate(label.anchor - origin);
        painter.rotate(label.rotationDeg);
        painter.drawImage(QPointF(-picture.width() / 2.0, -picture.height() / 2.0), picture);
        painter.restore();
        return;
    }
    QPen halo(label.halo, label.haloWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    auto draw = [&](const QPainterPath& path) {
        if (label.haloWidth > 0 && label.halo.alpha() > 0)
            painter.strokePath(path, halo);
        painter.fillPath(path, label.fill);
    };
    if (label.kind == InstructionKind::Caption) {
        QPainterPath path;
        for (const auto& [at, line] : label.lines) {
            // Text is laid out in 1/64 pixels from its start cut to them
            // (towards 0): the outline made at the origin, moved by that cut
            // start, is the one made there. Not so left of or above the tile,
            // where a cut towards 0 is one away from the text: a text of
            // several runs (a letter from another font) cuts the start of
            // each run, and a run that starts past 0 is cut the other way.
            const QPointF start = at - origin;
            if (!label.fontEntry || start.x() < 0 || start.y() < 0) {
                path.addText(start, label.font, line);
                continue;
            }
            const QPointF cut(double(int(start.x() * 64.0)) / 64.0, double(int(start.y() * 64.0)) / 64.0);
            path.addPath(label.fontEntry->outline(line, QPointF(0, 0)).translated(cut));
        }
        draw(path);
        return;
    }
    // Each letter in a frame of its own, turned about its centre.
    const QTransform base = painter.worldTransform();
    for (const LabelCandidate::Letter& l : label.letters) {
        QTransform frame = base;
        frame.translate((l.centre - origin).x(), (l.centre - origin).y());
        frame.rotate(l.angleDeg);
        painter.setWorldTransform(frame);
        // Each letter sits at the same spot of its own frame every time.
        const QPointF at(-l.advance / 2, label.baselineShift);
        if (label.fontEntry) {
            draw(label.fontEntry->outline(l.text, at));
        } else {
            QPainterPath path;
            path.addText(at, label.font, l.text);
            draw(path);
        }
    }
    painter.setWorldTransform(base);
}

} // namespace tw::vector
