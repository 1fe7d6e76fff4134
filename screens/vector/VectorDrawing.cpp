// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/vector/VectorDrawing.h"

#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace tw::vector {

using maps::InstructionKind;
using maps::RenderInstruction;

namespace {

// Geometry is cut to the tile and this much around it (a share of the tile's
// side): enough for the widest stroke, little for a way that spans a country.
constexpr double kClipMargin = 0.5;

Qt::PenCapStyle capOf(maps::LineCap cap)
{
    switch (cap) {
    case maps::LineCap::Butt: return Qt::FlatCap;
    case maps::LineCap::Square: return Qt::SquareCap;
    case maps::LineCap::Round: break;
    }
    return Qt::RoundCap;
}

Qt::PenJoinStyle joinOf(maps::LineJoin join)
{
    switch (join) {
    case maps::LineJoin::Miter: return Qt::MiterJoin;
    case maps::LineJoin::Bevel: return Qt::BevelJoin;
    case maps::LineJoin::Round: break;
    }
    return Qt::RoundJoin;
}

// Sutherland–Hodgman against each side of r.
QPolygonF clipPolygon(const QPolygonF& in, const QRectF& r)
{
    QPolygonF out = in;
    for (int side = 0; side < 4 && !out.isEmpty(); ++side) {
        auto inside = [&](const QPointF& p) {
            switch (side) {
            case 0: return p.x() >= r.left();
            case 1: return p.x() <= r.right();
            case 2: return p.y() >= r.top();
            default: return p.y() <= r.bottom();
            }
        };
        auto cross = [&](const QPointF& a, const QPointF& b) {
            double t = 0;
            switch (side) {
            case 0: t = (r.left() - a.x()) / (b.x() - a.x()); break;
            case 1: t = (r.right() - a.x()) / (b.x() - a.x()); break;
            case 2: t = (r.top() - a.y()) / (b.y() - a.y()); break;
            default: t = (r.bottom() - a.y()) / (b.y() - a.y()); break;
            }
            return a + (b - a) * t;
        };
        QPolygonF next;
        next.reserve(out.size() + 4);
        for (qsizetype i = 0; i < out.size(); ++i) {
            const QPointF& a = out[i];
            const QPointF& b = out[(i + 1) % out.size()];
            const bool ia = inside(a), ib = inside(b);
            if (ia)
                next.push_back(a);
            if (ia != ib)
                next.push_back(cross(a, b));
        }
        out = std::move(next);
    }
    return out;
}

// Liang–Barsky on each segment; the parts of the line inside r.
void clipPolyline(const QPolygonF& in, const QRectF& r, std::vector<QPolygonF>& out)
{
    QPolygonF part;
    for (qsizetype i = 1; i < in.size(); ++i) {
        QPointF a = in[i - 1], b = in[i];
        double t0 = 0, t1 = 1;
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
        bool visible = true;
        for (int k = 0; k < 4 && visible; ++k) {
            if (p[k] == 0) {
                visible = q[k] >= 0;
            } else {
                const double t = q[k] / p[k];
                if (p[k] < 0)
                    t0 = std::max(t0, t);
                else
                    t1 = std::min(t1, t);
                visible = t0 <= t1;
            }
        }
        if (!visible) {
            if (part.size() > 1)
                out.push_back(part);
            part.clear();
            continue;
        }
        const QPointF from = a + QPointF(dx, dy) * t0;
        const QPointF to = a + QPointF(dx, dy) * t1;
        if (part.isEmpty() || part.back() != from) {
            if (part.size() > 1)
                out.push_back(part);
            part.clear();
            part.push_back(from);
        }
        part.push_back(to);
        if (t1 < 1) {
            out.push_back(part);
            part.clear();
        }
    }
    if (part.size() > 1)
        out.push_back(part);
}

// The line moved sideways by d pixels (+ to the right of its direction).
QPolygonF offsetLine(const QPolygonF& line, double d)
{
    QPolygonF out(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QPointF a = line[i == 0 ? 0 : i - 1];
        const QPointF b = line[i + 1 < line.size() ? i + 1 : i];
        const double len = std::hypot(b.x() - a.x(), b.y() - a.y());
        out[i] = len > 0 ? line[i] + QPointF(-(b.y() - a.y()), b.x() - a.x()) * (d / len) : line[i];
    }
    return out;
}

QRectF boundsOf(const QPolygonF& polygon)
{
    if (polygon.isEmpty())
        return {};
    double x0 = polygon[0].x(), x1 = x0, y0 = polygon[0].y(), y1 = y0;
    for (const QPointF& p : polygon) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

// Whether two boxes meet; unlike QRectF::intersects also for a box of no
// height or width (a straight horizontal or vertical way).
bool meets(const QRectF& a, const QRectF& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

bool inside(const QRectF& outer, const QRectF& inner)
{
    return outer.left() <= inner.left() && inner.right() <= outer.right() && outer.top() <= inner.top() &&
           inner.bottom() <= outer.bottom();
}

// The runs of a line's parts (after cutting to the clip) that a stroke
// reaching reachPx beyond its points can paint into the tile. A run keeps the
// segment before and after the ones that reach the tile: every join that can
// show is made of the same two segments as on the whole line, and the caps at
// the run's ends lie out of sight. The stroke of the runs paints the tile's
// pixels alike, for less stroking: a way that crosses the clip's margins
// strokes mostly there. Lines of dashes are kept whole (dashes start anew
// at every run).
void keepNearTile(const QPolygonF& line, double sidePx, double reachPx, std::vector<QPolygonF>& out)
{
    const qsizetype n = line.size();
    if (n < 2)
        return;
    const QRectF near(-reachPx, -reachPx, sidePx + 2 * reachPx, sidePx + 2 * reachPx);
    auto reaches = [&](qsizetype i) { // segment i: from point i to point i + 1
        const QPointF& a = line[i];
        const QPointF& b = line[i + 1];
        return std::max(a.x(), b.x()) >= near.left() && std::min(a.x(), b.x()) <= near.right() &&
               std::max(a.y(), b.y()) >= near.top() && std::min(a.y(), b.y()) <= near.bottom();
    };
    const qsizetype segments = n - 1;
    // A closed line whose closing point may show keeps its join there: whole.
    if (n > 2 && line.front() == line.back() && (reaches(0) || reaches(segments - 1))) {
        out.push_back(line);
        return;
    }
    qsizetype runStart = -1; // first segment of the run being gathered
    qsizetype lastNeeded = -2;
    auto flush = [&](qsizetype lastSegment) {
        if (runStart == 0 && lastSegment == segments - 1)
            out.push_back(line);
        else
            out.emplace_back(line.begin() + runStart, line.begin() + lastSegment + 2);
        runStart = -1;
    };
    for (qsizetype i = 0; i < segments; ++i) {
        if (!reaches(i))
            continue;
        const qsizetype from = std::max<qsizetype>(i - 1, 0);
        if (runStart >= 0 && from > std::min(lastNeeded + 1, segments - 1) + 1)
            flush(std::min(lastNeeded + 1, segments - 1));
        if (runStart < 0)
            runStart = from;
        lastNeeded = i;
    }
    if (runStart >= 0)
        flush(std::min(lastNeeded + 1, segments - 1));
}

// A smooth line through the points (Catmull–Rom: each stretch a cubic Bézier
// curve whose tangents at its ends point from the point before to the point
// after), flattened to short straight pieces. A tile's offset moves it
// alone, so neighbouring tiles draw the same curve. Stretches that lie
// wholly outside r stay straight: they are cut away.
QPolygonF smoothed(const QPolygonF& line, const QRectF& r)
{
    constexpr double kPiecePx = 3.0;
    constexpr int kMaxPieces = 48;
    const qsizetype n = line.size();
    if (n < 3)
        return line;
    const bool closed = line.front() == line.back();
    QPolygonF out;
    out.reserve(n * 4);
    out.push_back(line[0]);
    for (qsizetype i = 0; i + 1 < n; ++i) {
        const QPointF p1 = line[i], p2 = line[i + 1];
        const QPointF p0 = i > 0 ? line[i - 1] : closed ? line[n - 2] : p1;
        const QPointF p3 = i + 2 < n ? line[i + 2] : closed ? line[1] : p2;
        const QPointF c1 = p1 + (p2 - p0) / 6.0;
        const QPointF c2 = p2 - (p3 - p1) / 6.0;
        const double x0 = std::min({p1.x(), c1.x(), c2.x(), p2.x()}), x1 = std::max({p1.x(), c1.x(), c2.x(), p2.x()});
        const double y0 = std::min({p1.y(), c1.y(), c2.y(), p2.y()}), y1 = std::max({p1.y(), c1.y(), c2.y(), p2.y()});
        if (!meets(QRectF(QPointF(x0, y0), QPointF(x1, y1)), r)) {
            out.push_back(p2);
            continue;
        }
        const double reach = std::hypot(c1.x() - p1.x(), c1.y() - p1.y()) + std::hypot(c2.x() - c1.x(), c2.y() - c1.y()) +
                             std::hypot(p2.x() - c2.x(), p2.y() - c2.y());
        const int pieces = std::clamp(int(std::ceil(reach / kPiecePx)), 1, kMaxPieces);
        for (int k = 1; k < pieces; ++k) {
            const double t = double(k) / pieces, u = 1 - t;
            out.push_back(p1 * (u * u * u) + c1 * (3 * u * u * t) + c2 * (3 * u * t * t) + p2 * (t * t * t));
        }
        out.push_back(p2);
    }
    return out;
}

// A pattern laid from the world's corner, so that it runs on across tiles.
QBrush patternBrush(const QImage& pattern, const TileFrame& frame)
{
    QBrush brush(pattern);
    const double w = pattern.width(), h = pattern.height();
    brush.setTransform(QTransform::fromTranslate(-std::fmod(frame.origin.x(), w), -std::fmod(frame.origin.y(), h)));
    return brush;
}

struct Op {
    int layer;
    int order;
    int element; // a way's index in ways, or -(poi index + 1)
    const RenderInstruction* in;
};

class GeometryPass {
public:
    GeometryPass(QPainter& painter, const TileFrame& frame, VectorDrawState& state)
        : m_p(painter), m_frame(frame), m_state(state), m_theme(state.theme)
    {
        const double m = frame.sidePx * kClipMargin;
        m_clip = QRectF(-m, -m, frame.sidePx + 2 * m, frame.sidePx + 2 * m);
    }

    void run(const maps::MapTile& tile)
    {
        const int zoom = m_frame.zoom;
        if (tile.water) {
            // A tile all sea: the closed way natural=sea over it.
            const double n = double(std::int64_t{1} << zoom);
            auto lat = [&](double y) { return std::atan(std::sinh(M_PI * (1 - 2 * y / n))) * (180.0 / M_PI); };
            auto lon = [&](double x) { return x / n * 360.0 - 180.0; };
            const double x0 = double(m_frame.x) - 0.25, x1 = double(m_frame.x) + 1.25;
            const double y0 = double(m_frame.y) - 0.25, y1 = double(m_frame.y) + 1.25;
            auto at = [&](double y, double x) {
                return maps::MicroPoint{maps::tilemath::toE6(std::clamp(lat(y), -85.0, 85.0)),
                                        maps::tilemath::toE6(std::clamp(lon(x), -180.0, 180.0))};
            };
            m_sea.tags = {{"natural", "sea"}};
            m_sea.rings = {{at(y0, x0), at(y0, x1), at(y1, x1), at(y1, x0), at(y0, x0)}};
            m_ways.push_back(&m_sea);
        }
        for (const maps::MapWay& way : tile.ways)
            m_ways.push_back(&way);

        for (std::size_t i = 0; i < m_ways.size(); ++i) {
            const maps::MapWay& way = *m_ways[i];
            if (way.rings.empty() || way.rings[0].size() < 2)
                continue;
            const auto& ring = way.rings[0];
            const bool closed = ring.size() > 2 && ring.front() == ring.back();
            for (const RenderInstruction* in : m_state.matcher.match(maps::VectorElement::Way, way.tags, zoom, closed))
                if (in->kind == InstructionKind::Area || in->kind == InstructionKind::Line)
                    m_ops.push_back({std::clamp(way.layer, -5, 10), in->order, int(i), in});
        }
        for (std::size_t i = 0; i < tile.pois.size(); ++i) {
            const maps::MapPoi& poi = tile.pois[i];
            for (const RenderInstruction* in : m_state.matcher.match(maps::VectorElement::Node, poi.tags, zoom, false))
                if (in->kind == InstructionKind::Circle)
                    m_ops.push_back({std::clamp(poi.layer, -5, 10), in->order, -int(i) - 1, in});
        }
        std::stable_sort(m_ops.begin(), m_ops.end(), [](const Op& a, const Op& b) {
            return a.layer != b.layer ? a.layer < b.layer : a.order < b.order;
        });
        m_projected.assign(m_ways.size(), {});
        m_done.assign(m_ways.size(), 0);
        for (const Op& op : m_ops) {
            if (op.element < 0)
                circle(tile.pois[std::size_t(-op.element - 1)], *op.in);
            else if (op.in->kind == InstructionKind::Area)
                area(std::size_t(op.element), *op.in);
            else
                line(std::size_t(op.element), *op.in);
        }
    }

private:
    // The way's rings in tile pixels; empty when none meets the tile.
    const std::vector<QPolygonF>& projected(std::size_t i)
    {
        if (m_done[i])
            return m_projected[i];
        m_done[i] = 1;
        std::vector<QPolygonF>& out = m_projected[i];
        bool anyMeets = false;
        for (const auto& ring : m_ways[i]->rings) {
            QPolygonF polygon;
            polygon.reserve(qsizetype(ring.size()));
            for (const maps::MicroPoint& p : ring)
                polygon.push_back(m_frame.local(p));
            anyMeets = anyMeets || meets(boundsOf(polygon), m_clip);
            out.push_back(std::move(polygon));
        }
        if (!anyMeets)
            out.clear();
        return out;
    }

    float strokeScale(const RenderInstruction& in) const
    {
        // What the instruction's lengths grow by: as its stroke width.
        return m_theme.baseStrokeWidth * m_state.displayScale *
               (in.scale == maps::ThemeScale::None ? 1.0f : maps::RenderTheme::zoomGrowth(m_frame.zoom));
    }

    void area(std::size_t i, const RenderInstruction& in)
    {
        const auto& rings = projected(i);
        const float width = m_theme.strokeWidth(in, m_frame.zoom, m_state.displayScale);
        // An area and its outline away from the tile paint none of its pixels.
        const double reach = std::max(0.0, double(width)) + 2.0;
        const QRectF near(-reach, -reach, m_frame.sidePx + 2 * reach, m_frame.sidePx + 2 * reach);
        if (std::none_of(rings.begin(), rings.end(), [&](const QPolygonF& ring) { return meets(boundsOf(ring), near); }))
            return;
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (const QPolygonF& ring : rings) {
            if (ring.size() < 3)
                continue;
            path.addPolygon(inside(m_clip, boundsOf(ring)) ? ring : clipPolygon(ring, m_clip));
            path.closeSubpath();
        }
        const QImage& pattern = m_state.symbols.image(in.image, m_theme.lengthScale(in, m_frame.zoom, m_state.displayScale));
        if (!pattern.isNull())
            m_p.fillPath(path, patternBrush(pattern, m_frame));
        else if (qAlpha(in.fill) > 0)
            m_p.fillPath(path, QColor::fromRgba(in.fill));
        if (width > 0 && qAlpha(in.stroke) > 0)
            m_p.strokePath(path, QPen(QColor::fromRgba(in.stroke), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }

    void line(std::size_t i, const RenderInstruction& in)
    {
        const auto& rings = projected(i);
        const float width = m_theme.strokeWidth(in, m_frame.zoom, m_state.displayScale);
        if (rings.empty() || width <= 0)
            return;
        QPen pen(QColor::fromRgba(in.stroke), width, Qt::SolidLine, capOf(in.lineCap), joinOf(in.lineJoin));
        const QImage& pattern = m_state.symbols.image(in.image, m_theme.lengthScale(in, m_frame.zoom, m_state.displayScale));
        if (!pattern.isNull())
            pen.setBrush(patternBrush(pattern, m_frame));
        else if (qAlpha(in.stroke) == 0)
            return;
        if (!in.dashArray.empty()) {
            // The theme's dashes are pixels, Qt's are pen widths.
            QList<qreal> dashes;
            const float s = strokeScale(in);
            for (float d : in.dashArray)
                dashes.push_back(std::max(0.01, double(d * s / width)));
            if (dashes.size() % 2)
                dashes.append(dashes);
            pen.setDashPattern(dashes);
        }
        m_p.setPen(pen);
        m_p.setBrush(Qt::NoBrush);
        m_parts.clear();
        for (const QPolygonF& ring : rings) {
            QPolygonF shaped;
            if (in.dy != 0)
                shaped = offsetLine(ring, in.dy * strokeScale(in));
            if (in.curve == maps::Curve::Cubic)
                shaped = smoothed(in.dy != 0 ? shaped : ring, m_clip);
            const QPolygonF& drawn = in.dy != 0 || in.curve == maps::Curve::Cubic ? shaped : ring;
            if (inside(m_clip, boundsOf(drawn)))
                m_parts.push_back(drawn);
            else
                clipPolyline(drawn, m_clip, m_parts);
        }
        if (in.dashArray.empty()) {
            // A miter reaches out twice the width (the pen's limit); round
            // and bevelled joins and every cap less than the width; a pixel
            // more for the smoothed edge.
            const double reach = double(width) * (in.lineJoin == maps::LineJoin::Miter ? 2.0 : 1.0) + 2.0;
            m_near.clear();
            for (const QPolygonF& part : m_parts)
                keepNearTile(part, m_frame.sidePx, reach, m_near);
            std::swap(m_parts, m_near);
        }
        for (const QPolygonF& part : m_parts)
            m_p.drawPolyline(part);
    }

    void circle(const maps::MapPoi& poi, const RenderInstruction& in)
    {
        const QPointF c = m_frame.local(poi.position);
        const float r = m_theme.circleRadius(in, m_frame.zoom, m_state.displayScale);
        if (r <= 0 || !m_clip.contains(c))
            return;
        const float width = m_theme.strokeWidth(in, m_frame.zoom, m_state.displayScale);
        m_p.setBrush(qAlpha(in.fill) > 0 ? QBrush(QColor::fromRgba(in.fill)) : QBrush(Qt::NoBrush));
        m_p.setPen(width > 0 && qAlpha(in.stroke) > 0 ? QPen(QColor::fromRgba(in.stroke), width) : QPen(Qt::NoPen));
        m_p.drawEllipse(c, r, r);
    }

    QPainter& m_p;
    const TileFrame& m_frame;
    VectorDrawState& m_state;
    const maps::RenderTheme& m_theme;
    QRectF m_clip;
    maps::MapWay m_sea;
    std::vector<const maps::MapWay*> m_ways;
    std::vector<Op> m_ops;
    std::vector<std::vector<QPolygonF>> m_projected;
    std::vector<char> m_done;
    std::vector<QPolygonF> m_parts;
    std::vector<QPolygonF> m_near;
};

void fillOutside(QPainter& p, const TileFrame& frame, std::span<const maps::MicroBox> bounds, QColor colour)
{
    const int side = int(frame.sidePx);
    QRegion outside(0, 0, side, side);
    for (const maps::MicroBox& box : bounds) {
        const QPointF nw = frame.local({box.maxLatE6, box.minLonE6});
        const QPointF se = frame.local({box.minLatE6, box.maxLonE6});
        const QRectF r(nw, se);
        if (!r.intersects(QRectF(0, 0, side, side)))
            continue;
        outside -= QRegion(QRectF(r.normalized()).toAlignedRect().intersected(QRect(0, 0, side, side)));
        if (outside.isEmpty())
            return;
    }
    p.save();
    p.setClipRegion(outside);
    p.fillRect(QRect(0, 0, side, side), colour);
    p.restore();
}

} // namespace

std::shared_ptr<const std::vector<LabelCandidate>> VectorDrawState::labelsOf(const maps::MapTileId& id,
                                                                             const maps::MapTile* tile,
                                                                             const TileReader& read)
{
    for (auto it = m_labels.begin(); it != m_labels.end(); ++it)
        if (it->zoom == id.zoom && it->x == id.x && it->y == id.y) {
            m_labels.splice(m_labels.begin(), m_labels, it);
            return it->labels;
        }
    auto labels = std::make_shared<std::vector<LabelCandidate>>();
    if (!tile) {
        scratch.clear();
        if (read && read(id, scratch))
            tile = &scratch;
    }
    if (tile) {
        const TileFrame frame(id.zoom, id.x, id.y, kVectorTileSidePx);
        *labels = collectLabels(*tile, frame, theme, matcher, symbols, fonts, displayScale);
    }
    m_labels.push_front({id.zoom, id.x, id.y, labels});
    if (m_labels.size() > kKeptLabelTiles)
        m_labels.pop_back();
    return labels;
}

DrawnVectorTile renderVectorTile(const maps::MapTileId& id, const TileReader& read, VectorDrawState& state,
                                 std::span<const maps::MicroBox> bounds, const maps::MapTile* tile)
{
    const int side = kVectorTileSidePx;
    const TileFrame frame(id.zoom, id.x, id.y, side);
    DrawnVectorTile out;
    out.image = QImage(side, side, QImage::Format_RGB32);
    out.image.fill(QColor::fromRgba(state.theme.mapBackground));

    maps::MapTile own;
    if (!tile) {
        if (read)
            read(id, own);
        tile = &own;
    }
    QPainter painter(&out.image);
    painter.setRenderHint(QPainter::Antialiasing);
    GeometryPass(painter, frame, state).run(*tile);
    if (!bounds.empty())
        fillOutside(painter, frame, bounds, QColor::fromRgba(state.theme.mapBackgroundOutside));

    // Labels of the tile and its neighbours, decided alike for all of them.
    std::vector<std::shared_ptr<const std::vector<LabelCandidate>>> sources;
    std::vector<const LabelCandidate*> candidates;
    const std::int64_t n = std::int64_t{1} << id.zoom;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const maps::MapTileId near{id.zoom, id.x + dx, id.y + dy};
            if (near.x < 0 || near.y < 0 || near.x >= n || near.y >= n)
                continue;
            auto labels = state.labelsOf(near, dx == 0 && dy == 0 ? tile : nullptr, read);
            for (const LabelCandidate& c : *labels)
                candidates.push_back(&c);
            sources.push_back(std::move(labels));
        }
    const QRectF tileRect = frame.worldRect();
    for (std::size_t i : placeLabels(candidates)) {
        const LabelCandidate& c = *candidates[i];
        if (!c.bounds.intersects(tileRect))
            continue;
        drawLabel(painter, c, frame.origin, state.symbols);
        out.labels.push_back({c.kind, c.priority, c.bounds, c.boxes, c.text, c.display != maps::LabelDisplay::Always});
    }
    return out;
}

QImage renderVectorTile(const maps::MapTile& tile, maps::ThemeMatcher& matcher, const maps::RenderTheme& theme,
                        int zoom, std::int64_t x, std::int64_t y, float displayScale)
{
    VectorDrawState state(theme, matcher, displayScale);
    return renderVectorTile({zoom, x, y}, TileReader(), state, {}, &tile).image;
}

} // namespace tw::vector
