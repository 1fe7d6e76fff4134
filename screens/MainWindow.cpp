// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/MainWindow.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "app/Version.h"
#include "db/SqlError.h"
#include "screens/CFilterScr.h"
#include "screens/COptionsScr.h"
#include "screens/VisitsOffer.h"
#include "screens/CacheCommands.h"
#include "screens/CacheListScreen.h"
#include "screens/CacheScreen.h"
#include "screens/CGcLiveLoginDlg.h"
#include "screens/CMapScreen.h"
#include "screens/MovingMenu.h"
#include "screens/OnlineCommands.h"
#include "screens/QtNotifier.h"
#include "screens/WaypointListScreen.h"
#include "screens/CacheScreen.h"
#include "screens/ExchangeCommands.h"
#include "screens/LangText.h"
#include "screens/Screen.h"
#include "screens/Theme.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <sqlite3.h>

#include <algorithm>

namespace tw {
namespace {

constexpr int kTextMenu = 101;
constexpr int kTextImportGpx = 421;
constexpr int kTextExportGpx = 422;
constexpr int kTextLoadRoute = 423;
constexpr int kTextAbout = 102;
constexpr int kTextExit = 103;
constexpr int kTextProgramVersion = 104;
constexpr int kTextDatabaseVersion = 105;
constexpr int kTextSqliteVersion = 106;
constexpr int kTextNothingToShow = 107;
constexpr int kTextNoDatabase = 108;
constexpr int kTextCaches = 153;
constexpr int kTextBack = 424;
constexpr int kTextFilter = 426;
constexpr int kTextOptions = 660;
constexpr int kTextOwnWaypoints = 521;
constexpr int kTextTextTools = 544;
constexpr int kTextMap = 428;
constexpr int kTextOnline = 429;
constexpr int kTextLogin = 870;
constexpr int kTextNoSuchCache = 427;
constexpr int kNoteMs = 6000;
constexpr int kTextChooseCache = 1400;
constexpr int kTextPanes = 1401;
constexpr int kTextPaneFirst = 1402; // 1402 to 1404: the list, the map, the listing
// The list's cursor moved by keys shows its cache once it rests this long.
constexpr int kListCursorRestMs = 150;
constexpr int kPaneSaveMs = 500;

// Sizes of a 240-pixel-wide screen; multiplied by the display scale factor.
constexpr int kBaseFontPx = 9;
constexpr int kBaseButtonPx = 26;

// The widget of a screen that takes the cursor when it comes to the screen:
// the one it was last in, else the first key or field in the tab order,
// else the screen itself.
QWidget* focusTargetIn(QWidget* screen)
{
    const auto usable = [screen](QWidget* w) {
        return w && w != screen && screen->isAncestorOf(w) && w->isVisible() && w->isEnabled() &&
               (w->focusPolicy() & Qt::TabFocus);
    };
    if (QWidget* last = screen->focusWidget(); usable(last))
        return last;
    for (QWidget* w = screen->nextInFocusChain(); w && w != screen; w = w->nextInFocusChain())
        if (usable(w))
            return w;
    return screen;
}

QColor fromBgr(int bgr)
{
    return QColor(bgr & 0xff, (bgr >> 8) & 0xff, (bgr >> 16) & 0xff);
}

} // namespace

QString aboutText(const CGlobalData& global)
{
    return QStringLiteral("Tarnwick\n%1: %2\n%3: %4\n%5: %6")
        .arg(langText(global, kTextProgramVersion), QString::fromLatin1(kProgramVersion),
             langText(global, kTextDatabaseVersion))
        .arg(global.db.dbVersion)
        .arg(langText(global, kTextSqliteVersion), QString::fromLatin1(sqlite3_libversion()));
}

MainWindow::MainWindow(CGlobalData& global, QtNotifier& notifier, QWidget* parent)
    : QMainWindow(parent), m_global(global), m_notifier(notifier)
{
    setWindowTitle(QStringLiteral("Tarnwick"));
    resize(480, 800);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_screens = new QStackedWidget(central);
    layout->addWidget(m_screens, 1);
    m_panes = new QSplitter(Qt::Horizontal, central);
    m_panes->setObjectName(QStringLiteral("panes"));
    m_panes->setChildrenCollapsible(false);
    m_panes->setHandleWidth(std::max(6, touchPx(global) / 5));
    m_side = new QStackedWidget(m_panes);
    m_side->setObjectName(QStringLiteral("sidePane"));
    // Before a cache is chosen the right pane says where a listing comes
    // from; once one was (and closed with Back) it names the cache the list
    // and the map still mark, with a key that opens its listing again.
    auto* choose = new QWidget(m_side);
    choose->setObjectName(QStringLiteral("sideEmpty"));
    auto* chooseLayout = new QVBoxLayout(choose);
    chooseLayout->setContentsMargins(touchPx(global) / 2, touchPx(global) / 2, touchPx(global) / 2,
                                     touchPx(global) / 2);
    chooseLayout->setSpacing(touchPx(global) / 4);
    chooseLayout->addStretch(1);
    m_sideNote = new QLabel(choose);
    m_sideNote->setObjectName(QStringLiteral("sideNote"));
    m_sideNote->setAlignment(Qt::AlignCenter);
    m_sideNote->setWordWrap(true);
    m_sideNote->setTextFormat(Qt::PlainText);
    chooseLayout->addWidget(m_sideNote);
    m_sideOpen = new QPushButton(langText(global, kTextPaneFirst + ListingPane), choose);
    m_sideOpen->setObjectName(QStringLiteral("sideOpenListing"));
    m_sideOpen->setMinimumSize(touchPx(global) * 3, touchPx(global));
    connect(m_sideOpen, &QPushButton::clicked, this, &MainWindow::openCurrentListing);
    chooseLayout->addWidget(m_sideOpen, 0, Qt::AlignHCenter);
    chooseLayout->addStretch(2);
    // F6 reaches the right pane even before it shows a screen.
    choose->setFocusPolicy(Qt::StrongFocus);
    m_sideEmpty = choose;
    updateSideEmpty();
    m_side->addWidget(choose);
    // The screens of the right pane are laid out for a handheld's 480 px:
    // narrower, fields and their buttons are cut at the edge.
    m_side->setMinimumWidth(kSidePaneMinPx);
    m_panes->addWidget(m_side);
    m_panes->hide();
    layout->addWidget(m_panes, 1);
    m_paneSave = new QTimer(this);
    m_paneSave->setSingleShot(true);
    m_paneSave->setInterval(kPaneSaveMs);
    connect(m_paneSave, &QTimer::timeout, this, [this] { savePanes(true); });
    connect(m_panes, &QSplitter::splitterMoved, m_paneSave, qOverload<>(&QTimer::start));
    m_listCursor = new QTimer(this);
    m_listCursor->setSingleShot(true);
    m_listCursor->setInterval(kListCursorRestMs);
    connect(m_listCursor, &QTimer::timeout, this, &MainWindow::followListCursor);
    m_status = new QLabel(central);
    m_status->setObjectName(QStringLiteral("statusLine"));
    m_status->setMargin(4);
    // The status line never widens the window, whatever its text.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_status);
    setCentralWidget(central);
    // A handheld GPS plugged in with new visits is offered to be read.
    new VisitsOffer(global, this);

    auto* empty = new QLabel(m_global.db.cacheDbOpen() ? langText(m_global, kTextNothingToShow)
                                                       : langText(m_global, kTextNoDatabase));
    empty->setAlignment(Qt::AlignCenter);
    empty->setWordWrap(true);
    m_emptyScreen = empty;
    m_screens->addWidget(empty);

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("softKeys"));
    bar->setMovable(false);
    bar->setFloatable(false);
    addToolBar(Qt::BottomToolBarArea, bar);

