// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/OnlineCommands.h"

#include "app/CGlobalData.h"
#include "app/LiveJobs.h"
#include "db/Tags.h"
#include "geo/ReferencePosition.h"
#include "platform/Notifier.h"
#include "screens/CBMWarningDlg.h"
#include "screens/CProgressDlg.h"
#include "screens/DialogKeys.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/OnlineSearchDialog.h"
#include "screens/Screen.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <cmath>

namespace tw {
namespace {

constexpr int kTextMaxCaches = 164;
constexpr int kTextDistance = 169;
constexpr int kTextDistanceZero = 170;
constexpr int kTextTitle = 316;
constexpr int kTextOnlyNew = 351;
constexpr int kTextNotFound = 352;
constexpr int kTextLite = 375;
constexpr int kTextFull = 376;
constexpr int kTextMenuByCode = 824;
constexpr int kTextMenuNearest = 825;
constexpr int kTextMenuRefresh = 826;
constexpr int kTextMenuStatus = 827;
constexpr int kTextCodeCaption = 828;
constexpr int kTextNotACode = 832;
constexpr int kTextKm = 833;
constexpr int kTextMi = 834;

constexpr double kKmToMiles = 6.2137119223733395; // tenths of a mile per kilometre
constexpr double kMileKm = 1.609344;

// Runs f on the window thread and waits for its answer; directly when
// already there.
bool onWindowThread(const std::function<bool()>& f)
{
    if (!qApp || QThread::currentThread() == qApp->thread())
        return f();
    bool result = false;
    QMetaObject::invokeMethod(qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

// The limit warning, asked from the job's thread.
void bindLimitWarning(CGlobalData& g, QWidget* parent)
{
    liveClient(g).confirmLimits = [&g, parent](const std::string& text, bool canGoOn) {
        return onWindowThread([&] {
            CBMWarningDlg dialog(g, QString::fromStdString(text), canGoOn, parent);
            return execDialog(dialog, parent) == QDialog::Accepted;
        });
    };
}

// Shows the last-import marker's caches, as after a GPX import.
void showLastImport(CGlobalData& g, bool confirmed)
{
    g.db.ReadDbCounters();
    g.list.filter = CacheFilter();
    g.list.filter.useTag = 1;
    g.list.filter.tagCategory = TagCategoryName::LastImport;
    g.list.SaveFilter();
    if (confirmed)
        g.list.readCaches();
    g.notifier.stateChanged(confirmed ? Topic::CacheList : Topic::Counters);
}

std::vector<QString> counterNames(const CGlobalData& g)
{
    std::vector<QString> names;
    for (const std::string& n : liveCounterNames(g))
        names.push_back(QString::fromStdString(n));
    return names;
}

} // namespace

void downloadByCodeCommand(QWidget* parent, CGlobalData& g)
{
    if (!g.db.cacheDb.IsAvailable())
        return;
    QInputDialog input(parent);
    input.setWindowTitle(langText(g, kTextMenuByCode));
    input.setLabelText(langText(g, kTextCodeCaption));
    input.setTextValue(QStringLiteral("GC"));
    input.setOkButtonText(langText(g, 505));
    input.setCancelButtonText(langText(g, 506));
    if (execDialog(input, parent) != QDialog::Accepted)
        return;
    const QString code = input.textValue().trimmed().toUpper();
    if (!code.startsWith(QLatin1String("GC")) || code.size() < 3) {
        QMessageBox::information(parent, langText(g, kTextMenuByCode), langText(g, kTextNotACode));
        return;
    }
    bindLimitWarning(g, parent);
    CProgressDlg dialog(langText(g, kTextTitle), counterNames(g), parent);
    dialog.setButtonTexts(langText(g, 968), langText(g, 967));
    const std::string c = code.toStdString();
    const bool confirmed = dialog.run([&g, c](CProgressDlg& progress) {
        if (!liveClient(g).CheckLiveAccess()) {
            progress.finish({});
            return;
        }
        liveDownloadCodes(g, {c}, &progress, &progress.cancelFlag());
    });
    showLastImport(g, confirmed);
}

void nearestCachesCommand(QWidget* parent, CGlobalData& g)
{
    if (!g.db.cacheDb.IsAvailable())
        return;
    OnlineSearchDialog options(g, parent);
    if (execDialog(options, parent) != QDialog::Accepted)
        return;
    bindLimitWarning(g, parent);
    const geo::LatLon at = geo::referencePosition(g.reference.context(), false);
    CProgressDlg dialog(langText(g, kTextTitle), counterNames(g), parent);
    dialog.setButtonTexts(langText(g, 968), langText(g, 967));
    const bool confirmed = dialog.run([&g, at](CProgressDlg& progress) {
        if (!g.settings.isLite && !liveClient(g).CheckLiveAccess()) {
            progress.finish({});
            return;
        }
        liveNearest(g, at.lat, at.lon, &progress, &progress.cancelFlag());
    });
    showLastImport(g, confirmed);
}

void refreshListedCommand(QWidget* parent, CGlobalData& g)
{
    if (!g.db.cacheDb.IsAvailable())
        return;
    bindLimitWarning(g, parent);
    CProgressDlg dialog(langText(g, kTextTitle), counterNames(g), parent);
    dialog.setButtonTexts(langText(g, 968), langText(g, 967));
    const std::vector<std::string> codes = listedCodes(g);
    dialog.run([&g, codes](CProgressDlg& progress) {
        if (!liveClient(g).CheckLiveAccess()) {
            progress.finish({});
            return;
        }
        liveRefresh(g, codes, false, &progress, &progress.cancelFlag());
    });
    g.list.readCaches();
    g.notifier.stateChanged(Topic::CacheList);
}

void refreshStatusCommand(QWidget* parent, CGlobalData& g)
{
    if (!g.db.cacheDb.IsAvailable())
        return;
    CProgressDlg dialog(langText(g, kTextTitle), counterNames(g), parent);
    dialog.setButtonTexts(langText(g, 968), langText(g, 967));
    const std::vector<std::string> codes = listedCodes(g);
    dialog.run([&g, codes](CProgressDlg& progress) {
        liveRefresh(g, codes, true, &progress, &progress.cancelFlag());
    });
    g.list.readCaches();
    g.notifier.stateChanged(Topic::CacheList);
}

void fillOnlineMenu(QMenu& menu, MainWindow& window, CGlobalData& g)
{
    QWidget* parent = &window;
    QAction* byCode = menu.addAction(langText(g, kTextMenuByCode), parent,
                                     [parent, &g] { downloadByCodeCommand(parent, g); });
    byCode->setObjectName(QStringLiteral("onlineByCode"));
    QAction* nearest = menu.addAction(langText(g, kTextMenuNearest), parent,
                                      [parent, &g] { nearestCachesCommand(parent, g); });
    nearest->setObjectName(QStringLiteral("onlineNearest"));
    QAction* refresh = menu.addAction(langText(g, kTextMenuRefresh), parent,
                                      [parent, &g] { refreshListedCommand(parent, g); });
    refresh->setObjectName(QStringLiteral("onlineRefresh"));
    QAction* status = menu.addAction(langText(g, kTextMenuStatus), parent,
                                     [parent, &g] { refreshStatusCommand(parent, g); });
    status->setObjectName(QStringLiteral("onlineStatus"));
    // Full data of the list is not for basic members; neither refresh runs
    // while downloads are switched off.
    refresh->setEnabled(g.settings.isBasic != 1 && g.settings.dnlOnline != 0);
    status->setEnabled(g.settings.dnlOnline != 0);
}

void setOnlineLogin(CGlobalData& global, std::function<bool()> login)
{
    setLiveLogin(global, [login = std::move(login)] { return onWindowThread(login); });
}

} // namespace tw
