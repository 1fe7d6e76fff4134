// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheCommands.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "platform/Prompter.h"
#include "screens/CExportFNDlg.h"
#include "screens/CRot13Dlg.h"
#include "screens/DialogKeys.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/TagsScreen.h"
#include "screens/VisitScreen.h"
#include "screens/ShownDates.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextEditNote = 530;
constexpr int kTextNote = 531;
constexpr int kTextFound = 532;
constexpr int kTextNotFound = 533;
constexpr int kTextVisitDate = 534;
constexpr int kTextDelete = 535;
constexpr int kTextDeleteQuestion = 536;
constexpr int kTextCopyCoords = 537;
constexpr int kTextNavigateCache = 538;
constexpr int kTextNavigateWaypoint = 539;
constexpr int kTextTags = 542;
constexpr int kTextVisit = 543;
constexpr int kTextTextTools = 544;
constexpr int kTextExportFieldNotes = 545;
constexpr int kTextNotFoundQuestion = 579;

QString nameAndCode(const CGeocache& cache)
{
    return QStringLiteral("%1 (%2)").arg(QString::fromStdString(cache.name), QString::fromStdString(cache.code));
}

// A dialog with a label above one input and the OK and Cancel keys.
struct InputDialog {
    InputDialog(QWidget* window, const QString& title, const QString& label)
        : dialog(window), layout(new QVBoxLayout(&dialog))
    {
        dialog.setWindowTitle(title);
        auto* caption = new QLabel(label, &dialog);
        caption->setWordWrap(true);
        layout->addWidget(caption);
    }
    bool run(const CGlobalData& global, QWidget* window)
    {
        addDialogKeys(dialog, *layout, global);
        return execDialog(dialog, window) == QDialog::Accepted;
    }

    QDialog dialog;
    QVBoxLayout* layout;
};

} // namespace

bool editNoteCommand(QWidget* window, CGlobalData& global)
{
    CGeocache* cache = global.list.currentCache();
    if (!cache)
        return false;
    InputDialog input(window, titleOf(langText(global, kTextEditNote)), langText(global, kTextNote));
    auto* edit = new QPlainTextEdit(QString::fromStdString(cache->comment), &input.dialog);
    input.layout->addWidget(edit, 1);
    edit->setFocus();
    if (!input.run(global, window))
        return false;
    return setCacheComment(global, *cache, edit->toPlainText().toStdString());
}

bool recordVisitCommand(QWidget* window, CGlobalData& global, bool found)
{
    CGeocache* cache = global.list.currentCache();
    if (!cache)
        return false;
    if (!found) {
        // A note that is no find is stamped with the day it is stored: there
        // is no date to choose.
        const QString question =
            langText(global, kTextNotFoundQuestion).replace(QStringLiteral("%s"), nameAndCode(*cache));
        return global.prompter.ask(question.toStdString(), true) &&
               recordVisit(global, *cache, LogType::DidntFindIt, std::time(nullptr));
    }
    InputDialog input(window, titleOf(langText(global, kTextFound)),
                      nameAndCode(*cache) + QStringLiteral("\n") + langText(global, kTextVisitDate));
    auto* calendar = new QCalendarWidget(&input.dialog);
    calendar->setObjectName(QStringLiteral("visitDate"));
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    showProgramDates(calendar, global);
    calendar->setMaximumDate(QDate::currentDate());
    calendar->setSelectedDate(QDate::currentDate());
    calendar->setMinimumHeight(touchPx(global) * 6);
    // The month keys are small arrows by default: make them finger-sized.
    for (auto* key : calendar->findChildren<QToolButton*>()) {
        key->setMinimumSize(touchPx(global), touchPx(global));
        key->setIconSize(QSize(touchPx(global) / 2, touchPx(global) / 2));
    }
    input.layout->addWidget(calendar, 1);
    if (!input.run(global, window))
        return false;
    const QDateTime when(calendar->selectedDate(), QTime::currentTime());
    return recordVisit(global, *cache, LogType::FoundIt, static_cast<std::time_t>(when.toSecsSinceEpoch()));
}

