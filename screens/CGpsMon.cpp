// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CGpsMon.h"

#include "screens/Theme.h"

#include "app/GpsSwitch.h"
#include "geo/CoordFormat.h"
#include "gps/Navigation.h"
#include "screens/CGpsScr.h"
#include "screens/LangText.h"

#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tw {
namespace {

constexpr int kTextGpsOff = 1200;
constexpr int kTextGpsOn = 1201;
constexpr int kTextGpsIsOff = 763;
constexpr int kTextStartFailed = 799;
constexpr double kSkyRadius = 50.0; // the sky plot's radius in scaled pixels

QPointF polar(QPointF centre, double radius, double compassDeg)
{
    const double a = compassDeg * std::numbers::pi / 180.0;
    return {centre.x() + radius * std::sin(a), centre.y() - radius * std::cos(a)};
}

} // namespace

CGpsMon::CGpsMon(CGlobalData& global, QWidget* parent) : GpsPage(global, parent)
{
    setObjectName(QStringLiteral("gpsMonitor"));
}

QString CGpsMon::mainActionText() const
{
    return langText(m_global, m_global.gpsServices.gpsSwitch->isOn() ? kTextGpsOff : kTextGpsOn);
}

void CGpsMon::mainAction()
{
    if (m_global.gpsServices.gpsSwitch->isOn())
        m_global.gpsServices.gpsSwitch->switchOff();
    else
        m_global.gpsServices.gpsSwitch->switchOn(m_global.settings.gpsPortS, static_cast<unsigned>(m_global.settings.gpsBaud));
    emit softKeysChanged();
}

void CGpsMon::fillMenu(QMenu& menu)
{
    addGpsSwitchEntry(menu, m_global);
}

QList<int> CGpsMon::plottedPrns() const
{
    QList<int> prns;
    for (const SatelliteInfo& s : m_snapshot.satellites)
        if (s.prn > 0)
            prns.append(s.prn);
    return prns;
}

QStringList CGpsMon::textLines() const
{
    const GpsSnapshot& s = m_snapshot;
    const bool metric = m_global.settings.metricUnits != 0;
    QStringList lines;
    lines << QString::fromUtf8(s.latitude < 0 ? "S " : "N ")
                 + QString::fromStdString(geo::formatCoordPart(std::abs(s.latitude), false));
    lines << QString::fromUtf8(s.longitude < 0 ? "W " : "E ")
                 + QString::fromStdString(geo::formatCoordPart(std::abs(s.longitude), true));
    lines << (metric ? QStringLiteral("%1 m").arg(static_cast<int>(s.altitudeM))
                     : QStringLiteral("%1 ft").arg(static_cast<int>(s.altitudeM * kMetresToFeet)));
    lines << QString::fromStdString(formatSpeed(s.speedKmh, metric));
    lines << QStringLiteral("%1°").arg(static_cast<int>(s.courseDeg));
    lines << QString::fromStdString(formatUtcTime(s.utcTime)).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    lines << QStringLiteral("HDOP: %1").arg(s.hdop, 0, 'f', 1);
    return lines;
}

void CGpsMon::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double margin = 8 * m_global.scaleFactor;
    const QRectF area = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    const bool wide = area.width() > area.height() * 1.2;

    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    p.setFont(big);
    const QFontMetricsF fm(big);
    const double line = fm.lineSpacing();
    QStringList lines = textLines();
    if (!m_global.gpsServices.gpsSwitch->isOn() && !m_snapshot.receiving)
        lines.prepend(langText(m_global, kTextGpsIsOff));
    else if (m_global.gpsServices.gpsSwitch->startFailed())
        lines.prepend(langText(m_global, kTextStartFailed));
    const double textWidth = wide ? area.width() * 0.45 : area.width() * 0.62;
    p.setPen(textColor());
    double y = area.top();
    for (const QString& text : lines) {
        p.drawText(QRectF(area.left(), y, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(text, Qt::ElideRight, textWidth));
        y += line;
    }
    const double textBottom = y;

    // The compass beside the text (its height), the course inside it.
    const double compassRadius = std::min((textBottom - area.top()) / 2, (area.width() - textWidth) / 2) - 4;
    if (!wide && compassRadius > 10)
        paintCompass(p, {area.right() - (area.width() - textWidth) / 2, area.top() + (textBottom - area.top()) / 2},
                     compassRadius);

    if (wide) {
        const QRectF sky(area.left() + textWidth, area.top(), area.width() - textWidth, area.height());
        const double r = std::min(sky.width(), sky.height()) / 2 - fm.height();
        paintSky(p, sky.center(), r);
        const QRectF bars(area.left(), textBottom + margin, textWidth - margin, area.bottom() - textBottom - margin);
        paintBars(p, bars);
        return;
    }
    const double barsHeight = std::min(area.height() * 0.28, 150 * m_global.scaleFactor);
    const QRectF sky(area.left(), textBottom + margin, area.width(), area.bottom() - textBottom - barsHeight - 2 * margin);
    const double r = std::min(sky.width(), sky.height()) / 2 - fm.height() / 2;
    if (r > 20)
        paintSky(p, sky.center(), r);
    paintBars(p, QRectF(area.left(), area.bottom() - barsHeight, area.width(), barsHeight));
}

