// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "screens/GpsPage.h"

namespace tw {

// The satellite monitor: position, height, speed, course, UTC time and HDOP,
// a compass with the course, the sky plot and the signal bars.
class CGpsMon final : public GpsPage {
    Q_OBJECT
public:
    CGpsMon(CGlobalData& global, QWidget* parent);

    QString mainActionText() const override;
    void mainAction() override;
    void fillMenu(QMenu& menu) override;

    // The satellites shown in the sky plot: PRN above 0.
    QList<int> plottedPrns() const;
    // The text lines of the left column as painted.
    QStringList textLines() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintSky(QPainter& p, QPointF centre, double radius);
    void paintBars(QPainter& p, QRectF area);
    void paintCompass(QPainter& p, QPointF centre, double radius);
};

} // namespace tw