bool deleteCacheCommand(QWidget*, CGlobalData& global)
{
    CGeocache* cache = global.list.currentCache();
    if (!cache)
        return false;
    const QString question = langText(global, kTextDeleteQuestion).replace(QStringLiteral("%s"), nameAndCode(*cache));
    if (!global.prompter.ask(question.toStdString(), false))
        return false;
    return deleteCacheWithUserData(global, *cache);
}

bool copyCoordinatesCommand(CGlobalData& global)
{
    const CGeocache* cache = global.list.currentCache();
    if (!cache)
        return false;
    QGuiApplication::clipboard()->setText(QString::fromStdString(coordinatesToCopy(global, cache->lat, cache->lon)));
    QApplication::beep();
    return true;
}

bool navigateToCacheCommand(CGlobalData& global)
{
    const CGeocache* cache = global.list.currentCache();
    if (!cache)
        return false;
    global.gpsServices.setNavigationTarget(navigationTargetOf(*cache));
    return true;
}

void navigateToWaypointCommand(CGlobalData& global, const CWaypoint& waypoint)
{
    // 0, 0 is no place to go to: the waypoint has no position.
    if (!hasPosition(waypoint))
        return;
    global.gpsServices.setNavigationTarget(navigationTargetOf(waypoint));
}

bool openVisitScreen(MainWindow& window, CGlobalData& global)
{
    const CGeocache* cache = global.list.currentCache();
    if (!cache)
        return false;
    window.pushScreen(new VisitScreen(global, cache->code));
    return true;
}

bool openTagsScreen(MainWindow& window, CGlobalData& global)
{
    const CGeocache* cache = global.list.currentCache();
    if (!cache)
        return false;
    window.pushScreen(new TagsScreen(global, cache->code));
    return true;
}

void textToolsCommand(QWidget* window, CGlobalData& global, const QString& text)
{
    CRot13Dlg dialog(global, text, window);
    execDialog(dialog, window);
}

bool exportFieldNotesCommand(QWidget* window, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return false;
    CExportFNDlg dialog(global, window);
    return execDialog(dialog, window) == QDialog::Accepted;
}

void addCacheCommands(QMenu& menu, MainWindow& window, CGlobalData& global)
{
    const CGeocache* cache = global.list.currentCache();
    const bool haveCache = cache != nullptr;
    auto add = [&](int text, auto&& run) {
        QAction* action = menu.addAction(langText(global, text), &window, run);
        action->setEnabled(haveCache);
        return action;
    };
    add(kTextVisit, [&window, &global] { openVisitScreen(window, global); });
    add(kTextFound, [&window, &global] { recordVisitCommand(&window, global, true); });
    add(kTextNotFound, [&window, &global] { recordVisitCommand(&window, global, false); });
    add(kTextEditNote, [&window, &global] { editNoteCommand(&window, global); });
    add(kTextTags, [&window, &global] { openTagsScreen(window, global); });
    menu.addSeparator();
    add(kTextNavigateCache, [&global] { navigateToCacheCommand(global); });
    QMenu* waypoints = menu.addMenu(langText(global, kTextNavigateWaypoint));
    waypoints->setEnabled(false);
    if (cache) {
        for (const CWaypoint& w : waypointsWithPosition(global, *cache)) {
            const QString name = QString::fromStdString(w.prefix + " " + w.name).trimmed();
            waypoints->addAction(name, &window, [&global, w] { navigateToWaypointCommand(global, w); });
        }
        waypoints->setEnabled(!waypoints->isEmpty());
    }
    add(kTextCopyCoords, [&global] { copyCoordinatesCommand(global); });
    add(kTextTextTools, [&window, &global] { textToolsCommand(&window, global); })->setEnabled(true);
    menu.addSeparator();
    menu.addAction(langText(global, kTextExportFieldNotes), &window,
                   [&window, &global] { exportFieldNotesCommand(&window, global); });
    menu.addSeparator();
    add(kTextDelete, [&window, &global] {
        if (deleteCacheCommand(&window, global) && window.screenDepth() > 1)
            window.popScreen();
    });
}

} // namespace tw