    m_backButton = makeKey(QStringLiteral("backButton"));
    m_backButton->setText(langText(m_global, kTextBack));
    connect(m_backButton, &QToolButton::clicked, this, [this] { popScreen(); });
    m_backKey = bar->addWidget(m_backButton);
    m_mapButton = makeKey(QStringLiteral("mapPaneButton"));
    connect(m_mapButton, &QToolButton::clicked, this, [this] {
        if (m_paneMap)
            m_paneMap->mainAction();
    });
    m_mapKey = bar->addWidget(m_mapButton);
    m_mapKey->setVisible(false);
    m_actionButton = makeKey(QStringLiteral("actionButton"));
    connect(m_actionButton, &QToolButton::clicked, this, [this] {
        if (Screen* top = topScreen())
            top->mainAction();
    });
    m_actionKey = bar->addWidget(m_actionButton);

    m_menu = new QMenu(this);
    connect(m_menu, &QMenu::aboutToShow, this, [this] {
        m_menu->clear();
        fillMenu(*m_menu);
    });
    m_menuButton = makeKey(QStringLiteral("menuButton"));
    m_menuButton->setText(langText(m_global, kTextMenu));
    m_menuButton->setMenu(m_menu);
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    bar->addWidget(m_menuButton);

    auto* back = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(back, &QShortcut::activated, this, &MainWindow::escape);
    // The keyboard of a desktop reaches the commands of the Menu key.
    auto* filterKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(filterKey, &QShortcut::activated, this, [this] {
        // On the list, the first Ctrl+F goes to its search field; the list
        // beside the other panes is always at hand.
        if (!m_cacheList)
            return;
        if (m_wide)
            setPaneShown(ListPane, true);
        if (!((m_wide || topScreen() == m_cacheList) && m_cacheList->focusSearch()))
            openFilterScreen(*this, m_global);
    });
    auto* nextPane = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(nextPane, &QShortcut::activated, this, [this] { focusNextPane(true); });
    auto* previousPane = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(previousPane, &QShortcut::activated, this, [this] { focusNextPane(false); });
    auto* importKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), this);
    connect(importKey, &QShortcut::activated, this, [this] {
        if (importGpxCommand(this, m_global) == 1 && m_cacheList)
            m_cacheList->reload();
        refreshStatus();
    });
    auto* exportKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    connect(exportKey, &QShortcut::activated, this, [this] { exportGpxCommand(this, m_global); });
    auto* mapKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this);
    connect(mapKey, &QShortcut::activated, this, &MainWindow::showMap);
    auto* gpsKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this);
    connect(gpsKey, &QShortcut::activated, this, [this] { openGpsScreen(*this, m_global); });
    // The night on and off from every screen; the map's menu names the key.
    auto* nightKey = new QShortcut(QKeySequence(CMapScreen::kNightKey), this);
    connect(nightKey, &QShortcut::activated, this, [this] { chooseTheme(m_global, toggledTheme(m_global.settings)); });
    auto* reloadKey = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(reloadKey, &QShortcut::activated, this, [this] {
        if (m_cacheList)
            m_cacheList->reload();
    });

    if (m_global.db.cacheDbOpen()) {
        m_cacheList = new CacheListScreen(m_global, notifier, this);
        pushScreen(m_cacheList);
        m_cacheList->reload();
        connect(m_cacheList, &CacheListScreen::cacheChosen, this, [this](const QString& code) {
            if (m_wide)
                chooseCache(code.toStdString());
            else
                openCacheScreen(*this, code.toStdString());
        });
        QListView* view = m_cacheList->view();
        // Beside the map and the listing the list's cursor is the choice:
        // the arrow keys walk the caches, Enter goes on to the listing.
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this, view] {
            if (m_wide && view->hasFocus())
                m_listCursor->start();
        });
        connect(view, &QListView::activated, this, [this] {
            if (m_wide && m_stack.size() > 1 && paneShown(ListingPane))
                focusPane(ListingPane);
        });
        // A list read again (the map moved, a search) keeps the chosen row marked.
        connect(view->model(), &QAbstractItemModel::modelReset, this, [this] {
            if (m_wide)
                showCurrentCache(false, true);
        });
    }

    // A refused access token asks the user to sign in again, on this thread.
    setOnlineLogin(m_global, [this] { return runLiveLogin(this, m_global); });

    connect(&notifier, &QtNotifier::topicChanged, this, &MainWindow::onTopicChanged);
    applyLook();
    refreshStatus();
    updateSoftKeys();
}

