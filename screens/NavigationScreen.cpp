// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/NavigationScreen.h"

#include "screens/Theme.h"

#include "geo/GeoMath.h"
#include "geo/ReferencePosition.h"
#include "geo/SunPosition.h"
#include "gps/Navigation.h"
#include "screens/CGpsScr.h"
#include "screens/LangText.h"
#include "screens/QtNotifier.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <numbers>

namespace tw {
namespace {

constexpr int kTextNoTarget = 773;
constexpr int kTextNorthUp = 774;
constexpr int kTextCourseUp = 775;
constexpr int kTextRadar = 776;
constexpr int kTextDistance = 777;
constexpr int kTextBearing = 778;
constexpr double kRadarRingPx = 40.0; // scaled pixels between the rings (10 m)

QPointF polar(QPointF centre, double radius, double compassDeg)
{
    const double a = compassDeg * std::numbers::pi / 180.0;
    return {centre.x() + radius * std::sin(a), centre.y() - radius * std::cos(a)};
}

void drawArrow(QPainter& p, QPointF centre, double radius, double deg, const QColor& colour, double width)
{
    QPainterPath arrow;
    arrow.moveTo(polar(centre, radius, deg));
    arrow.lineTo(polar(centre, radius * width, deg + 160));
    arrow.lineTo(polar(centre, radius * 0.15, deg + 180));
    arrow.lineTo(polar(centre, radius * width, deg - 160));
    arrow.closeSubpath();
    p.setPen(QPen(colour.darker(140), 1.5));
    p.setBrush(colour);
    p.drawPath(arrow);
}

class NavigationDrawing final : public QWidget {
public:
    NavigationDrawing(CGlobalData& global, const NavigationState& state, QWidget* parent)
        : QWidget(parent), m_global(global), m_state(state)
    {
        setObjectName(QStringLiteral("navigationDrawing"));
        setMinimumSize(200, 200);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF c = QRectF(rect()).center();
        const double room = std::min(width(), height()) / 2.0 - 6;
        if (m_state.radar)
            paintRadar(p, c, room);
        else
            paintCompass(p, c, room);
    }

private:
    void paintCompass(QPainter& p, QPointF c, double r)
    {
        const QColor text = palette().color(QPalette::WindowText);
        p.setPen(QPen(palette().color(QPalette::Mid), 3));
        p.setBrush(palette().color(QPalette::Base));
        p.drawEllipse(c, r, r);
        for (int deg = 0; deg < 360; deg += 15) {
            const double rose = m_state.roseDeg + deg;
            const double inner = deg % 90 == 0 ? r * 0.86 : (deg % 45 == 0 ? r * 0.9 : r * 0.94);
            p.setPen(QPen(palette().color(QPalette::Mid), deg % 45 == 0 ? 2.5 : 1.2));
            p.drawLine(polar(c, inner, rose), polar(c, r, rose));
        }
        QFont letters = font();
        letters.setBold(true);
        letters.setPointSizeF(letters.pointSizeF() * 1.4);
        p.setFont(letters);
        const char* names[] = {"N", "E", "S", "W"};
        for (int i = 0; i < 4; ++i) {
            const QPointF at = polar(c, r * 0.74, m_state.roseDeg + i * 90);
            p.setPen(i == 0 ? QColor(200, 30, 30) : text);
            p.drawText(QRectF(at.x() - 20, at.y() - 14, 40, 28), Qt::AlignCenter, QString::fromLatin1(names[i]));
        }
        // The sun on the rim: filled above the horizon, a ring below it.
        const QPointF sun = polar(c, r * 0.93, m_state.sunDeg);
        // At night blue and a bright yellow would undo the dark adaptation.
        const bool night = isDarkPalette(palette());
        p.setPen(QPen(QColor(200, 140, 0), 2));
        p.setBrush(m_state.sunElevationDeg > 0 ? QBrush(night ? QColor(150, 100, 0) : QColor(255, 200, 0)) : QBrush(Qt::NoBrush));
        p.drawEllipse(sun, r * 0.05, r * 0.05);

        if (m_state.receiving)
            drawArrow(p, c, r * 0.55, m_state.northUp ? m_state.courseDeg : 0.0,
                      night ? palette().color(QPalette::Text) : QColor(30, 90, 220), 0.35);
        if (m_state.hasTarget)
            drawArrow(p, c, r * 0.8, m_state.targetArrowDeg, QColor(220, 30, 30), 0.3);
    }

    void paintRadar(QPainter& p, QPointF c, double room)
    {
        const double scale = std::min(m_global.scaleFactor, room / (3 * kRadarRingPx + 6));
        p.setPen(QPen(palette().color(QPalette::Mid), 1.5));
        p.setBrush(Qt::NoBrush);
        for (int ring = 1; ring <= 3; ++ring)
            p.drawEllipse(c, ring * kRadarRingPx * scale, ring * kRadarRingPx * scale);
        const double outer = 3 * kRadarRingPx * scale;
        p.drawLine(QPointF(c.x() - outer, c.y()), QPointF(c.x() + outer, c.y()));
        p.drawLine(QPointF(c.x(), c.y() - outer), QPointF(c.x(), c.y() + outer));
        p.setPen(palette().color(QPalette::WindowText));
        for (int ring = 1; ring <= 3; ++ring)
            p.drawText(QPointF(c.x() + 4, c.y() - ring * kRadarRingPx * scale + 14),
                       QStringLiteral("%1 m").arg(ring * 10));
        // The user at the centre; the target by its offset, north up.
        p.setPen(Qt::NoPen);
        p.setBrush(isDarkPalette(palette()) ? palette().color(QPalette::Text) : QColor(30, 90, 220));
        p.drawEllipse(c, 7, 7);
        if (m_state.hasTarget && m_global.gpsServices.navigationTarget) {
            const PixelPoint t = radarPosition({m_state.userLat, m_state.userLon},
                                               {m_global.gpsServices.navigationTarget->lat, m_global.gpsServices.navigationTarget->lon}, scale);
            p.setBrush(QColor(220, 30, 30));
            p.drawEllipse(QPointF(c.x() + t.x, c.y() + t.y), 10, 10);
        }
    }

