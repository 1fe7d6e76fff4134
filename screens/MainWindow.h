// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Notifier.h"

#include <QDeadlineTimer>
#include <QList>
#include <QMainWindow>

#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTimer;
class QToolButton;

namespace tw {

class CGlobalData;
class CMapScreen;
class CacheListScreen;
class QtNotifier;
class Screen;

// The one window: a stack of screens, the status line and a bottom command
// bar with large keys in place of soft keys — Back (above the first screen),
// the top screen's main action, and Menu.
//
// A window as wide as a desk's lays the same screens out side by side: the
// cache list, the map and, in the right pane, the screens above the list
// (the listing of the chosen cache, the GPS, the filter…). Crossing that
// width moves the very widgets between the two layouts, so a half-typed
// text, the list's scroll position and the current cache stay.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // The panes of the wide layout, left to right.
    enum Pane { ListPane = 0, MapPane = 1, ListingPane = 2 };
    // From this width on the window is laid out in panes. Widget pixels are
    // logical ones: on a display scaled 2× the window is 2000 pixels wide.
    static constexpr int kWideLayoutPx = 1000;
    static constexpr int kSidePaneMinPx = 460;
    static constexpr int kMapPaneMinPx = 224;

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

    // True while the window is laid out in panes.
    bool isWide() const { return m_wide; }
    // The splitter of the three panes; its widgets are the list, the map and
    // the right pane's stack while the window is wide.
    QSplitter* panes() const { return m_panes; }
    // The map beside the list; null while the window is narrow.
    CMapScreen* paneMap() const { return m_paneMap; }
    // Wide: shows the map pane, puts the cursor into it and returns its map.
    // Null while the window is narrow.
    CMapScreen* showMapPane();
    // Wide: shows or hides a pane; the last one shown stays. Remembered.
    void setPaneShown(Pane pane, bool shown);
    bool paneShown(Pane pane) const;
    // The pane that holds the keyboard focus; -1 for none (or narrow).
    int focusedPane() const;
    // F6 / Shift+F6: the cursor goes to the next or previous pane shown.
    void focusNextPane(bool forward);
    // The cursor goes into the pane, when it is shown.
    void focusPane(Pane pane);
    // Makes the cache the current one and, wide, brings its row, its place
    // on the map and its listing into sight; narrow, opens its listing.
    void chooseCache(const std::string& code);

    // "<Caches>: listed/in database/found".
    QString statusText() const;
    void refreshStatus();
    void showAbout();

signals:
    // The top of the screen stack changed.
    void screenChanged(tw::Screen* top);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The layout the width asks for; switches when it is another.
    void updateLayout();
    void enterWide();
    void leaveWide();
    // The map's taps and target line, for a map on the stack or in its pane.
    void connectMap(CMapScreen* map);
    void onCacheTapped(const QString& code);
    // Wide: the listing of the cache in the right pane, in place of what
    // was there; false when a screen there would not close.
    bool showListing(const std::string& code);
    // Wide: the row under the list's cursor is shown as chosen.
    void followListCursor();
    // The right pane without a screen: where a listing comes from, or the
    // current cache with a key to its listing.
    void updateSideEmpty();
    // The current cache's row marked (and scrolled into sight), and with
    // centreMap its place in the middle of the map.
    void showCurrentCache(bool centreMap, bool scrollList);
    QStackedWidget* hostOf(const Screen* screen) const;
    // The cursor into the screen on top: the list's rows, or (wide) the
    // right pane's screen, or (narrow) the screen's first field or key.
    void focusTopScreen();
    // Esc: Back, except in the list's and the map's panes.
    void escape();
    // Wide, Enter on the map: the current cache's listing in the right
    // pane, with the cursor in it.
    void openCurrentListing();
    // Which panes are shown, and with widthsToo the widths they were dragged to.
    void savePanes(bool widthsToo);
    // The remembered widths of the three panes, or a first division.
    QList<int> storedPaneWidths() const;
    void restorePanes();
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
    QAction* m_mapKey = nullptr;      // wide: the map pane's main action
    QToolButton* m_mapButton = nullptr;
    QMenu* m_menu = nullptr;
    CacheListScreen* m_cacheList = nullptr;
    std::vector<Screen*> m_stack;
    bool m_wide = false;
    QSplitter* m_panes = nullptr;
    QStackedWidget* m_side = nullptr;  // the right pane: screens above the list
    QWidget* m_sideEmpty = nullptr;    // what it shows with no screen above the list
    QLabel* m_sideNote = nullptr;      // "choose a cache", or the current cache's name
    QPushButton* m_sideOpen = nullptr; // opens the current cache's listing again
    CMapScreen* m_paneMap = nullptr;
    // Where the map stood on the stack before the window widened; -1 when
    // the pane made its own.
    int m_mapStackIndex = -1;
    QTimer* m_listCursor = nullptr;    // the list's cursor came to rest
    QTimer* m_paneSave = nullptr;      // a splitter was dragged
    QString m_note;
    QDeadlineTimer m_noteUntil;
    int m_lookTheme = -1;           // the theme applyLook put in force
};

// "Program version", "Database version", "SQLite version" lines of the About box.
QString aboutText(const CGlobalData& global);

} // namespace tw
