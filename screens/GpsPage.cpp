// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/GpsPage.h"

namespace tw {

GpsPage::GpsPage(CGlobalData& global, QWidget* parent) : QWidget(parent), m_global(global) {}

void GpsPage::refresh(const GpsSnapshot& snapshot)
{
    m_snapshot = snapshot;
    update();
}

QColor GpsPage::textColor() const
{
    return palette().color(!m_snapshot.hasPosition() ? QPalette::Disabled : QPalette::Active, QPalette::WindowText);
}

} // namespace tw
