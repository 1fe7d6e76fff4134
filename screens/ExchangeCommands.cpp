// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/ExchangeCommands.h"

#include "app/CGlobalData.h"
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "app/RouteFile.h"
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
constexpr int kTextRouteFiles = 1220;
constexpr int kTextDatabaseFiles = 1265;
constexpr int kTextImportFiles = 1266;

// The import tells a cache manager's database by its content; the filters
// only help to find it.
QString chooseGpxToRead(const CGlobalData& global, QWidget* parent)
{
    return QFileDialog::getOpenFileName(
        parent, langText(global, kTextImportTitle), QString(),
        QStringLiteral("%1 (*.GPX *.gpx *.zip *.ZIP *.db3 *.DB3);;GPX (*.GPX *.gpx *.zip *.ZIP);;%2 (*.db3 *.DB3);;%3 (*)")
            .arg(langText(global, kTextImportFiles), langText(global, kTextDatabaseFiles),
                 langText(global, kTextAllFiles)));
}

// The route is told by the content, so "All files" reads as well.
QString chooseRouteToRead(const CGlobalData& global, QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent, langText(global, kTextImportTitle), QString(),
                                        QStringLiteral("%1 (*.gpx *.GPX *.kml *.KML *.plt *.PLT *.rte *.RTE);;%2 (*)")
                                            .arg(langText(global, kTextRouteFiles), langText(global, kTextAllFiles)));
}

} // namespace

int importGpxCommand(QWidget* parent, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return 2;
    const QString path = chooseGpxToRead(global, parent);
    if (path.isEmpty())
        return 2;
    // The import marker names the latest import only.
    clearImportMarker(global);

    CProgressDlg dialog(langText(global, kTextImportTitle),
                        {langText(global, 262), langText(global, 263), langText(global, 1170), langText(global, 265)},
                        parent);
    dialog.setButtonTexts(langText(global, 968), langText(global, 967));
    const std::string file = path.toStdString();
    const bool confirmed = dialog.run([&global, file](CProgressDlg& progress) {
        const ImportSummary summary = importGpx(global, file, &progress, &progress.cancelFlag());
        progress.finish(importCompletionText(global, summary));
    });
    global.db.ReadDbCounters();
    if (!confirmed) {
        global.notifier.stateChanged(Topic::Counters);
        return 2;
    }
    // Show what was imported.
    global.list.filter = lastImportFilter();
    global.list.saveFilter();
    global.list.readCaches();
    global.notifier.stateChanged(Topic::CacheList);
    return 1;
}

void exportGpxCommand(QWidget* parent, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return;
    QString path = QFileDialog::getSaveFileName(parent, langText(global, kTextExportTitle),
                                                QStringLiteral("caches.gpx"), QStringLiteral("GPX(*.GPX *.gpx)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".gpx"), Qt::CaseInsensitive))
        path += QStringLiteral(".gpx");
    CProgressDlg dialog(langText(global, kTextExportTitle), {}, parent);
    dialog.setButtonTexts(langText(global, 968), langText(global, 967));
    const std::string file = path.toStdString();
    dialog.run([&global, file](CProgressDlg& progress) { exportGpx(global, file, &progress, &progress.cancelFlag()); });
    global.notifier.stateChanged(Topic::CacheList);
}

void loadRouteCommand(QWidget* parent, CGlobalData& global)
{
    const QString path = chooseRouteToRead(global, parent);
    if (path.isEmpty())
        return;
    if (global.gpsServices.trackLogger)
        global.gpsServices.trackLogger->route.clear();
    loadRoute(global, path.toStdString());
}

} // namespace tw
