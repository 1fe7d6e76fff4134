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
void bindLimitWarning(CGlobalData& global, QWidget* parent)
{
    liveClient(global).confirmLimits = [&global, parent](const std::string& text, bool canGoOn) {
        return onWindowThread([&] {
            CBMWarningDlg dialog(global, QString::fromStdString(text), canGoOn, parent);
            return execDialog(dialog, parent) == QDialog::Accepted;
        });
    };
}

// Shows the last-import marker's caches, as after a GPX import.
void showLastImport(CGlobalData& global, bool confirmed)
{
    global.db.ReadDbCounters();
    global.list.filter = CacheFilter();
    global.list.filter.useTag = 1;
    global.list.filter.tagCategory = TagCategoryName::LastImport;
    global.list.saveFilter();
    if (confirmed)
        global.list.readCaches();
    global.notifier.stateChanged(confirmed ? Topic::CacheList : Topic::Counters);
}

std::vector<QString> counterNames(const CGlobalData& global)
{
    std::vector<QString> names;
    for (const std::string& n : liveCounterNames(global))
        names.push_back(QString::fromStdString(n));
    return names;
}

} // namespace

void downloadByCodeCommand(QWidget* parent, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return;
    QInputDialog input(parent);
    input.setWindowTitle(langText(global, kTextMenuByCode));
    input.setLabelText(langText(global, kTextCodeCaption));
    input.setTextValue(QStringLiteral("GC"));
    input.setOkButtonText(langText(global, 505));
    input.setCancelButtonText(langText(global, 506));
    if (execDialog(input, parent) != QDialog::Accepted)
        return;
    const QString code = input.textValue().trimmed().toUpper();
    if (!code.startsWith(QLatin1String("GC")) || code.size() < 3) {
        QMessageBox::information(parent, langText(global, kTextMenuByCode), langText(global, kTextNotACode));
        return;
    }
    bindLimitWarning(global, parent);
    CProgressDlg dialog(langText(global, kTextTitle), counterNames(global), parent);
    dialog.setButtonTexts(langText(global, 968), langText(global, 967));
    const std::string c = code.toStdString();
    const bool confirmed = dialog.run([&global, c](CProgressDlg& progress) {
        if (!liveClient(global).CheckLiveAccess()) {
            progress.finish({});
            return;
        }
        liveDownloadCodes(global, {c}, &progress, &progress.cancelFlag());
    });
    showLastImport(global, confirmed);
}

void nearestCachesCommand(QWidget* parent, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return;
    OnlineSearchDialog options(global, parent);
    if (execDialog(options, parent) != QDialog::Accepted)
        return;
    bindLimitWarning(global, parent);
    const geo::LatLon at = geo::referencePosition(global.reference.context(), false);
    CProgressDlg dialog(langText(global, kTextTitle), counterNames(global), parent);
    dialog.setButtonTexts(langText(global, 968), langText(global, 967));
    const bool confirmed = dialog.run([&global, at](CProgressDlg& progress) {
        if (!global.settings.isLite && !liveClient(global).CheckLiveAccess()) {
            progress.finish({});
            return;
        }
        liveNearest(global, at.lat, at.lon, &progress, &progress.cancelFlag());
    });
    showLastImport(global, confirmed);
}

void refreshListedCommand(QWidget* parent, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return;
    bindLimitWarning(global, parent);
    CProgressDlg dialog(langText(global, kTextTitle), counterNames(global), parent);
    dialog.setButtonTexts(langText(global, 968), langText(global, 967));
    const std::vector<std::string> codes = listedCodes(global);
    dialog.run([&global, codes](CProgressDlg& progress) {
        if (!liveClient(global).CheckLiveAccess()) {
            progress.finish({});
            return;
        }
        liveRefresh(global, codes, false, &progress, &progress.cancelFlag());
    });
    global.list.readCaches();
    global.notifier.stateChanged(Topic::CacheList);
}

void refreshStatusCommand(QWidget* parent, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return;
    CProgressDlg dialog(langText(global, kTextTitle), counterNames(global), parent);
    dialog.setButtonTexts(langText(global, 968), langText(global, 967));
    const std::vector<std::string> codes = listedCodes(global);
    dialog.run([&global, codes](CProgressDlg& progress) {
        liveRefresh(global, codes, true, &progress, &progress.cancelFlag());
    });
    global.list.readCaches();
    global.notifier.stateChanged(Topic::CacheList);
}

void fillOnlineMenu(QMenu& menu, MainWindow& window, CGlobalData& global)
{
    QWidget* parent = &window;
    QAction* byCode = menu.addAction(langText(global, kTextMenuByCode), parent,
                                     [parent, &global] { downloadByCodeCommand(parent, global); });
    byCode->setObjectName(QStringLiteral("onlineByCode"));
    QAction* nearest = menu.addAction(langText(global, kTextMenuNearest), parent,
                                      [parent, &global] { nearestCachesCommand(parent, global); });
    nearest->setObjectName(QStringLiteral("onlineNearest"));
    QAction* refresh = menu.addAction(langText(global, kTextMenuRefresh), parent,
                                      [parent, &global] { refreshListedCommand(parent, global); });
    refresh->setObjectName(QStringLiteral("onlineRefresh"));
    QAction* status = menu.addAction(langText(global, kTextMenuStatus), parent,
                                     [parent, &global] { refreshStatusCommand(parent, global); });
    status->setObjectName(QStringLiteral("onlineStatus"));
    // Full data of the list is not for basic members; neither refresh runs
    // while downloads are switched off.
    refresh->setEnabled(global.settings.isBasic != 1 && global.settings.dnlOnline != 0);
    status->setEnabled(global.settings.dnlOnline != 0);
}

void setOnlineLogin(CGlobalData& global, std::function<bool()> login)
{
    setLiveLogin(global, [login = std::move(login)] { return onWindowThread(login); });
}

} // namespace tw
