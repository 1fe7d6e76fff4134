// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gps/GpsReceiver.h"

#include <QString>
#include <QWidget>

class QMenu;

namespace tw {

class CGlobalData;

// A page of the GPS screen: shows the receiver's state the screen copied at
// its last tick and says what the soft keys do while it is shown.
class GpsPage : public QWidget {
    Q_OBJECT
public:
    GpsPage(CGlobalData& global, QWidget* parent);
    virtual void refresh(const GpsSnapshot& snapshot);
    virtual QString mainActionText() const { return {}; }
    virtual void mainAction() {}
    virtual void fillMenu(QMenu&) {}

signals:
    void softKeysChanged();

protected:
    // Text colour: dimmed while the receiver has no satellite in use.
    QColor textColor() const;
    CGlobalData& m_global;
    GpsSnapshot m_snapshot;
};

} // namespace tw
