// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/ExchangeCommands.h"

#include "app/CGlobalData.h"
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "app/RouteFile.h"
#include "db/Tags.h"
#include "filter/FilterChoices.h"
#include "gps/CTrackLogger.h"
#include "platform/Notifier.h"
#include "screens/LangText.h"
#include "screens/CProgressDlg.h"

#include <QFileDialog>

namespace tw {
namespace {

constexpr int kTextImportTitle = 964;
constexpr int kTextExportTitle = 965;
constexpr int kTextAllFiles = 966;

QString chooseGpxToRead(const CGlobalData& g, QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent, langText(g, kTextImportTitle), QString(),
                                        QStringLiteral("GPX (*.GPX *.gpx *.zip *.ZIP);;%1 (*)")
                                            .arg(langText(g, kTextAllFiles)));
}

} // namespace

int importGpxCommand(QWidget* parent, CGlobalData& g)
{
    if (!g.db.cacheDb.IsAvailable())
        return 2;
    const QString path = chooseGpxToRead(g, parent);
    if (path.isEmpty())
        return 2;
    // The import marker names the latest import only.
    DeleteTagsOfCategory(g.db.cacheDb, g.db.tagCategories.lastImport);

    CProgressDlg dialog(langText(g, kTextImportTitle),
                        {langText(g, 262), langText(g, 263), langText(g, 264), langText(g, 265)}, parent);
    dialog.setButtonTexts(langText(g, 968), langText(g, 967));
    const std::string file = path.toStdString();
    const bool confirmed = dialog.run([&g, file](CProgressDlg& progress) {
        const ImportSummary summary = importGpx(g, file, &progress, &progress.cancelFlag());
        progress.finish(importCompletionText(g, summary));
    });
    g.db.ReadDbCounters();
    if (!confirmed) {
        g.notifier.stateChanged(Topic::Counters);
        return 2;
    }
    // Show what was imported.
    g.list.filter = lastImportFilter();
    g.list.SaveFilter();
    g.list.readCaches();
    g.notifier.stateChanged(Topic::CacheList);
    return 1;
}

void exportGpxCommand(QWidget* parent, CGlobalData& g)
{
    if (!g.db.cacheDb.IsAvailable())
        return;
    QString path = QFileDialog::getSaveFileName(parent, langText(g, kTextExportTitle), QStringLiteral("caches.gpx"),
                                                QStringLiteral("GPX(*.GPX *.gpx)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".gpx"), Qt::CaseInsensitive))
        path += QStringLiteral(".gpx");
    CProgressDlg dialog(langText(g, kTextExportTitle), {}, parent);
    dialog.setButtonTexts(langText(g, 968), langText(g, 967));
    const std::string file = path.toStdString();
    dialog.run([&g, file](CProgressDlg& progress) { exportGpx(g, file, &progress, &progress.cancelFlag()); });
    g.notifier.stateChanged(Topic::CacheList);
}

void loadRouteCommand(QWidget* parent, CGlobalData& g)
{
    const QString path = chooseGpxToRead(g, parent);
    if (path.isEmpty())
        return;
    if (g.gpsServices.trackLogger)
        g.gpsServices.trackLogger->route.clear();
    loadRoute(g, path.toStdString());
}

} // namespace tw