MainWindow::~MainWindow()
{
    if (m_wide)
        savePanes(m_paneSave->isActive());
    // Screens above the first go before the window's own members.
    while (m_stack.size() > 1) {
        Screen* top = m_stack.back();
        m_stack.pop_back();
        delete top;
    }
}

QToolButton* MainWindow::makeKey(const QString& name)
{
    auto* key = new QToolButton(this);
    key->setObjectName(name);
    key->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    key->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return key;
}

void MainWindow::fillMenu(QMenu& menu)
{
    // Wide, the entries are those of the pane the cursor is in.
    Screen* shown = topScreen();
    if (focusedPane() == ListPane)
        shown = m_cacheList;
    else if (focusedPane() == MapPane)
        shown = m_paneMap;
    if (shown) {
        shown->fillMenu(menu);
        if (!menu.isEmpty())
            menu.addSeparator();
    }
    if (m_wide) {
        QMenu* panes = menu.addMenu(langText(m_global, kTextPanes));
        for (const Pane pane : {ListPane, MapPane, ListingPane}) {
            QAction* a = panes->addAction(langText(m_global, kTextPaneFirst + pane));
            a->setCheckable(true);
            a->setChecked(paneShown(pane));
            connect(a, &QAction::toggled, this, [this, pane](bool on) { setPaneShown(pane, on); });
        }
    }
    if (m_cacheList) {
        menu.addAction(langText(m_global, kTextMap), this, [this] { showMap(); });
        menu.addAction(langText(m_global, kTextFilter), this, [this] { openFilterScreen(*this, m_global); });
    }
    menu.addSeparator();
    fillMovingMenu(menu, *this, m_global);
    if (m_cacheList) {
        menu.addAction(langText(m_global, kTextOwnWaypoints), this, [this] {
            auto* screen = new WaypointListScreen(m_global, kDummyCacheCode);
            screen->setNavigateHook([this](const CWaypoint& w) { navigateToWaypointCommand(m_global, w); });
            pushScreen(screen);
        });
        QMenu* online = menu.addMenu(langText(m_global, kTextOnline));
        fillOnlineMenu(*online, *this, m_global);
        online->addSeparator();
        online->addAction(langText(m_global, kTextLogin), this, [this] { runLiveLogin(this, m_global); });
    }
    menu.addAction(langText(m_global, kTextTextTools), this, [this] { textToolsCommand(this, m_global); });
    menu.addAction(langText(m_global, kTextOptions), this, [this] { openOptionsScreen(*this, m_global); });
    menu.addSeparator();
    menu.addAction(langText(m_global, kTextImportGpx), this, [this] {
        if (importGpxCommand(this, m_global) == 1 && m_cacheList)
            m_cacheList->reload();
        refreshStatus();
    });
    menu.addAction(langText(m_global, kTextExportGpx), this, [this] {
        exportGpxCommand(this, m_global);
        if (m_cacheList)
            m_cacheList->reload();
    });
    menu.addAction(langText(m_global, kTextLoadRoute), this, [this] { loadRouteCommand(this, m_global); });
    menu.addSeparator();
    menu.addAction(langText(m_global, kTextAbout), this, &MainWindow::showAbout);
    menu.addSeparator();
    menu.addAction(langText(m_global, kTextExit), this, &QWidget::close);
}

