// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CGpsTrip.h"

#include "geo/UnitFormat.h"
#include "gps/Navigation.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>

namespace tw {

constexpr int kTextTripFirst = 338; // 338 to 343
// Distance, time, top speed, average speed, altitudes; then the graph's title.
constexpr int kTextRows[] = {kTextTripFirst, kTextTripFirst + 1, kTextTripFirst + 3, kTextTripFirst + 4,
                             kTextTripFirst + 2};
constexpr int kTextGraphTitle = kTextTripFirst + 5;
constexpr int kTextNewTrack = 32831;
constexpr int kTextTrackManager = 32793;

// The altitude along the current track, one sample per 20 m.
class AltitudeGraph final : public QWidget {
public:
    AltitudeGraph(CGlobalData& global, const CGpsTrip& trip, QWidget* parent)
        : QWidget(parent), m_global(global), m_trip(trip)
    {
        setMinimumHeight(120);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QFontMetrics fm(font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(0, 0, width(), fm.height()), Qt::AlignLeft, langText(m_global, kTextGraphTitle));
        const QRectF area(4, fm.height() + 4, width() - 8, height() - fm.height() - 8);
        p.setPen(QPen(palette().color(QPalette::Mid), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(area);
        const auto& profile = m_trip.m_profile;
        if (profile.size() < 2)
            return;
        const double lo = m_trip.m_stats.minAltitude;
        // 1.1 × the range; at least 10 m so that a flat walk stays flat.
        const double range = std::max(10.0, 1.1 * (m_trip.m_stats.maxAltitude - lo));
        const double base = lo - (range - (m_trip.m_stats.maxAltitude - lo)) / 2;
        const int first = profile.begin()->first;
        const int span = std::max(1, profile.rbegin()->first - first);
        QPainterPath path;
        path.moveTo(area.left(), area.bottom());
        for (const auto& [step, alt] : profile) {
            const double x = area.left() + area.width() * (step - first) / span;
            const double y = area.bottom() - area.height() * std::clamp((alt - base) / range, 0.0, 1.0);
            path.lineTo(x, y);
        }
        path.lineTo(area.right(), area.bottom());
        path.closeSubpath();
        QColor fill = palette().color(QPalette::Highlight);
        fill.setAlpha(110);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(fill);
        p.drawPath(path);
    }

private:
    CGlobalData& m_global;
    const CGpsTrip& m_trip;
};

CGpsTrip::CGpsTrip(CGlobalData& global, QWidget* parent) : GpsPage(global, parent)
{
    setObjectName(QStringLiteral("gpsTrip"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    int row = 0;
    for (const int text : kTextRows) {
        auto* caption = new QLabel(langText(global, text), this);
        caption->setWordWrap(true);
        auto* value = new QLabel(this);
        value->setFont(big);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumHeight(touchPx(global));
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
        m_values.append(value);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    m_graph = new AltitudeGraph(global, *this, this);
    layout->addWidget(m_graph, 1);
    auto* keys = new QHBoxLayout;
    auto* newTrackKey = makeTouchButton(global, langText(global, kTextNewTrack), this);
    newTrackKey->setObjectName(QStringLiteral("newTrack"));
    auto* managerKey = makeTouchButton(global, langText(global, kTextTrackManager), this);
    managerKey->setObjectName(QStringLiteral("trackManager"));
    keys->addWidget(newTrackKey);
    keys->addWidget(managerKey);
    layout->addLayout(keys);
    connect(newTrackKey, &QPushButton::clicked, this, &CGpsTrip::newTrack);
    connect(managerKey, &QPushButton::clicked, this, [this] {
        if (openTrackManager)
            openTrackManager();
    });
}

void CGpsTrip::refresh(const GpsSnapshot& snapshot)
{
    GpsPage::refresh(snapshot);
    // While the receiver's thread writes the track the last values stay.
    m_global.gpsServices.trackLogger->tryReadTrip(m_stats, m_profile);
    const bool metric = m_global.settings.metricUnits != 0;
    const TripValues trip = tripValues(m_stats, std::time(nullptr));
    const QStringList texts = {
        QString::fromStdString(geo::formatLength(m_stats.totalDistanceKm, metric)),
        QString::fromStdString(formatElapsed(trip.elapsedS)),
        QString::fromStdString(formatSpeed(m_stats.maxSpeedKmh, metric)),
        QString::fromStdString(formatSpeed(trip.averageSpeedKmh, metric)),
        QString::fromStdString(geo::formatHeight(m_stats.minAltitude, false, metric) + "/"
                               + geo::formatHeight(m_stats.maxAltitude, true, metric)),
    };
    for (int i = 0; i < m_values.size(); ++i)
        m_values[i]->setText(texts[i]);
    m_graph->update();
}

QStringList CGpsTrip::values() const
{
    QStringList out;
    for (const QLabel* v : m_values)
        out << v->text();
    return out;
}

QString CGpsTrip::mainActionText() const
{
    return langText(m_global, kTextNewTrack);
}

void CGpsTrip::mainAction()
{
    newTrack();
}

void CGpsTrip::fillMenu(QMenu& menu)
{
    menu.addAction(langText(m_global, kTextNewTrack), this, &CGpsTrip::newTrack);
    if (openTrackManager)
        menu.addAction(langText(m_global, kTextTrackManager), this, [this] { openTrackManager(); });
}

void CGpsTrip::newTrack()
{
    m_global.gpsServices.trackLogger->newTrack();
    refresh(m_snapshot);
}

} // namespace tw
