// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/Screen.h"

#include "app/CGlobalData.h"

#include <QMenu>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace tw {

Screen::Screen(CGlobalData& global, QWidget* parent) : QWidget(parent), m_global(global) {}

void Screen::fillMenu(QMenu&) {}

int touchPx(const CGlobalData& global)
{
    return std::max(44, static_cast<int>(22 * global.scaleFactor));
}

QTabWidget* makePageTabs(const CGlobalData& global, QWidget* parent)
{
    auto* tabs = new QTabWidget(parent);
    tabs->setDocumentMode(true);
    tabs->setUsesScrollButtons(true);
    tabs->setElideMode(Qt::ElideNone);
    tabs->tabBar()->setExpanding(false);
    const int h = touchPx(global);
    // The tab bar places its two scroll arrows itself, each half the
    // scroller's width and as high as the tabs: a minimum size on the
    // buttons is overruled.
    tabs->setStyleSheet(QStringLiteral("QTabBar::tab { min-height: %1px; min-width: %2px; padding: 0 %3px; }"
                                       "QTabBar::scroller { width: %4px; }")
                            .arg(h)
                            .arg(h * 3 / 2)
                            .arg(h / 4)
                            .arg(h * 2));
    return tabs;
}

} // namespace tw