void MainWindow::pushScreen(Screen* screen)
{
    // Wide, every screen above the list opens in the right pane.
    QStackedWidget* host = m_wide ? m_side : m_screens;
    screen->setParent(host);
    host->addWidget(screen);
    m_stack.push_back(screen);
    if (m_wide && !paneShown(ListingPane))
        setPaneShown(ListingPane, true);
    connect(screen, &Screen::softKeysChanged, this, &MainWindow::updateSoftKeys);
    connect(screen, &Screen::closeRequested, this, [this, screen] {
        if (topScreen() == screen)
            popScreen();
    });
    host->setCurrentWidget(screen);
    screen->activated();
    updateSoftKeys();
    emit screenChanged(screen);
}

QStackedWidget* MainWindow::hostOf(const Screen* screen) const
{
    return m_wide && screen != m_cacheList ? m_side : m_screens;
}

bool MainWindow::popScreen()
{
    if (m_stack.size() <= 1 || !m_stack.back()->leave())
        return false;
    Screen* top = m_stack.back();
    // The cursor in the closing screen goes to the one below, not to
    // whatever widget Qt would pick next.
    QWidget* focus = QApplication::focusWidget();
    const bool focusInTop = !focus || focus == top || top->isAncestorOf(focus);
    m_stack.pop_back();
    hostOf(top)->removeWidget(top);
    top->deleteLater();
    Screen* below = m_stack.back();
    if (m_wide && below == m_cacheList) {
        updateSideEmpty();
        m_side->setCurrentWidget(m_sideEmpty);
    }
    else
        hostOf(below)->setCurrentWidget(below);
    below->activated();
    if (focusInTop)
        focusTopScreen();
    updateSoftKeys();
    emit screenChanged(below);
    return true;
}

void MainWindow::popToRoot()
{
    while (m_stack.size() > 1 && popScreen()) {
    }
}

