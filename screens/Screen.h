// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QMenu;
class QTabWidget;

namespace tw {

class CGlobalData;

// A page of the window's screen stack. It fills the window above the status
// line and says what the two soft keys do while it is on top: the left key
// runs its main action, the Menu key shows its own entries above the
// window's. Back (Esc, or the Back key) returns to the screen below.
class Screen : public QWidget {
    Q_OBJECT
public:
    explicit Screen(CGlobalData& global, QWidget* parent = nullptr);

    // The caption of the left soft key; empty hides the key.
    virtual QString mainActionText() const { return {}; }
    virtual void mainAction() {}
    // This screen's entries of the Menu key (the window adds its own below).
    virtual void fillMenu(QMenu& menu);
    // The screen comes to the top of the stack (first shown or uncovered).
    virtual void activated() {}
    // Back was asked for; false keeps the screen (it asked the user first).
    virtual bool leave() { return true; }

signals:
    // The soft keys' captions or enable states changed.
    void softKeysChanged();
    // The screen asks the window to close it (as Back would).
    void closeRequested();

protected:
    CGlobalData& m_global;
};

// The smallest height of anything a finger taps: 44 px at scale 1 (~7 mm).
int touchPx(const CGlobalData& global);

// Pages of a screen as large tabs at the top that scroll sideways when they
// do not fit.
QTabWidget* makePageTabs(const CGlobalData& global, QWidget* parent);

} // namespace tw
