// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Notifier.h"

#include <QMainWindow>

class QLabel;
class QStackedWidget;
class QToolButton;

namespace tw {

class CGlobalData;
class CacheListScreen;
class QtNotifier;

// The one window: a screen area that the screens plug into, the status line
// and a bottom tool bar with large buttons in place of soft keys.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(CGlobalData& global, QtNotifier& notifier, QWidget* parent = nullptr);

    // Adds a screen to the screen area; returns its index.
    int addScreen(QWidget* screen);
    void showScreen(QWidget* screen);
    QWidget* currentScreen() const;
    // The cache list; null without a cache database.
    CacheListScreen* cacheList() const { return m_cacheList; }

    // "<Caches>: listed/in database/found".
    QString statusText() const;
    void refreshStatus();
    void showAbout();

private:
    void onTopicChanged(Topic topic);
    void applyLook();

    CGlobalData& m_global;
    QStackedWidget* m_screens = nullptr;
    QWidget* m_emptyScreen = nullptr;
    QLabel* m_status = nullptr;
    QToolButton* m_menuButton = nullptr;
    CacheListScreen* m_cacheList = nullptr;
};

// "Program version", "Database version", "SQLite version" lines of the About box.
QString aboutText(const CGlobalData& global);

} // namespace tw
