// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/ListingIcons.h"

#include "db/Enumerations.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

// Every picture is drawn on a 24×24 grid and scaled to the size asked for.
namespace tw {
namespace {

enum class Kind { Permission, Condition, Equipment, Hazard, Facility };

QColor colourOf(Kind kind)
{
    switch (kind) {
    case Kind::Permission: return QColor(0x2e, 0x7d, 0x32);
    case Kind::Condition: return QColor(0x15, 0x65, 0xc0);
    case Kind::Equipment: return QColor(0x6a, 0x1b, 0x9a);
    case Kind::Hazard: return QColor(0xc6, 0x28, 0x28);
    case Kind::Facility: return QColor(0x00, 0x69, 0x5c);
    }
    return Qt::darkGray;
}

enum class G {
    Text, Paw, Clock, Scenic, Hiker, Climb, Wading, Swimming, Moon, NightCache, Snowflake, Seasonal, Cactus, Leaf,
    Snake, Bug, Mine, Cliff, Crosshair, Warning, Wheelchair, Bus, Drop, Phone, Picnic, Tent, Bicycle, Motorcycle,
    Car, Snowmobile, Horseshoe, Flame, Thorn, Eye, Stroller, Cross, Cow, Flashlight, Caravan, Ski, Snowshoe, Wrench,
    Ruin, Pump, Cutlery, Beacon, Rings, Camera, Tree, House, Kids, Team, Boat, Scuba, Rope,
};

struct Picture {
    const char* name;
    Kind kind;
    G glyph;
    const char* label = nullptr; // the text of G::Text, or the number beside a hiker
};

constexpr std::array kPictures{
    Picture{"dogs", Kind::Permission, G::Paw},
    Picture{"fee", Kind::Equipment, G::Text, "$"},
    Picture{"rappelling", Kind::Equipment, G::Rope},
    Picture{"boat", Kind::Equipment, G::Boat},
    Picture{"scuba", Kind::Equipment, G::Scuba},
    Picture{"kids", Kind::Condition, G::Kids},
    Picture{"onehour", Kind::Condition, G::Clock, "1"},
    Picture{"scenic", Kind::Condition, G::Scenic},
    Picture{"hiking", Kind::Condition, G::Hiker},
    Picture{"climbing", Kind::Condition, G::Climb},
    Picture{"wading", Kind::Condition, G::Wading},
    Picture{"swimming", Kind::Condition, G::Swimming},
    Picture{"available", Kind::Condition, G::Text, "24h"},
    Picture{"night", Kind::Condition, G::Moon},
    Picture{"winter", Kind::Condition, G::Snowflake},
    Picture{"cactus", Kind::Hazard, G::Cactus},
    Picture{"poisonoak", Kind::Hazard, G::Leaf},
    Picture{"dangerousanimals", Kind::Hazard, G::Snake},
    Picture{"snakes", Kind::Hazard, G::Snake},
    Picture{"ticks", Kind::Hazard, G::Bug},
    Picture{"mine", Kind::Hazard, G::Mine},
    Picture{"cliff", Kind::Hazard, G::Cliff},
    Picture{"hunting", Kind::Hazard, G::Crosshair},
    Picture{"danger", Kind::Hazard, G::Warning},
    Picture{"wheelchair", Kind::Condition, G::Wheelchair},
    Picture{"parking", Kind::Facility, G::Text, "P"},
    Picture{"public", Kind::Facility, G::Bus},
    Picture{"water", Kind::Facility, G::Drop},
    Picture{"restrooms", Kind::Facility, G::Text, "WC"},
    Picture{"phone", Kind::Facility, G::Phone},
    Picture{"picnic", Kind::Facility, G::Picnic},
    Picture{"camping", Kind::Facility, G::Tent},
    Picture{"bicycles", Kind::Permission, G::Bicycle},
    Picture{"motorcycles", Kind::Permission, G::Motorcycle},
    Picture{"quads", Kind::Permission, G::Text, "ATV"},
    Picture{"jeeps", Kind::Permission, G::Car},
    Picture{"snowmobiles", Kind::Permission, G::Snowmobile},
    Picture{"horses", Kind::Permission, G::Horseshoe},
    Picture{"campfires", Kind::Permission, G::Flame},
    Picture{"thorn", Kind::Hazard, G::Thorn},
    Picture{"stealth", Kind::Condition, G::Eye},
    Picture{"stroller", Kind::Condition, G::Stroller},
    Picture{"firstaid", Kind::Facility, G::Cross},
    Picture{"cow", Kind::Hazard, G::Cow},
    Picture{"flashlight", Kind::Equipment, G::Flashlight},
    Picture{"landf", Kind::Condition, G::Text, "L&F"},
    Picture{"rv", Kind::Permission, G::Caravan},
    Picture{"field_puzzle", Kind::Condition, G::Text, "?"},
    Picture{"uv", Kind::Equipment, G::Text, "UV"},
    Picture{"snowshoes", Kind::Equipment, G::Snowshoe},
    Picture{"skiis", Kind::Equipment, G::Ski},
    Picture{"s-tool", Kind::Equipment, G::Wrench},
    Picture{"nightcache", Kind::Condition, G::NightCache},
    Picture{"parkngrab", Kind::Condition, G::Text, "P\u2192"},
    Picture{"abandonedbuilding", Kind::Condition, G::Ruin},
    Picture{"hike_short", Kind::Condition, G::Hiker, "1"},
    Picture{"hike_med", Kind::Condition, G::Hiker, "10"},
    Picture{"hike_long", Kind::Condition, G::Hiker, "10+"},
    Picture{"fuel", Kind::Facility, G::Pump},
    Picture{"food", Kind::Facility, G::Cutlery},
    Picture{"wirelessbeacon", Kind::Equipment, G::Beacon},
    Picture{"partnership", Kind::Condition, G::Rings},
    Picture{"seasonal", Kind::Condition, G::Seasonal},
    Picture{"touristok", Kind::Condition, G::Camera},
    Picture{"treeclimbing", Kind::Equipment, G::Tree},
    Picture{"frontyard", Kind::Condition, G::House},
    Picture{"teamwork", Kind::Condition, G::Team},
};

const Picture* pictureOf(const QString& name)
{
    for (const Picture& p : kPictures)
        if (name == QLatin1String(p.name))
            return &p;
    return nullptr;
}

void figure(QPainter& p, double x, double y, double s)
{
    p.drawEllipse(QPointF(x, y - 6.5 * s), 1.6 * s, 1.6 * s);
    p.drawLine(QPointF(x, y - 4.5 * s), QPointF(x, y + 1 * s));
    p.drawLine(QPointF(x, y + 1 * s), QPointF(x - 2.5 * s, y + 6 * s));
    p.drawLine(QPointF(x, y + 1 * s), QPointF(x + 2.5 * s, y + 6 * s));
    p.drawLine(QPointF(x - 3 * s, y - 2 * s), QPointF(x + 3 * s, y - 2 * s));
}

void waves(QPainter& p, double y)
{
    QPainterPath path(QPointF(4, y));
    for (int i = 0; i < 4; ++i)
        path.quadTo(QPointF(6 + 4 * i, y - 2.5 * (i % 2 ? -1 : 1)), QPointF(8 + 4 * i, y));
    p.drawPath(path);
}

void clockFace(QPainter& p, double cx, double cy, double r)
{
    p.drawEllipse(QPointF(cx, cy), r, r);
    p.drawLine(QPointF(cx, cy), QPointF(cx, cy - r * 0.7));
    p.drawLine(QPointF(cx, cy), QPointF(cx + r * 0.5, cy));
}

void snowflake(QPainter& p, double cx, double cy, double r)
{
    for (int i = 0; i < 3; ++i) {
        const double a = i * M_PI / 3;
        p.drawLine(QPointF(cx - r * std::cos(a), cy - r * std::sin(a)), QPointF(cx + r * std::cos(a), cy + r * std::sin(a)));
    }
}

void moon(QPainter& p, double cx, double cy, double r)
{
    QPainterPath disc;
    disc.addEllipse(QPointF(cx, cy), r, r);
    QPainterPath bite;
    bite.addEllipse(QPointF(cx + r * 0.6, cy - r * 0.3), r * 0.85, r * 0.85);
    p.fillPath(disc.subtracted(bite), Qt::white);
}

void sun(QPainter& p, double cx, double cy, double r)
{
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(cx, cy), r, r);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        p.drawLine(QPointF(cx + 1.5 * r * std::cos(a), cy + 1.5 * r * std::sin(a)),
                   QPointF(cx + 2.1 * r * std::cos(a), cy + 2.1 * r * std::sin(a)));
    }
}