    CGlobalData& m_global;
    const NavigationState& m_state;
};

} // namespace

NavigationScreen::NavigationScreen(CGlobalData& global, QtNotifier* notifier, QWidget* parent)
    : Screen(global, parent)
{
    setObjectName(QStringLiteral("navigationScreen"));
    auto* layout = new QVBoxLayout(this);
    m_target = new QLabel(this);
    m_target->setWordWrap(true);
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_target->setFont(bold);
    layout->addWidget(m_target);
    auto* grid = new QGridLayout;
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 2.0);
    big.setBold(true);
    m_distance = new QLabel(this);
    m_distance->setObjectName(QStringLiteral("distance"));
    m_distance->setFont(big);
    m_bearing = new QLabel(this);
    m_bearing->setObjectName(QStringLiteral("bearing"));
    m_bearing->setFont(big);
    grid->addWidget(new QLabel(langText(global, kTextDistance), this), 0, 0);
    grid->addWidget(new QLabel(langText(global, kTextBearing), this), 0, 1);
    grid->addWidget(m_distance, 1, 0);
    grid->addWidget(m_bearing, 1, 1);
    layout->addLayout(grid);
    m_drawing = new NavigationDrawing(global, m_state, this);
    layout->addWidget(m_drawing, 1);
    if (notifier)
        connect(notifier, &QtNotifier::topicChanged, this, [this](Topic topic) {
            if (topic == Topic::Gps)
                tick();
        });
    connect(&m_timer, &QTimer::timeout, this, &NavigationScreen::tick);
    m_timer.start(1000);
    tick();
}

void NavigationScreen::activated()
{
    tick();
}

void NavigationScreen::tick()
{
    const GpsSnapshot s = m_global.gpsServices.gps->snapshot();
    const bool northUp = m_global.settings.northUp != 0;
    NavigationState n;
    n.northUp = northUp;
    n.receiving = s.receiving;
    n.courseDeg = s.courseDeg;
    n.roseDeg = northUp ? 0.0 : -s.courseDeg;
    const geo::ReferenceContext context = m_global.reference.context();
    const geo::LatLon user = geo::referencePosition(context, true);
    n.userLat = user.lat;
    n.userLon = user.lon;
    const geo::SunDirection sun =
        geo::sunDirection(user.lat, user.lon, geo::utcMomentOnDay(s.utcTime, std::time(nullptr)));
    n.sunDeg = northUp ? sun.azimuthDeg : sun.azimuthDeg - s.courseDeg;
    n.sunElevationDeg = sun.elevationDeg;
    if (const auto& target = m_global.gpsServices.navigationTarget) {
        const geo::LatLon at{target->lat, target->lon};
        n.hasTarget = true;
        n.distanceM = geo::referenceDistanceKm(context, at, true) * 1000.0;
        n.bearingDeg = geo::referenceBearingDeg(context, at);
        n.targetArrowDeg = targetArrowDeg(n.bearingDeg, northUp, s.courseDeg);
        n.radar = showRadar(s.receiving, m_global.settings.useRadar != 0, n.distanceM);
        QString title = QString::fromStdString(target->name);
        if (!target->code.empty())
            title = QString::fromStdString(target->code) + QStringLiteral(" · ") + title;
        m_target->setText(title);
        m_distance->setText(QString::fromStdString(geo::formatCacheDistance(context, at, true, true)));
        m_bearing->setText(QStringLiteral("%1°").arg(static_cast<int>(std::lround(n.bearingDeg)) % 360));
    } else {
        m_target->setText(langText(m_global, kTextNoTarget));
        m_distance->setText(QStringLiteral("–"));
        m_bearing->setText(QStringLiteral("–"));
    }
    m_state = n;
    m_drawing->update();
}

QString NavigationScreen::mainActionText() const
{
    return langText(m_global, m_global.settings.northUp != 0 ? kTextCourseUp : kTextNorthUp);
}

void NavigationScreen::mainAction()
{
    m_global.settings.northUp = m_global.settings.northUp != 0 ? 0 : 1;
    m_global.SaveSettings(SettingsGroup::General);
    tick();
    emit softKeysChanged();
}

void NavigationScreen::fillMenu(QMenu& menu)
{
    QAction* northUp = menu.addAction(langText(m_global, kTextNorthUp), this, [this] { mainAction(); });
    northUp->setCheckable(true);
    northUp->setChecked(m_global.settings.northUp != 0);
    QAction* radar = menu.addAction(langText(m_global, kTextRadar), this, [this] {
        m_global.settings.useRadar = m_global.settings.useRadar != 0 ? 0 : 1;
        m_global.SaveSettings(SettingsGroup::General);
        tick();
    });
    radar->setCheckable(true);
    radar->setChecked(m_global.settings.useRadar != 0);
    addGpsSwitchEntry(menu, m_global);
}

} // namespace tw
