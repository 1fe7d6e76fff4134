// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheSheetCommands.h"

#include "app/CGlobalData.h"
#include "app/CacheList.h"
#include "app/LiveJobs.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"
#include "screens/CProgressDlg.h"
#include "screens/CacheSheet.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"

#include <QApplication>
#include <QFileDialog>

namespace tw {
namespace {

constexpr int kTextTitle = 1342;
constexpr int kTextPdfFiles = 1343;
constexpr int kTextCancel = 968;
constexpr int kTextOk = 967;

QString choosePdf(QWidget* parent, const CGlobalData& global, const QString& suggested)
{
    QString path = QFileDialog::getSaveFileName(parent, langText(global, kTextTitle), suggested,
                                                QStringLiteral("%1 (*.pdf *.PDF)").arg(langText(global, kTextPdfFiles)));
    if (!path.isEmpty() && !path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    return path;
}

} // namespace

QString printSheets(QWidget* parent, CGlobalData& global, const std::vector<std::string>& codes, const QString& path)
{
    const std::string file = path.toStdString();
    SheetSummary summary;
    if (codes.size() == 1) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        summary = writeCacheSheets(global, codes, file, nullptr, nullptr);
        QApplication::restoreOverrideCursor();
    } else {
        CProgressDlg dialog(langText(global, kTextTitle), {}, parent);
        dialog.setButtonTexts(langText(global, kTextCancel), langText(global, kTextOk));
        dialog.run([&](CProgressDlg& progress) {
            summary = writeCacheSheets(global, codes, file, &progress, &progress.cancelFlag());
        });
    }
    const QString said = QString::fromStdString(sheetCompletionText(global, summary, file));
    // A dialog has shown the outcome already; one sheet is only a moment.
    if (!summary.written && !summary.cancelled && codes.size() == 1)
        global.prompter.message(said.toStdString(), MessageIcon::Exclamation);
    if (auto* window = parent ? qobject_cast<MainWindow*>(parent->window()) : nullptr)
        window->showNote(said);
    return said;
}

void printSheetCommand(QWidget* parent, CGlobalData& global, const std::string& code)
{
    const QString path = choosePdf(parent, global, QString::fromStdString(code) + QStringLiteral(".pdf"));
    if (!path.isEmpty())
        printSheets(parent, global, {code}, path);
}

void printListedSheetsCommand(QWidget* parent, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return;
    const QString path = choosePdf(parent, global, QStringLiteral("caches.pdf"));
    if (path.isEmpty())
        return;
    // Every cache the filter lets through, whatever MaxRows cuts the list to.
    global.list.readCaches(CacheList::kEveryRow);
    const std::vector<std::string> codes = listedCodes(global);
    global.list.readCaches();
    global.notifier.stateChanged(Topic::CacheList);
    printSheets(parent, global, codes, path);
}

} // namespace tw
