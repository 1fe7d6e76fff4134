// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/MainWindow.h"

#include "app/CGlobalData.h"
#include "screens/CacheListScreen.h"
#include "screens/ExchangeCommands.h"
#include "screens/LangText.h"
#include "screens/QtServices.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <sqlite3.h>

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

// Sizes of a 240-pixel-wide screen; multiplied by the display scale factor.
constexpr int kBaseFontPx = 9;
constexpr int kBaseButtonPx = 26;

QColor fromBgr(int bgr)
{
    return QColor(bgr & 0xff, (bgr >> 8) & 0xff, (bgr >> 16) & 0xff);
}

} // namespace

QString aboutText(const CGlobalData& g)
{
    return QStringLiteral("Tarnwick\n%1: %2\n%3: %4\n%5: %6")
        .arg(langText(g, kTextProgramVersion), QString::fromLatin1(kProgramVersion), langText(g, kTextDatabaseVersion))
        .arg(g.dbVersion)
        .arg(langText(g, kTextSqliteVersion), QString::fromLatin1(sqlite3_libversion()));
}

MainWindow::MainWindow(CGlobalData& global, QtNotifier& notifier, QWidget* parent)
    : QMainWindow(parent), m_global(global)
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
    layout->addWidget(m_status);
    setCentralWidget(central);

    auto* empty = new QLabel(m_global.cacheDb.opened() ? langText(m_global, kTextNothingToShow)
                                                       : langText(m_global, kTextNoDatabase));
    empty->setAlignment(Qt::AlignCenter);
    empty->setWordWrap(true);
    m_emptyScreen = empty;
    addScreen(empty);

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("softKeys"));
    bar->setMovable(false);
    bar->setFloatable(false);
    addToolBar(Qt::BottomToolBarArea, bar);

    auto* menu = new QMenu(this);
    if (m_global.cacheDb.opened()) {
        m_cacheList = new CacheListScreen(m_global, notifier, this);
        addScreen(m_cacheList);
        showScreen(m_cacheList);
        m_cacheList->reload();
        menu->addMenu(m_cacheList->sortMenu());
        menu->addSeparator();
    }
    menu->addAction(langText(m_global, kTextImportGpx), this, [this] {
        if (importGpxCommand(this, m_global) == 1 && m_cacheList)
            m_cacheList->reload();
        refreshStatus();
    });
    menu->addAction(langText(m_global, kTextExportGpx), this, [this] {
        exportGpxCommand(this, m_global);
        if (m_cacheList)
            m_cacheList->reload();
    });
    menu->addAction(langText(m_global, kTextLoadRoute), this, [this] { loadRouteCommand(this, m_global); });
    menu->addSeparator();
    menu->addAction(langText(m_global, kTextAbout), this, &MainWindow::showAbout);
    menu->addSeparator();
    menu->addAction(langText(m_global, kTextExit), this, &QWidget::close);

    m_menuButton = new QToolButton(bar);
    m_menuButton->setObjectName(QStringLiteral("menuButton"));
    m_menuButton->setText(langText(m_global, kTextMenu));
    m_menuButton->setMenu(menu);
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    m_menuButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(m_menuButton);

    connect(&notifier, &QtNotifier::topicChanged, this, &MainWindow::onTopicChanged);
    applyLook();
    refreshStatus();
}

void MainWindow::applyLook()
{
    const double scale = m_global.scaleFactor;
    QFont f(QString::fromStdString(m_global.settings.fontName));
    f.setPixelSize(static_cast<int>(kBaseFontPx * scale));
    setFont(f);
    m_menuButton->setMinimumHeight(static_cast<int>(kBaseButtonPx * scale));
    if (m_global.settings.bgColor != -1) {
        QPalette p = palette();
        p.setColor(QPalette::Window, fromBgr(m_global.settings.bgColor));
        p.setColor(QPalette::Base, fromBgr(m_global.settings.bgColor));
        setPalette(p);
        setAutoFillBackground(true);
    }
    m_status->setVisible(m_global.settings.showStatus != 0);
}

int MainWindow::addScreen(QWidget* screen)
{
    return m_screens->addWidget(screen);
}

void MainWindow::showScreen(QWidget* screen)
{
    m_screens->setCurrentWidget(screen);
}

QWidget* MainWindow::currentScreen() const
{
    return m_screens->currentWidget();
}

QString MainWindow::statusText() const
{
    const Settings& s = m_global.settings;
    return QStringLiteral("%1: %2/%3/%4")
        .arg(langText(m_global, kTextCaches))
        .arg(m_global.listedCount)
        .arg(m_global.cacheCount)
        .arg(s.foundCount + s.findsCountExtra);
}

void MainWindow::refreshStatus()
{
    m_status->setText(statusText());
}

void MainWindow::onTopicChanged(Topic topic)
{
    if (topic == Topic::Counters || topic == Topic::CacheList)
        refreshStatus();
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