void CGpsMon::paintCompass(QPainter& p, QPointF centre, double radius)
{
    p.setPen(QPen(palette().color(QPalette::Mid), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(centre.x() - 20, centre.y() - radius, 40, 20), Qt::AlignCenter, QStringLiteral("N"));
    if (!m_snapshot.receiving)
        return;
    const double c = m_snapshot.courseDeg;
    QPainterPath arrow;
    arrow.moveTo(polar(centre, radius * 0.85, c));
    arrow.lineTo(polar(centre, radius * 0.45, c + 150));
    arrow.lineTo(polar(centre, radius * 0.2, c + 180));
    arrow.lineTo(polar(centre, radius * 0.45, c - 150));
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(isDarkPalette(palette()) ? palette().color(QPalette::Text) : QColor(30, 90, 220));
    p.drawPath(arrow);
}

void CGpsMon::paintSky(QPainter& p, QPointF centre, double radius)
{
    const double scale = radius / kSkyRadius;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(palette().color(QPalette::Mid), 1.5));
    p.drawEllipse(centre, radius, radius);
    p.drawEllipse(centre, radius / 2, radius / 2);
    p.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
    p.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(centre.x() - 20, centre.y() - radius - 22, 40, 20), Qt::AlignCenter, QStringLiteral("N"));

    const double dot = std::max(14.0, 9 * m_global.scaleFactor);
    QFont small = font();
    small.setBold(true);
    p.setFont(small);
    for (const SatelliteInfo& s : m_snapshot.satellites) {
        if (s.prn <= 0)
            continue;
        const PixelPoint at = skyPlotPosition(std::clamp(s.elevationDeg, 0, 90), s.azimuthDeg, scale);
        const QPointF c(centre.x() + at.x, centre.y() + at.y);
        p.setPen(QPen(palette().color(QPalette::Dark), 1));
        p.setBrush(s.used ? palette().color(QPalette::Highlight) : palette().color(QPalette::Midlight));
        p.drawEllipse(c, dot, dot);
        p.setPen(s.used ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::WindowText));
        p.drawText(QRectF(c.x() - dot, c.y() - dot, 2 * dot, 2 * dot), Qt::AlignCenter, QString::number(s.prn));
    }
}

void CGpsMon::paintBars(QPainter& p, QRectF area)
{
    const int barCount = height() > 320 * m_global.scaleFactor ? 12 : 9;
    std::vector<SatelliteInfo> shown;
    for (const SatelliteInfo& s : m_snapshot.satellites)
        if (s.prn > 0 && static_cast<int>(shown.size()) < barCount)
            shown.push_back(s);
    const QFontMetricsF fm(p.font());
    const double label = fm.height() + 2;
    const double barMax = area.height() - label;
    if (barMax < 8)
        return;
    const double step = area.width() / barCount;
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.drawLine(QPointF(area.left(), area.bottom() - label), QPointF(area.right(), area.bottom() - label));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const SatelliteInfo& s = shown[i];
        // SNR × 100 / 99 of the bar area: 99 dB fills it.
        const double h = std::clamp(s.snrDb, 0, 99) * barMax / 99.0;
        const double x = area.left() + step * static_cast<double>(i);
        p.setPen(Qt::NoPen);
        p.setBrush(s.used ? palette().color(QPalette::Highlight) : palette().color(QPalette::Midlight));
        p.drawRect(QRectF(x + step * 0.15, area.bottom() - label - h, step * 0.7, h));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRectF(x, area.bottom() - label, step, label), Qt::AlignCenter, QString::number(s.prn));
    }
}

} // namespace tw