Screen* MainWindow::topScreen() const
{
    return m_stack.empty() ? nullptr : m_stack.back();
}

QWidget* MainWindow::currentScreen() const
{
    if (m_wide)
        return m_stack.size() > 1 ? m_side->currentWidget() : m_cacheList;
    return m_screens->currentWidget();
}

void MainWindow::updateSoftKeys()
{
    Screen* top = topScreen();
    m_backKey->setVisible(m_stack.size() > 1);
    QString action = top ? top->mainActionText() : QString();
    // Wide, the map has a key of its own; the list's key would only open it.
    const bool mapShown = m_wide && m_paneMap && paneShown(MapPane);
    if (mapShown && top == m_cacheList)
        action.clear();
    m_actionButton->setText(action);
    m_actionKey->setVisible(!action.isEmpty());
    m_mapButton->setText(mapShown ? m_paneMap->mainActionText() : QString());
    m_mapKey->setVisible(mapShown);
}

void MainWindow::applyLook()
{
    const double scale = m_global.scaleFactor;
    QFont f(QString::fromStdString(m_global.settings.fontName));
    f.setPixelSize(static_cast<int>(kBaseFontPx * scale));
    setFont(f);
    for (QToolButton* key : {m_backButton, m_mapButton, m_actionButton, m_menuButton})
        key->setMinimumHeight(std::max(touchPx(m_global), static_cast<int>(kBaseButtonPx * scale)));
    const Theme theme = themeFromSetting(m_global.settings.theme);
    applyTheme(theme);
    m_lookTheme = static_cast<int>(theme);
    // A background colour set by hand is the day's; the other themes need their own.
    if (m_global.settings.bgColor != -1 && theme == Theme::Day) {
        QPalette p = QApplication::palette();
        p.setColor(QPalette::Window, fromBgr(m_global.settings.bgColor));
        p.setColor(QPalette::Base, fromBgr(m_global.settings.bgColor));
        setPalette(p);
        setAutoFillBackground(true);
    } else if (testAttribute(Qt::WA_SetPalette)) {
        setPalette(QPalette());
    }
    m_status->setVisible(m_global.settings.showStatus != 0);
}

QString MainWindow::statusText() const
{
    const Settings& s = m_global.settings;
    return QStringLiteral("%1: %2/%3/%4")
        .arg(langText(m_global, kTextCaches))
        .arg(m_global.list.listedCount)
        .arg(m_global.db.cacheCount)
        .arg(s.foundCount + s.findsCountExtra);
}

void MainWindow::showMap()
{
    if (!m_cacheList)
        return;
    if (m_wide) {
        showMapPane();
        return;
    }
    connectMap(openMapScreen(*this, m_global));
}

void MainWindow::connectMap(CMapScreen* map)
{
    map->setTargetSource([this]() -> std::optional<geo::LatLon> {
        if (!m_global.gpsServices.navigationTarget)
            return std::nullopt;
        return geo::LatLon{m_global.gpsServices.navigationTarget->lat, m_global.gpsServices.navigationTarget->lon};
    });
    connect(map, &CMapScreen::cacheTapped, this, &MainWindow::onCacheTapped, Qt::UniqueConnection);
    // Enter on the map pane goes on to the listing, as Enter in the list does.
    connect(map, &CMapScreen::listingAsked, this, &MainWindow::openCurrentListing, Qt::UniqueConnection);
}

void MainWindow::onCacheTapped(const QString& code)
{
    if (!m_wide) {
        openCacheScreen(*this, code.toStdString());
        return;
    }
    // The map made it the current cache; the map stays where it is.
    m_cacheList->selectCache(code.toStdString());
    showListing(code.toStdString());
}

CMapScreen* MainWindow::showMapPane()
{
    if (!m_wide || !m_paneMap)
        return nullptr;
    setPaneShown(MapPane, true);
    m_paneMap->setFocus(Qt::OtherFocusReason);
    return m_paneMap;
}

void MainWindow::chooseCache(const std::string& code)
{
    if (!m_wide) {
        openCacheScreen(*this, code);
        return;
    }
    // The listing makes its cache the current one; without it (a screen in
    // the right pane would not close) the cache becomes current all the same.
    if (!showListing(code))
        makeCurrentCache(m_global, code);
    showCurrentCache(true, true);
}

