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
    bool run(const CGlobalData& g, QWidget* window)
    {
        addDialogKeys(dialog, *layout, g);
        return execDialog(dialog, window) == QDialog::Accepted;
    }

    QDialog dialog;
    QVBoxLayout* layout;
};

} // namespace

bool editNoteCommand(QWidget* window, CGlobalData& g)
{
    CGeocache* cache = g.list.currentCache();
    if (!cache)
        return false;
    InputDialog input(window, titleOf(langText(g, kTextEditNote)), langText(g, kTextNote));
    auto* edit = new QPlainTextEdit(QString::fromStdString(cache->comment), &input.dialog);
    input.layout->addWidget(edit, 1);
    edit->setFocus();
    if (!input.run(g, window))
        return false;
    return setCacheComment(g, *cache, edit->toPlainText().toStdString());
}

bool recordVisitCommand(QWidget* window, CGlobalData& g, bool found)
{
    CGeocache* cache = g.list.currentCache();
    if (!cache)
        return false;
    if (!found) {
        // A note that is no find is stamped with the day it is stored: there
        // is no date to choose.
        const QString question = langText(g, kTextNotFoundQuestion).replace(QStringLiteral("%s"), nameAndCode(*cache));
        return g.prompter.ask(question.toStdString(), true) &&
               recordVisit(g, *cache, LogType::DidntFindIt, std::time(nullptr));
    }
    InputDialog input(window, titleOf(langText(g, kTextFound)),
                      nameAndCode(*cache) + QStringLiteral("\n") + langText(g, kTextVisitDate));
    auto* calendar = new QCalendarWidget(&input.dialog);
    calendar->setObjectName(QStringLiteral("visitDate"));
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar->setMaximumDate(QDate::currentDate());
    calendar->setSelectedDate(QDate::currentDate());
    calendar->setMinimumHeight(touchPx(g) * 6);
    // The month keys are small arrows by default: make them finger-sized.
    for (auto* key : calendar->findChildren<QToolButton*>()) {
        key->setMinimumSize(touchPx(g), touchPx(g));
        key->setIconSize(QSize(touchPx(g) / 2, touchPx(g) / 2));
    }
    input.layout->addWidget(calendar, 1);
    if (!input.run(g, window))
        return false;
    const QDateTime when(calendar->selectedDate(), QTime::currentTime());
    return recordVisit(g, *cache, LogType::FoundIt, static_cast<std::time_t>(when.toSecsSinceEpoch()));
}

bool deleteCacheCommand(QWidget*, CGlobalData& g)
{
    CGeocache* cache = g.list.currentCache();
    if (!cache)
        return false;
    const QString question = langText(g, kTextDeleteQuestion).replace(QStringLiteral("%s"), nameAndCode(*cache));
    if (!g.prompter.ask(question.toStdString(), false))
        return false;
    return deleteCacheWithUserData(g, *cache);
}

bool copyCoordinatesCommand(CGlobalData& g)
{
    const CGeocache* cache = g.list.currentCache();
    if (!cache)
        return false;
    QGuiApplication::clipboard()->setText(QString::fromStdString(coordinatesToCopy(g, cache->lat, cache->lon)));
    QApplication::beep();
    return true;
}

bool navigateToCacheCommand(CGlobalData& g)
{
    const CGeocache* cache = g.list.currentCache();
    if (!cache)
        return false;
    g.gpsServices.setNavigationTarget(navigationTargetOf(*cache));
    return true;
}

void navigateToWaypointCommand(CGlobalData& g, const CWaypoint& waypoint)
{
    g.gpsServices.setNavigationTarget(navigationTargetOf(waypoint));
}

bool openVisitScreen(MainWindow& window, CGlobalData& g)
{
    const CGeocache* cache = g.list.currentCache();
    if (!cache)
        return false;
    window.pushScreen(new VisitScreen(g, cache->code));
    return true;
}

bool openTagsScreen(MainWindow& window, CGlobalData& g)
{
    const CGeocache* cache = g.list.currentCache();
    if (!cache)
        return false;
    window.pushScreen(new TagsScreen(g, cache->code));
    return true;
}

void textToolsCommand(QWidget* window, CGlobalData& g, const QString& text)
{
    CRot13Dlg dialog(g, text, window);
    execDialog(dialog, window);
}

bool exportFieldNotesCommand(QWidget* window, CGlobalData& g)
{
    if (!g.db.cacheDb.IsAvailable())
        return false;
    CExportFNDlg dialog(g, window);
    return execDialog(dialog, window) == QDialog::Accepted;
}

void addCacheCommands(QMenu& menu, MainWindow& window, CGlobalData& g)
{
    const CGeocache* cache = g.list.currentCache();
    const bool haveCache = cache != nullptr;
    auto add = [&](int text, auto&& run) {
        QAction* action = menu.addAction(langText(g, text), &window, run);
        action->setEnabled(haveCache);
        return action;
    };
    add(kTextVisit, [&window, &g] { openVisitScreen(window, g); });
    add(kTextFound, [&window, &g] { recordVisitCommand(&window, g, true); });
    add(kTextNotFound, [&window, &g] { recordVisitCommand(&window, g, false); });
    add(kTextEditNote, [&window, &g] { editNoteCommand(&window, g); });
    add(kTextTags, [&window, &g] { openTagsScreen(window, g); });
    menu.addSeparator();
    add(kTextNavigateCache, [&g] { navigateToCacheCommand(g); });
    QMenu* waypoints = menu.addMenu(langText(g, kTextNavigateWaypoint));
    waypoints->setEnabled(false);
    if (cache) {
        for (const CWaypoint& w : waypointsWithPosition(g, *cache)) {
            const QString name = QString::fromStdString(w.prefix + " " + w.name).trimmed();
            waypoints->addAction(name, &window, [&g, w] { navigateToWaypointCommand(g, w); });
        }
        waypoints->setEnabled(!waypoints->isEmpty());
    }
    add(kTextCopyCoords, [&g] { copyCoordinatesCommand(g); });
    add(kTextTextTools, [&window, &g] { textToolsCommand(&window, g); })->setEnabled(true);
    menu.addSeparator();
    menu.addAction(langText(g, kTextExportFieldNotes), &window, [&window, &g] { exportFieldNotesCommand(&window, g); });
    menu.addSeparator();
    add(kTextDelete, [&window, &g] {
        if (deleteCacheCommand(&window, g) && window.screenDepth() > 1)
            window.popScreen();
    });
}

} // namespace tw
