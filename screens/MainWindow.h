// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Notifier.h"

#include <QDeadlineTimer>
#include <QMainWindow>

#include <vector>

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QToolButton;

namespace tw {

class CGlobalData;
class CacheListScreen;
class QtNotifier;
class Screen;

// The one window: a stack of screens, the status line and a bottom command
// bar with large keys in place of soft keys — Back (above the first screen),
// the top screen's main action, and Menu.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(CGlobalData& global, QtNotifier& notifier, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Puts a screen on top of the stack; the window owns it from now on.
    void pushScreen(Screen* screen);
    // Closes the top screen (Back) unless it is the first one or refuses.
    bool popScreen();
    // Closes every screen above the first one.
    void popToRoot();
    Screen* topScreen() const;
    int screenDepth() const { return static_cast<int>(m_stack.size()); }
    QWidget* currentScreen() const;
    // The cache list; null without a cache database.
    CacheListScreen* cacheList() const { return m_cacheList; }
    QtNotifier& notifier() const { return m_notifier; }
    CGlobalData& global() const { return m_global; }
    // The Menu key's menu as it is built when tapped (for tests and the tour).
    void fillMenu(QMenu& menu);

    // Opens the map on top of the cache list.
    void showMap();
    // Brings the listing of a cache to the top (from the command line or a
    // later start); an unknown code shows the list with a short note.
    void showCache(const std::string& code);
    // A short note in the status line, for a few seconds.
    void showNote(const QString& text);

    // "<Caches>: listed/in database/found".
    QString statusText() const;
    void refreshStatus();
    void showAbout();

signals:
    // The top of the screen stack changed.
    void screenChanged(tw::Screen* top);

private:
    void onTopicChanged(Topic topic);
    void applyLook();
    void updateSoftKeys();
    QToolButton* makeKey(const QString& name);

    CGlobalData& m_global;
    QtNotifier& m_notifier;
    QStackedWidget* m_screens = nullptr;
    QWidget* m_emptyScreen = nullptr;
    QLabel* m_status = nullptr;
    QToolButton* m_backButton = nullptr;
    QAction* m_backKey = nullptr;   // the Back key's place in the command bar
    QAction* m_actionKey = nullptr; // the main action's place
    QToolButton* m_actionButton = nullptr;
    QToolButton* m_menuButton = nullptr;
    QMenu* m_menu = nullptr;
    CacheListScreen* m_cacheList = nullptr;
    std::vector<Screen*> m_stack;
    QString m_note;
    QDeadlineTimer m_noteUntil;
    int m_lookTheme = -1;           // the theme applyLook put in force
};

// "Program version", "Database version", "SQLite version" lines of the About box.
QString aboutText(const CGlobalData& global);

} // namespace tw