bool MainWindow::showListing(const std::string& code)
{
    if (auto* open = qobject_cast<CacheScreen*>(topScreen()); open && open->code() == code)
        return true;
    popToRoot();
    if (m_stack.size() > 1)
        return false;
    return openCacheScreen(*this, code) != nullptr;
}

void MainWindow::followListCursor()
{
    const std::string code = m_cacheList->currentCode();
    if (m_wide && !code.empty())
        chooseCache(code);
}

void MainWindow::updateSideEmpty()
{
    const CGeocache* cache = m_cacheList ? m_global.list.currentCache() : nullptr;
    const bool chosen = cache && cache->code != kDummyCacheCode;
    const bool hadFocus = m_sideOpen->hasFocus();
    m_sideNote->setText(chosen ? QString::fromStdString(cache->name) + QLatin1Char('\n') +
                                     QString::fromStdString(cache->code)
                               : langText(m_global, kTextChooseCache));
    m_sideOpen->setVisible(chosen);
    if (hadFocus && !chosen)
        m_sideEmpty->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showCurrentCache(bool centreMap, bool scrollList)
{
    const CGeocache* cache = m_global.list.currentCache();
    if (!cache)
        return;
    m_cacheList->selectCache(cache->code, scrollList);
    if (centreMap && m_paneMap)
        m_paneMap->showPlace({cache->lat, cache->lon});
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    updateLayout();
}

void MainWindow::updateLayout()
{
    const bool wide = m_cacheList && width() >= kWideLayoutPx;
    if (wide == m_wide)
        return;
    // The cursor stays in the widget it was in (a half-typed note).
    QPointer<QWidget> focus = QApplication::focusWidget();
    if (focus && focus->window() != this)
        focus = nullptr;
    const bool focusHere = focus != nullptr;
    // The list, laid out anew at its new width, passes through sizes that
    // would clamp its scroll position: it is put back once it has settled.
    QScrollBar* scroll = m_cacheList->view()->verticalScrollBar();
    const int scrolled = scroll->value();
    if (wide)
        enterWide();
    else
        leaveWide();
    scroll->setValue(scrolled);
    QTimer::singleShot(0, scroll, [scroll, scrolled] { scroll->setValue(scrolled); });
    if (focus && focus->isVisible())
        focus->setFocus(Qt::OtherFocusReason);
    else if (focusHere)
        // Its widget went (the map pane's own map) or is covered (the list
        // under a listing): the cursor goes to the screen now in front.
        focusTopScreen();
    updateSoftKeys();
    emit screenChanged(topScreen());
}

void MainWindow::enterWide()
{
    m_wide = true;
    m_screens->removeWidget(m_cacheList);
    m_panes->insertWidget(ListPane, m_cacheList);
    // A map on the stack moves into its pane; otherwise the pane has its own.
    m_mapStackIndex = -1;
    for (std::size_t i = 1; i < m_stack.size() && !m_paneMap; ++i) {
        if (auto* map = qobject_cast<CMapScreen*>(m_stack[i])) {
            m_paneMap = map;
            m_mapStackIndex = static_cast<int>(i);
            m_stack.erase(m_stack.begin() + static_cast<std::ptrdiff_t>(i));
            m_screens->removeWidget(map);
        }
    }
    if (!m_paneMap) {
        m_paneMap = new CMapScreen(m_global, m_notifier);
        // The list beside it stays as the user reads and scrolls it.
        m_paneMap->keepListAsRead();
        connect(m_paneMap, &Screen::softKeysChanged, this, &MainWindow::updateSoftKeys);
    }
    connectMap(m_paneMap);
    m_panes->insertWidget(MapPane, m_paneMap);
    for (std::size_t i = 1; i < m_stack.size(); ++i) {
        m_screens->removeWidget(m_stack[i]);
        m_side->addWidget(m_stack[i]);
    }
    updateSideEmpty();
    m_side->setCurrentWidget(m_stack.size() > 1 ? static_cast<QWidget*>(m_stack.back()) : m_sideEmpty);
    m_screens->hide();
    m_panes->show();
    centralWidget()->layout()->activate();
    restorePanes();
    m_paneMap->activated();
    // The listing of the current cache beside the list, as if just chosen.
    const CGeocache* current = m_global.list.currentCache();
    if (m_stack.size() == 1 && current && current->code != kDummyCacheCode)
        openCacheScreen(*this, current->code, false);
    // The list stays scrolled where the user left it.
    showCurrentCache(true, false);
}

void MainWindow::leaveWide()
{
    savePanes(m_paneSave->isActive());
    m_paneSave->stop();
    m_wide = false;
    m_listCursor->stop();
    m_screens->insertWidget(1, m_cacheList);
    for (std::size_t i = 1; i < m_stack.size(); ++i) {
        m_side->removeWidget(m_stack[i]);
        m_screens->addWidget(m_stack[i]);
    }
    CMapScreen* map = m_paneMap;
    m_paneMap = nullptr;
    if (m_mapStackIndex >= 0) {
        // The map goes back where it stood on the stack.
        const auto at = static_cast<std::ptrdiff_t>(std::clamp<std::size_t>(
            static_cast<std::size_t>(m_mapStackIndex), 1, m_stack.size()));
        m_stack.insert(m_stack.begin() + at, map);
        m_screens->addWidget(map);
    } else {
        map->leave();
        delete map;
    }
    m_mapStackIndex = -1;
    m_panes->hide();
    m_screens->show();
    m_screens->setCurrentWidget(m_stack.back());
    m_stack.back()->activated();
}

bool MainWindow::paneShown(Pane pane) const
{
    return m_wide && !m_panes->widget(pane)->isHidden();
}

void MainWindow::setPaneShown(Pane pane, bool shown)
{
    if (!m_wide || paneShown(pane) == shown)
        return;
    int showing = 0;
    for (const Pane p : {ListPane, MapPane, ListingPane})
        showing += paneShown(p) ? 1 : 0;
    if (!shown && showing == 1)
        return;
    // A width just dragged is kept before the panes divide anew.
    if (m_paneSave->isActive()) {
        m_paneSave->stop();
        savePanes(true);
    }
    m_panes->widget(pane)->setVisible(shown);
    // The panes shown take the widths they were dragged to.
    m_panes->setSizes(storedPaneWidths());
    savePanes(false);
    updateSoftKeys();
}

int MainWindow::focusedPane() const
{
    QWidget* focus = QApplication::focusWidget();
    if (!m_wide || !focus)
        return -1;
    for (const Pane pane : {ListPane, MapPane, ListingPane}) {
        QWidget* w = m_panes->widget(pane);
        if (w == focus || w->isAncestorOf(focus))
            return pane;
    }
    return -1;
}

void MainWindow::focusNextPane(bool forward)
{
    if (!m_wide)
        return;
    const int step = forward ? 1 : 2;
    int pane = focusedPane();
    if (pane < 0)
        pane = forward ? ListingPane : ListPane;
    for (int n = 0; n < 3; ++n) {
        pane = (pane + step) % 3;
        if (paneShown(static_cast<Pane>(pane)))
            break;
    }
    focusPane(static_cast<Pane>(pane));
}

void MainWindow::focusPane(Pane pane)
{
    if (!paneShown(pane))
        return;
    QWidget* target = nullptr;
    if (pane == ListPane) {
        target = m_cacheList->view();
    } else if (pane == MapPane) {
        target = m_paneMap;
    } else {
        target = focusTargetIn(m_side->currentWidget());
        // A screen with nothing to type in or press (a picture, a text)
        // still holds the cursor, so that F6 goes on from it and the Menu key
        // offers its commands.
        if (target->focusPolicy() == Qt::NoFocus)
            target->setFocusPolicy(Qt::ClickFocus);
    }
    target->setFocus(Qt::ShortcutFocusReason);
}

void MainWindow::focusTopScreen()
{
    Screen* top = topScreen();
    if (!top)
        return;
    if (top == m_cacheList) {
        m_cacheList->view()->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (m_wide) {
        focusPane(ListingPane);
        return;
    }
    focusTargetIn(top)->setFocus(Qt::OtherFocusReason);
}

void MainWindow::escape()
{
    // Wide, Esc closes the screen of the right pane only from there: in the
    // list it leaves the search field for the rows, on the map it does not
    // close a listing the user is not looking at.
    if (m_wide) {
        const int pane = focusedPane();
        if (pane == ListPane) {
            m_cacheList->view()->setFocus(Qt::ShortcutFocusReason);
            return;
        }
        if (pane == MapPane)
            return;
    }
    popScreen();
}

void MainWindow::openCurrentListing()
{
    const CGeocache* cache = m_global.list.currentCache();
    if (!m_wide || !cache || cache->code == kDummyCacheCode)
        return;
    const std::string code = cache->code;
    // The map stays where the user moved it.
    if (!showListing(code))
        makeCurrentCache(m_global, code);
    showCurrentCache(false, true);
    if (m_stack.size() > 1)
        focusPane(ListingPane);
}

void MainWindow::savePanes(bool widthsToo)
{
    if (!m_wide)
        return;
    Settings& settings = m_global.settings;
    int shown = 0;
    for (const Pane pane : {ListPane, MapPane, ListingPane})
        shown |= paneShown(pane) ? 1 << pane : 0;
    std::string widths = settings.widePanes;
    if (widthsToo) {
        // Only the panes shown were dragged; a hidden one keeps its width.
        QList<int> stored = storedPaneWidths();
        const QList<int> sizes = m_panes->sizes();
        for (int i = 0; i < 3; ++i)
            if ((shown & (1 << i)) != 0 && sizes.value(i) > 0)
                stored[i] = sizes.value(i);
        QStringList parts;
        for (const int w : stored)
            parts << QString::number(w);
        widths = parts.join(QLatin1Char(',')).toStdString();
    }
    if (widths == settings.widePanes && shown == settings.wideShown)
        return;
    settings.widePanes = widths;
    settings.wideShown = shown;
    m_global.SaveSettings(SettingsGroup::General);
}

QList<int> MainWindow::storedPaneWidths() const
{
    QList<int> widths;
    for (const QString& part : QString::fromStdString(m_global.settings.widePanes).split(QLatin1Char(','))) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (ok && n > 0)
            widths << n;
    }
    if (widths.size() != 3) {
        // The list needs about 360 px for a row's name, code and D/T, the
        // right pane its screens' 460; the map takes the rest, and in a
        // narrow wide window it keeps room for its keys before the list.
        const int w = std::max(m_panes->width(), kWideLayoutPx);
        const int side = std::max(w * 34 / 100, kSidePaneMinPx);
        const int list = std::min(w * 36 / 100, w - side - kMapPaneMinPx);
        widths = {list, w - list - side, side};
    }
    return widths;
}

void MainWindow::restorePanes()
{
    int shown = m_global.settings.wideShown & 7;
    if (shown == 0)
        shown = 7;
    for (int i = 0; i < 3; ++i)
        m_panes->widget(i)->setVisible((shown & (1 << i)) != 0);
    m_panes->setSizes(storedPaneWidths());
}

void MainWindow::showCache(const std::string& code)
{
    popToRoot();
    std::optional<CGeocache> cache;
    if (m_global.db.cacheDbAvailable()) {
        try {
            cache = findCache(m_global, code);
        } catch (const SQLite::Error&) {
            cache.reset();
        }
    }
    if (!cache || code == kDummyCacheCode) {
        showNote(langText(m_global, kTextNoSuchCache).replace(QStringLiteral("%s"), QString::fromStdString(code)));
        return;
    }
    chooseCache(code);
}

void MainWindow::showNote(const QString& text)
{
    m_note = text;
    m_noteUntil.setRemainingTime(kNoteMs);
    refreshStatus();
    QTimer::singleShot(kNoteMs + 50, this, &MainWindow::refreshStatus);
}

void MainWindow::refreshStatus()
{
    // A note stays for its few seconds whatever else changes meanwhile.
    m_status->setText(!m_note.isEmpty() && !m_noteUntil.hasExpired() ? m_note : statusText());
}

void MainWindow::onTopicChanged(Topic topic)
{
    if (topic == Topic::Counters || topic == Topic::CacheList) {
        refreshStatus();
        // The cache named in the empty right pane may be gone or renamed.
        if (m_wide && m_stack.size() == 1)
            updateSideEmpty();
    }
    // The theme chosen in the options or on the map comes in at once.
    if (topic == Topic::Settings && static_cast<int>(themeFromSetting(m_global.settings.theme)) != m_lookTheme)
        applyLook();
    // A network failure switches downloads off in the client; keep the
    // stored option in step so the next start stays offline too.
    if (topic == Topic::Settings && m_global.settings.dnlOnline != 0 && !m_global.netClient.downloadsOn()) {
        m_global.settings.dnlOnline = 0;
        m_global.SaveSettings(SettingsGroup::General);
    }
}

void MainWindow::showAbout()
{
    QMessageBox::about(this, langText(m_global, kTextAbout), aboutText(m_global));
}

} // namespace tw
