// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/MovingMenu.h"

#include "screens/CacheCommands.h"

#include "app/FieldNotesJob.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "screens/CGpsScr.h"
#include "screens/CTrackManager.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/NavigationScreen.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>

#include <ctime>

namespace tw {
namespace {

constexpr int kTextDisplayOff = 1304;
constexpr int kTextNavigation = 772;
constexpr int kTextGpsScreen = 779;
constexpr int kTextTrackManager = 780;
constexpr int kTextExportFieldNotes = 781;
constexpr int kTextFieldNotesWritten = 802;
constexpr std::time_t kFieldNotesLookBack = 2 * 24 * 3600;

// A black window over the whole screen; any tap or key takes it away.
class DarkScreen final : public QWidget {
public:
    DarkScreen() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    {
        setObjectName(QStringLiteral("displayOff"));
        setAttribute(Qt::WA_DeleteOnClose);
        setCursor(Qt::BlankCursor);
        QPalette dark = palette();
        dark.setColor(QPalette::Window, Qt::black);
        setPalette(dark);
        setAutoFillBackground(true);
    }

protected:
    void mousePressEvent(QMouseEvent*) override { close(); }
    void keyPressEvent(QKeyEvent*) override { close(); }
};

} // namespace

void openGpsScreen(MainWindow& window, CGlobalData& global)
{
    auto* screen = new CGpsScr(global, &window.notifier());
    screen->openTrackManager = [&global, screen] { tw::openTrackManager(screen->window(), global); };
    window.pushScreen(screen);
}

void openNavigation(MainWindow& window, CGlobalData& global)
{
    window.pushScreen(new NavigationScreen(global, &window.notifier()));
}

void navigateTo(MainWindow& window, CGlobalData& global, const NavigationTarget& target)
{
    global.gpsServices.setNavigationTarget(target);
    if (qobject_cast<NavigationScreen*>(window.topScreen()))
        static_cast<NavigationScreen*>(window.topScreen())->tick();
    else
        openNavigation(window, global);
}

void openTrackManager(QWidget* parent, CGlobalData& global)
{
    CTrackManager manager(global, parent);
    execDialog(manager, parent);
}

void displayOff(MainWindow& window, CGlobalData&)
{
    auto* dark = new DarkScreen;
    if (QScreen* screen = window.screen())
        dark->setGeometry(screen->geometry());
    dark->showFullScreen();
    dark->activateWindow();
}

void fillMovingMenu(QMenu& menu, MainWindow& window, CGlobalData& global)
{
    addGpsSwitchEntry(menu, global);
    menu.addAction(langText(global, kTextGpsScreen), &window, [&window, &global] { openGpsScreen(window, global); });
    menu.addAction(langText(global, kTextNavigation), &window,
                   [&window, &global] { openNavigation(window, global); });
    menu.addAction(langText(global, kTextTrackManager), &window,
                   [&window, &global] { openTrackManager(&window, global); });
    menu.addAction(langText(global, kTextExportFieldNotes), &window,
                   [&window, &global] { exportFieldNotesCommand(&window, global); });
    menu.addAction(langText(global, kTextDisplayOff), &window, [&window, &global] { displayOff(window, global); });
}

} // namespace tw
