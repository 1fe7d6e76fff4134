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
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
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

// Sizes of a 240-pixel-wide screen; multiplied by the display scale factor.
constexpr int kBaseFontPx = 9;
constexpr int kBaseButtonPx = 26;

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
    connect(back, &QShortcut::activated, this, [this] { popScreen(); });
    // The keyboard of a desktop reaches the commands of the Menu key.
    auto* filterKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(filterKey, &QShortcut::activated, this, [this] {
        // On the list, the first Ctrl+F goes to its search field.
        if (m_cacheList && !(topScreen() == m_cacheList && m_cacheList->focusSearch()))
            openFilterScreen(*this, m_global);
    });
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
    auto* reloadKey = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(reloadKey, &QShortcut::activated, this, [this] {
        if (m_cacheList)
            m_cacheList->reload();
    });

    if (m_global.db.cacheDbOpen()) {
        m_cacheList = new CacheListScreen(m_global, notifier, this);
        pushScreen(m_cacheList);
        m_cacheList->reload();
        connect(m_cacheList, &CacheListScreen::cacheChosen, this,
                [this](const QString& code) { openCacheScreen(*this, code.toStdString()); });
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
    if (Screen* top = topScreen()) {
        top->fillMenu(menu);
        if (!menu.isEmpty())
            menu.addSeparator();
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
    screen->setParent(m_screens);
    m_screens->addWidget(screen);
    m_stack.push_back(screen);
    connect(screen, &Screen::softKeysChanged, this, &MainWindow::updateSoftKeys);
    connect(screen, &Screen::closeRequested, this, [this, screen] {
        if (topScreen() == screen)
            popScreen();
    });
    m_screens->setCurrentWidget(screen);
    screen->activated();
    updateSoftKeys();
    emit screenChanged(screen);
}

bool MainWindow::popScreen()
{
    if (m_stack.size() <= 1 || !m_stack.back()->leave())
        return false;
    Screen* top = m_stack.back();
    m_stack.pop_back();
    m_screens->removeWidget(top);
    top->deleteLater();
    Screen* below = m_stack.back();
    m_screens->setCurrentWidget(below);
    below->activated();
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
    return m_screens->currentWidget();
}

void MainWindow::updateSoftKeys()
{
    Screen* top = topScreen();
    m_backKey->setVisible(m_stack.size() > 1);
    const QString action = top ? top->mainActionText() : QString();
    m_actionButton->setText(action);
    m_actionKey->setVisible(!action.isEmpty());
}

void MainWindow::applyLook()
{
    const double scale = m_global.scaleFactor;
    QFont f(QString::fromStdString(m_global.settings.fontName));
    f.setPixelSize(static_cast<int>(kBaseFontPx * scale));
    setFont(f);
    for (QToolButton* key : {m_backButton, m_actionButton, m_menuButton})
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
    CMapScreen* map = openMapScreen(*this, m_global);
    map->setTargetSource([this]() -> std::optional<geo::LatLon> {
        if (!m_global.gpsServices.navigationTarget)
            return std::nullopt;
        return geo::LatLon{m_global.gpsServices.navigationTarget->lat, m_global.gpsServices.navigationTarget->lon};
    });
    connect(map, &CMapScreen::cacheTapped, this, [this](const QString& code) { openCacheScreen(*this, code.toStdString()); });
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
    openCacheScreen(*this, code);
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
    if (topic == Topic::Counters || topic == Topic::CacheList)
        refreshStatus();
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