void wheels(QPainter& p, double y, double r)
{
    p.drawEllipse(QPointF(7, y), r, r);
    p.drawEllipse(QPointF(17, y), r, r);
}

void text(QPainter& p, const QString& label, QRectF box)
{
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(label.size() <= 1 ? 15 : label.size() == 2 ? 11 : 8);
    p.setFont(f);
    p.drawText(box, Qt::AlignCenter, label);
}

void drawGlyph(QPainter& p, const Picture& pic)
{
    const QString label = pic.label ? QString::fromUtf8(pic.label) : QString();
    switch (pic.glyph) {
    case G::Text: text(p, label, QRectF(1, 1, 22, 22)); break;
    case G::Paw:
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 15), 4.5, 3.8);
        for (const QPointF c : {QPointF(6.5, 10), QPointF(10, 6.5), QPointF(14, 6.5), QPointF(17.5, 10)})
            p.drawEllipse(c, 1.7, 2.1);
        break;
    case G::Clock:
        clockFace(p, 12, 12, 8);
        break;
    case G::Scenic:
        sun(p, 16.5, 7, 1.8);
        p.drawPolyline(QPolygonF({{3, 19}, {9, 10}, {13, 15}, {16, 12}, {21, 19}}));
        break;
    case G::Hiker:
        figure(p, label.isEmpty() ? 11 : 7, 11, label.isEmpty() ? 1.0 : 0.85);
        p.drawLine(QPointF(label.isEmpty() ? 15 : 10.5, 8), QPointF(label.isEmpty() ? 16 : 11.5, 18));
        if (!label.isEmpty())
            text(p, label, QRectF(11, 12, 12, 10));
        break;
    case G::Climb:
        p.drawPolyline(QPolygonF({{3, 20}, {10, 4}, {14, 12}, {17, 9}, {21, 20}}));
        p.drawLine(QPointF(10, 4), QPointF(10, 1.5));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{10, 1.5}, {13, 2.5}, {10, 3.5}}));
        break;
    case G::Wading:
        figure(p, 12, 9, 0.9);
        waves(p, 17);
        break;
    case G::Swimming:
        p.drawEllipse(QPointF(8, 9), 2, 2);
        p.drawArc(QRectF(10, 6, 9, 9), 30 * 16, 120 * 16);
        waves(p, 14);
        waves(p, 19);
        break;
    case G::Moon: moon(p, 11, 12, 7); break;
    case G::NightCache:
        moon(p, 9, 13, 6);
        text(p, QStringLiteral("\u2605"), QRectF(13, 2, 9, 9));
        break;
    case G::Snowflake: snowflake(p, 12, 12, 8); break;
    case G::Seasonal:
        sun(p, 7, 8, 2);
        snowflake(p, 16, 16, 5);
        break;
    case G::Cactus: {
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        path.addRoundedRect(QRectF(10, 4, 4, 17), 2, 2);
        path.addRoundedRect(QRectF(5, 8, 3, 7), 1.5, 1.5);
        path.addRoundedRect(QRectF(16, 6, 3, 7), 1.5, 1.5);
        path.addRect(QRectF(6, 13, 5, 2.5));
        path.addRect(QRectF(13, 11, 5, 2.5));
        p.fillPath(path.simplified(), Qt::white);
        break;
    }
    case G::Leaf:
        p.setBrush(Qt::white);
        for (const double a : {-50.0, 0.0, 50.0}) {
            p.save();
            p.translate(12, 16);
            p.rotate(a);
            p.drawEllipse(QPointF(0, -6), 2.6, 5.5);
            p.restore();
        }
        p.drawLine(QPointF(12, 16), QPointF(12, 22));
        break;
    case G::Snake: {
        QPainterPath path(QPointF(4, 18));
        path.cubicTo(QPointF(8, 10), QPointF(10, 22), QPointF(14, 14));
        path.cubicTo(QPointF(16, 9), QPointF(19, 8), QPointF(20, 7));
        p.drawPath(path);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(20, 6.5), 2, 1.6);
        break;
    }
    case G::Bug:
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 14), 4, 5.5);
        p.drawEllipse(QPointF(12, 6.8), 2, 1.8);
        for (const double y : {11.0, 14.0, 17.0}) {
            p.drawLine(QPointF(8, y), QPointF(4, y - 2));
            p.drawLine(QPointF(16, y), QPointF(20, y - 2));
        }
        break;
    case G::Mine: {
        QPainterPath path(QPointF(5, 20));
        path.lineTo(5, 12);
        path.arcTo(QRectF(5, 5, 14, 14), 180, -180);
        path.lineTo(19, 20);
        p.drawPath(path);
        p.fillRect(QRectF(8, 12, 8, 8), Qt::white);
        p.drawLine(QPointF(3, 20.5), QPointF(21, 20.5));
        break;
    }
    case G::Cliff:
        p.drawPolyline(QPolygonF({{3, 7}, {12, 7}, {12, 20}, {21, 20}}));
        p.drawLine(QPointF(16, 8), QPointF(16, 15));
        p.drawPolyline(QPolygonF({{13.5, 12.5}, {16, 15}, {18.5, 12.5}}));
        break;
    case G::Crosshair:
        p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
        for (const auto& [a, b] : {std::pair{QPointF(12, 2), QPointF(12, 8)}, std::pair{QPointF(12, 16), QPointF(12, 22)},
                                   std::pair{QPointF(2, 12), QPointF(8, 12)}, std::pair{QPointF(16, 12), QPointF(22, 12)}})
            p.drawLine(a, b);
        break;
    case G::Warning:
        p.drawPolygon(QPolygonF({{12, 3.5}, {21, 19.5}, {3, 19.5}}));
        text(p, QStringLiteral("!"), QRectF(6, 8, 12, 12));
        break;
    case G::Wheelchair:
        p.drawEllipse(QPointF(10, 16), 5, 5);
        p.drawEllipse(QPointF(11, 4.5), 1.5, 1.5);
        p.drawPolyline(QPolygonF({{11, 7}, {11, 13}, {16, 13}, {18, 19}}));
        p.drawLine(QPointF(11, 10), QPointF(15, 10));
        break;
    case G::Bus:
        p.drawRoundedRect(QRectF(4, 4, 16, 14), 2, 2);
        p.drawLine(QPointF(4, 11), QPointF(20, 11));
        p.drawLine(QPointF(12, 4), QPointF(12, 11));
        wheels(p, 19.5, 1.6);
        break;
    case G::Drop: {
        QPainterPath path(QPointF(12, 3));
        path.cubicTo(QPointF(14, 8), QPointF(18, 11), QPointF(18, 15));
        path.cubicTo(QPointF(18, 22), QPointF(6, 22), QPointF(6, 15));
        path.cubicTo(QPointF(6, 11), QPointF(10, 8), QPointF(12, 3));
        p.fillPath(path, Qt::white);
        break;
    }
    case G::Phone:
        p.drawRoundedRect(QRectF(7.5, 3, 9, 18), 2, 2);
        p.drawLine(QPointF(10, 17.5), QPointF(14, 17.5));
        p.drawRect(QRectF(9.5, 5.5, 5, 9));
        break;
    case G::Picnic:
        p.drawLine(QPointF(3, 9), QPointF(21, 9));
        p.drawLine(QPointF(7, 9), QPointF(5, 20));
        p.drawLine(QPointF(17, 9), QPointF(19, 20));
        p.drawLine(QPointF(3, 15), QPointF(21, 15));
        break;
    case G::Tent:
        p.drawPolygon(QPolygonF({{12, 4}, {21, 20}, {3, 20}}));
        p.drawPolyline(QPolygonF({{12, 12}, {9.5, 20}}));
        p.drawPolyline(QPolygonF({{12, 12}, {14.5, 20}}));
        break;
    case G::Bicycle:
        wheels(p, 15, 4);
        p.drawPolyline(QPolygonF({{7, 15}, {11, 9}, {17, 15}, {12, 15}, {11, 9}, {16, 9}}));
        p.drawLine(QPointF(16, 9), QPointF(17, 6.5));
        break;
    case G::Motorcycle:
        wheels(p, 16, 3.5);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{8, 13}, {11, 10}, {16, 10}, {17, 13}}));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({{17, 16}, {16, 7}, {18, 6}}));
        break;
    case G::Car:
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{3, 16}, {3, 12}, {7, 11}, {9, 7}, {16, 7}, {18, 11}, {21, 12}, {21, 16}}));
        p.setBrush(colourOf(pic.kind));
        wheels(p, 16.5, 2.2);
        break;
    case G::Snowmobile:
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{5, 15}, {8, 10}, {15, 10}, {19, 15}}));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({{3, 18}, {20, 18}, {22, 16}}));
        p.drawLine(QPointF(15, 10), QPointF(14, 6));
        break;
    case G::Horseshoe: {
        QPainterPath u(QPointF(7, 5));
        u.lineTo(7, 12);
        u.arcTo(QRectF(7, 7, 10, 12), 180, 180);
        u.lineTo(17, 5);
        p.save();
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::FlatCap));
        p.drawPath(u);
        p.restore();
        break;
    }
    case G::Flame: {
        QPainterPath path(QPointF(12, 3));
        path.cubicTo(QPointF(19, 10), QPointF(18, 17), QPointF(12, 18));
        path.cubicTo(QPointF(6, 17), QPointF(6, 11), QPointF(10, 8));
        path.cubicTo(QPointF(10, 11), QPointF(12, 12), QPointF(12, 3));
        p.fillPath(path, Qt::white);
        p.drawLine(QPointF(5, 21), QPointF(19, 18));
        p.drawLine(QPointF(5, 18), QPointF(19, 21));
        break;
    }
    case G::Thorn:
        p.drawLine(QPointF(3, 19), QPointF(21, 5));
        for (int i = 0; i < 4; ++i) {
            const QPointF base(6 + 4 * i, 16.7 - 3.1 * i);
            p.drawLine(base, base + QPointF(i % 2 ? 2.5 : -2.5, i % 2 ? 2.5 : -3));
        }
        break;
    case G::Eye: {
        QPainterPath path(QPointF(3, 12));
        path.quadTo(QPointF(12, 3), QPointF(21, 12));
        path.quadTo(QPointF(12, 21), QPointF(3, 12));
        p.drawPath(path);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 2.6, 2.6);
        break;
    }
    case G::Stroller:
        p.drawPie(QRectF(5, 4, 12, 12), 90 * 16, 180 * 16);
        p.drawPolyline(QPolygonF({{11, 10}, {19, 10}, {20, 6}}));
        p.drawLine(QPointF(8, 10), QPointF(16, 16));
        wheels(p, 18.5, 2);
        break;
    case G::Cross: {
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        path.addRect(QRectF(9.5, 4, 5, 16));
        path.addRect(QRectF(4, 9.5, 16, 5));
        p.fillPath(path.simplified(), Qt::white);
        break;
    }
    case G::Cow:
        p.drawEllipse(QPointF(12, 14), 5, 6);
        p.drawLine(QPointF(8, 9), QPointF(4, 5));
        p.drawLine(QPointF(16, 9), QPointF(20, 5));
        p.drawEllipse(QPointF(12, 17), 3, 2);
        break;
    case G::Flashlight:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 10, 9, 4));
        p.drawPolygon(QPolygonF({{12, 9}, {15, 7.5}, {15, 16.5}, {12, 15}}));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(17, 9), QPointF(21, 6));
        p.drawLine(QPointF(17.5, 12), QPointF(21.5, 12));
        p.drawLine(QPointF(17, 15), QPointF(21, 18));
        break;
    case G::Caravan:
        p.drawRoundedRect(QRectF(3, 6, 15, 11), 2, 2);
        p.drawRect(QRectF(6, 9, 4, 3));
        p.drawLine(QPointF(18, 15), QPointF(22, 15));
        p.drawEllipse(QPointF(10, 18.5), 2, 2);
        break;
    case G::Ski:
        p.drawLine(QPointF(4, 14), QPointF(17, 21));
        p.drawLine(QPointF(7, 10), QPointF(20, 17));
        p.drawLine(QPointF(8, 4), QPointF(10, 20));
        p.drawLine(QPointF(14, 4), QPointF(16, 18));
        break;
    case G::Snowshoe:
        p.drawEllipse(QPointF(12, 12), 5, 9);
        p.drawLine(QPointF(7.5, 10), QPointF(16.5, 10));
        p.drawLine(QPointF(7.5, 14), QPointF(16.5, 14));
        p.drawLine(QPointF(12, 3), QPointF(12, 21));
        break;
    case G::Wrench:
        p.save();
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 18), QPointF(14, 10));
        p.restore();
        p.drawArc(QRectF(12, 3, 9, 9), -45 * 16, 270 * 16);
        break;
    case G::House:
        p.drawPolygon(QPolygonF({{4, 11}, {12, 4}, {20, 11}, {20, 20}, {4, 20}}));
        p.drawRect(QRectF(10, 14, 4, 6));
        break;
    case G::Ruin:
        p.drawPolyline(QPolygonF({{9, 7}, {4, 11}, {4, 20}, {20, 20}, {20, 11}, {15, 6.5}}));
        p.drawPolyline(QPolygonF({{12, 9}, {13.5, 12}, {11.5, 14}, {13, 17}}));
        break;
    case G::Pump:
        p.drawRect(QRectF(5, 5, 8, 15));
        p.drawRect(QRectF(7, 7, 4, 4));
        p.drawPolyline(QPolygonF({{13, 9}, {17, 9}, {18, 17}, {20, 17}, {20, 7}}));
        break;
    case G::Cutlery:
        p.drawLine(QPointF(8, 3), QPointF(8, 21));
        p.drawLine(QPointF(6, 3), QPointF(6, 8));
        p.drawLine(QPointF(10, 3), QPointF(10, 8));
        p.drawArc(QRectF(6, 5, 4, 5), 180 * 16, 180 * 16);
        p.setBrush(Qt::white);
        p.drawChord(QRectF(13, 3, 6, 20), 90 * 16, 180 * 16);
        p.drawLine(QPointF(16, 12), QPointF(16, 21));
        break;
    case G::Beacon:
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 15), 2, 2);
        p.setBrush(Qt::NoBrush);
        for (const double r : {5.0, 9.0})
            p.drawArc(QRectF(12 - r, 15 - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
        p.drawLine(QPointF(12, 17), QPointF(12, 21));
        break;
    case G::Rings:
        p.drawEllipse(QPointF(9, 12), 5, 5);
        p.drawEllipse(QPointF(15, 12), 5, 5);
        break;
    case G::Camera:
        p.drawRoundedRect(QRectF(3, 7, 18, 12), 2, 2);
        p.drawRect(QRectF(8, 4.5, 5, 2.5));
        p.drawEllipse(QPointF(12, 13), 3.5, 3.5);
        break;
    case G::Tree:
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{12, 2.5}, {18.5, 11}, {15, 11}, {19.5, 17}, {4.5, 17}, {9, 11}, {5.5, 11}}));
        p.drawRect(QRectF(11, 17, 2, 4));
        break;
    case G::Kids:
        figure(p, 8, 11, 1.0);
        figure(p, 17, 14, 0.65);
        break;
    case G::Team:
        figure(p, 8, 11, 0.9);
        figure(p, 16, 11, 0.9);
        break;
    case G::Boat:
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{3, 15}, {21, 15}, {18, 20}, {6, 20}}));
        p.drawPolygon(QPolygonF({{12, 3}, {12, 13}, {19, 13}}));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(11, 3), QPointF(11, 15));
        break;
    case G::Scuba:
        p.drawRoundedRect(QRectF(3, 8, 13, 7), 3, 3);
        p.drawLine(QPointF(9.5, 8), QPointF(9.5, 15));
        for (const auto& c : {QPointF(19, 12), QPointF(18, 7.5), QPointF(20, 4)})
            p.drawEllipse(c, 1.4, 1.4);
        waves(p, 20);
        break;
    case G::Rope:
        p.drawLine(QPointF(5, 3.5), QPointF(19, 3.5));
        p.drawLine(QPointF(12, 3.5), QPointF(12, 20));
        p.drawPolyline(QPolygonF({{8, 16}, {12, 20.5}, {16, 16}}));
        break;
    }
}

