// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CGpsAvg.h"

#include "app/WaypointEditing.h"
#include "geo/CoordEntry.h"
#include "gps/CTrackLogger.h"
#include "gps/Navigation.h"
#include "gps/PositionAveraging.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/WaypointEditor.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tw {
namespace {

constexpr int kTextStart = 764;
constexpr int kTextStop = 765;
constexpr int kTextSave = 766;
constexpr int kTextPosition = 767;
constexpr int kTextMean = 768;
constexpr int kTextSamples = 769;
constexpr int kTextSpread = 770;
constexpr int kTextWaypointName = 771;
constexpr double kPlotRadius = 50.0; // scaled pixels, 4 per metre

// The samples around the mean, the centre marked red.
class ScatterPlot final : public QWidget {
public:
    ScatterPlot(CGlobalData& global, QWidget* parent) : QWidget(parent), m_global(global)
    {
        setMinimumHeight(static_cast<int>(2 * kPlotRadius * global.scaleFactor) + 16);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const PositionAveraging& avg = m_global.gpsServices.trackLogger->averaging;
        const QPointF c = QRectF(rect()).center();
        // The plot fills the widget; samples beyond 50 scaled pixels (12.5 m) stay out.
        const double scale = (std::min(width(), height()) / 2.0 - 6) / kPlotRadius;
        const double r = kPlotRadius * scale;
        p.setPen(QPen(palette().color(QPalette::Mid), 1));
        p.drawEllipse(c, r, r);
        p.drawEllipse(c, r / 2, r / 2);
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::WindowText));
        const geo::LatLon mean = avg.mean();
        for (const geo::LatLon& s : avg.samples())
            if (const auto at = averagingPlotPosition(mean, s, scale))
                p.drawEllipse(QPointF(c.x() + at->x, c.y() + at->y), 2.5, 2.5);
        p.setBrush(QColor(220, 30, 30));
        p.drawEllipse(c, 5, 5);
    }

private:
    CGlobalData& m_global;
};

} // namespace

CGpsAvg::CGpsAvg(CGlobalData& global, QWidget* parent) : GpsPage(global, parent)
{
    setObjectName(QStringLiteral("gpsAveraging"));
    saveWaypoint = [this](geo::LatLon mean) { openEditor(mean); };
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.2);
    auto makeValue = [&] {
        auto* label = new QLabel(this);
        label->setFont(big);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return label;
    };
    m_position = makeValue();
    m_mean = makeValue();
    m_count = makeValue();
    m_spread = makeValue();
    m_mean->setObjectName(QStringLiteral("meanPosition"));
    m_count->setObjectName(QStringLiteral("sampleCount"));
    form->addRow(langText(global, kTextPosition), m_position);
    form->addRow(langText(global, kTextMean), m_mean);
    form->addRow(langText(global, kTextSamples), m_count);
    form->addRow(langText(global, kTextSpread), m_spread);
    layout->addLayout(form);
    m_plot = new ScatterPlot(global, this);
    layout->addWidget(m_plot, 1);
    auto* keys = new QHBoxLayout;
    m_startStop = makeTouchButton(global, langText(global, kTextStart), this);
    m_startStop->setObjectName(QStringLiteral("startStop"));
    m_save = makeTouchButton(global, langText(global, kTextSave), this);
    m_save->setObjectName(QStringLiteral("saveAverage"));
    keys->addWidget(m_startStop);
    keys->addWidget(m_save);
    layout->addLayout(keys);
    connect(m_startStop, &QPushButton::clicked, this, [this] { mainAction(); });
    connect(m_save, &QPushButton::clicked, this, &CGpsAvg::save);
}

void CGpsAvg::refresh(const GpsSnapshot& snapshot)
{
    GpsPage::refresh(snapshot);
    const PositionAveraging& avg = m_global.gpsServices.trackLogger->averaging;
    const geo::CoordEntryStyle style = geo::coordEntryStyle(m_global.settings.coordStyle);
    m_position->setText(snapshot.hasPosition()
                            ? QString::fromStdString(geo::formatCoordsIn({snapshot.latitude, snapshot.longitude}, style))
                            : QStringLiteral("–"));
    m_mean->setText(avg.count() > 0 ? QString::fromStdString(geo::formatCoordsIn(avg.mean(), style))
                                    : QStringLiteral("–"));
    m_count->setText(QString::number(avg.count()));
    m_spread->setText(QString::fromStdString(formatSpread(avg.spreadM(), m_global.settings.metricUnits != 0)));
    m_startStop->setText(langText(m_global, avg.active() ? kTextStop : kTextStart));
    m_save->setEnabled(avg.count() > 0);
    m_plot->update();
}

QString CGpsAvg::mainActionText() const
{
    return langText(m_global, m_global.gpsServices.trackLogger->averaging.active() ? kTextStop : kTextStart);
}

void CGpsAvg::mainAction()
{
    if (m_global.gpsServices.trackLogger->averaging.active())
        stop();
    else
        start();
}

void CGpsAvg::fillMenu(QMenu& menu)
{
    const PositionAveraging& avg = m_global.gpsServices.trackLogger->averaging;
    menu.addAction(langText(m_global, kTextStart), this, &CGpsAvg::start)->setEnabled(!avg.active());
    menu.addAction(langText(m_global, kTextStop), this, &CGpsAvg::stop)->setEnabled(avg.active());
    menu.addAction(langText(m_global, kTextSave), this, &CGpsAvg::save)->setEnabled(avg.count() > 0);
}

void CGpsAvg::start()
{
    m_global.gpsServices.trackLogger->averaging.start();
    refresh(m_snapshot);
    emit softKeysChanged();
}

void CGpsAvg::stop()
{
    m_global.gpsServices.trackLogger->averaging.stop();
    refresh(m_snapshot);
    emit softKeysChanged();
}

void CGpsAvg::save()
{
    stop();
    const PositionAveraging& avg = m_global.gpsServices.trackLogger->averaging;
    if (avg.count() > 0 && saveWaypoint)
        saveWaypoint(avg.mean());
}

void CGpsAvg::openEditor(geo::LatLon mean)
{
    const CGeocache* cache = m_global.list.currentCache();
    CWaypoint waypoint = newWaypointFor(m_global, cache ? cache->code : std::string("GC0"));
    waypoint.name = m_global.text(kTextWaypointName);
    waypoint.lat = mean.lat;
    waypoint.lon = mean.lon;
    editWaypoint(window(), m_global, waypoint, true);
}

} // namespace tw