void strike(QPainter& p)
{
    p.setPen(QPen(Qt::white, 4.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(20.5, 20.5));
    p.setPen(QPen(QColor(0xd5, 0x00, 0x00), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(20.5, 20.5));
}

} // namespace

QStringList drawnAttributeNames()
{
    QStringList names;
    for (const Picture& p : kPictures)
        names << QString::fromLatin1(p.name);
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
    const Picture* pic = pictureOf(name);

    QImage image(px, px, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(px / 24.0, px / 24.0);
    const QColor base = pic ? colourOf(pic->kind) : QColor(0x54, 0x6e, 0x7a);
    p.setPen(Qt::NoPen);
    p.setBrush(no ? base.darker(140) : base);
    p.drawRoundedRect(QRectF(0.5, 0.5, 23, 23), 4, 4);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (pic) {
        drawGlyph(p, *pic);
    } else {
        text(p, name.left(1).toUpper(), QRectF(1, 1, 22, 22));
    }
    if (no)
        strike(p);
    p.end();
    return image;
}

QImage logTypeIcon(int number, int px)
{
    if (px <= 0)
        return {};
    QImage image(px, px, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(px / 24.0, px / 24.0);
    const QPen ink(QColor(0x21, 0x21, 0x21), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QPen white(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const auto disc = [&p](const QColor& colour) {
        p.setPen(QPen(colour.darker(130), 1));
        p.setBrush(colour);
        p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
        p.setBrush(Qt::NoBrush);
    };
    const auto sheet = [&p, &ink](const QColor& paper) {
        p.setPen(ink);
        p.setBrush(paper);
        p.drawRect(QRectF(5, 2.5, 14, 19));
        for (const double y : {7.0, 11.0, 15.0})
            p.drawLine(QPointF(8, y), QPointF(16, y));
        p.setBrush(Qt::NoBrush);
    };
    const auto wrench = [&p] {
        p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7, 17), QPointF(13.5, 10.5));
        p.setPen(QPen(Qt::white, 1.8));
        p.drawArc(QRectF(11.5, 4.5, 8, 8), -45 * 16, 270 * 16);
    };
    switch (number) {
    case LogType::FoundIt:
        disc(QColor(0xff, 0xc1, 0x07));
        p.setPen(ink);
        p.setBrush(QColor(0x21, 0x21, 0x21));
        p.drawEllipse(QPointF(8.5, 9.5), 1.3, 1.6);
        p.drawEllipse(QPointF(15.5, 9.5), 1.3, 1.6);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(7, 8, 10, 9), 200 * 16, 140 * 16);
        break;
    case LogType::DidntFindIt:
        disc(QColor(0x1e, 0x88, 0xe5));
        p.setPen(white);
        p.drawPoint(QPointF(8.5, 9.5));
        p.drawPoint(QPointF(15.5, 9.5));
        p.drawArc(QRectF(7, 14, 10, 8), 20 * 16, 140 * 16);
        break;
    case LogType::WriteNote: sheet(Qt::white); break;
    case LogType::WebcamPhotoTaken:
        p.setPen(ink);
        p.setBrush(QColor(0xb0, 0xbe, 0xc5));
        p.drawRoundedRect(QRectF(2.5, 7, 19, 13), 2, 2);
        p.drawRect(QRectF(8, 4, 6, 3));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 13.5), 4, 4);
        break;
    case LogType::Attended:
        disc(QColor(0x43, 0xa0, 0x47));
        p.setPen(white);
        p.drawPolyline(QPolygonF({{7, 12.5}, {10.5, 16}, {17, 8.5}}));
        break;
    case LogType::WillAttend:
        disc(QColor(0x00, 0x89, 0x7b));
        p.setPen(white);
        p.drawRect(QRectF(7, 8, 10, 9));
        p.drawLine(QPointF(7, 11), QPointF(17, 11));
        break;
    case LogType::TemporarilyDisable:
        disc(QColor(0xfb, 0x8c, 0x00));
        p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(9.5, 7.5), QPointF(9.5, 16.5));
        p.drawLine(QPointF(14.5, 7.5), QPointF(14.5, 16.5));
        break;
    case LogType::Enable:
        disc(QColor(0x43, 0xa0, 0x47));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{9.5, 7}, {17, 12}, {9.5, 17}}));
        break;
    case LogType::NeedsArchived:
        disc(QColor(0xe5, 0x39, 0x35));
        p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 6.5), QPointF(12, 13));
        p.drawPoint(QPointF(12, 17));
        break;
    case LogType::NeedsMaintenance:
        disc(QColor(0xfb, 0x8c, 0x00));
        wrench();
        break;
    case LogType::ReviewerNote: sheet(QColor(0xe1, 0xbe, 0xe7)); break;
    case LogType::Archive:
        p.setPen(ink);
        p.setBrush(QColor(0x75, 0x75, 0x75));
        p.drawRect(QRectF(4, 9, 16, 12));
        p.drawRect(QRectF(3, 5, 18, 4));
        p.setPen(white);
        p.drawLine(QPointF(10, 13), QPointF(14, 13));
        break;
    case LogType::OwnerMaintenance:
        disc(QColor(0x43, 0xa0, 0x47));
        wrench();
        break;
    case LogType::Publish:
        p.setPen(ink);
        p.drawLine(QPointF(6, 3), QPointF(6, 21));
        p.setBrush(QColor(0x43, 0xa0, 0x47));
        p.drawPolygon(QPolygonF({{6, 4}, {19, 8}, {6, 12.5}}));
        break;
    default: // update coordinates and anything unknown
        disc(QColor(0x39, 0x49, 0xab));
        p.setPen(white);
        p.drawEllipse(QPointF(12, 12), 4.5, 4.5);
        p.drawLine(QPointF(12, 4), QPointF(12, 8));
        p.drawLine(QPointF(12, 16), QPointF(12, 20));
        p.drawLine(QPointF(4, 12), QPointF(8, 12));
        p.drawLine(QPointF(16, 12), QPointF(20, 12));
        break;
    }
    p.end();
    return image;
}

} // namespace tw
