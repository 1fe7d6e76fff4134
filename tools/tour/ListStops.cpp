// SPDX-License-Identifier: GPL-3.0-or-later
// The first screen: the cache list, as it opens and narrowed by a search.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "app/DeviceSend.h"
#include "screens/CProgressDlg.h"
#include "screens/CacheListScreen.h"
#include "screens/DialogPlacement.h"
#include "screens/MainWindow.h"
#include "screens/SendDialog.h"
#include "screens/VisitsOffer.h"

#include <QApplication>

#include <filesystem>
#include <fstream>

#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

namespace tw {
namespace {

// Types into the list's search field and waits for the list the worker reads.
void search(MainWindow& window, const QString& words)
{
    CacheListScreen* list = window.cacheList();
    QEventLoop loop;
    QObject::connect(list, &CacheListScreen::searchShown, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    list->searchField()->setText(words);
    loop.exec();
}

} // namespace

void addListStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("list"), [](TourContext& t) -> QWidget* { return &t.window; }});
    // A send of the sample list to a unit folder beside the documents, as it ends.
    stops.push_back({QStringLiteral("send-to-gps"), [](TourContext& t) -> QWidget* {
                         const std::filesystem::path unit = t.global.paths.documents / "GARMIN";
                         std::filesystem::create_directories(unit / "Garmin" / "GPX");
                         std::ofstream(unit / "Garmin" / "GarminDevice.xml")
                             << "<Device><Model><Description>eTrex 30</Description></Model><Id>1</Id></Device>\n";
                         CProgressDlg* dialog = makeSendDialog(t.global, &t.window);
                         if (const auto device = gpsdevice::DeviceAt(unit.string()))
                             sendToDevice(t.global, *device, dialog, nullptr);
                         QApplication::processEvents();
                         placeDialog(*dialog, &t.window);
                         dialog->show();
                         return dialog;
                     }});
    // The visits a unit brought back: one of a cache of the sample, one of a
    // cache the database lacks. A note keeps the sample's found states.
    stops.push_back({QStringLiteral("visits-from-gps"), [](TourContext& t) -> QWidget* {
                         const std::filesystem::path unit = t.global.paths.documents / "GARMIN";
                         std::filesystem::create_directories(unit / "Garmin");
                         std::ofstream(unit / "Garmin" / "GarminDevice.xml")
                             << "<Device><Model><Description>eTrex 30</Description></Model><Id>1</Id></Device>\n";
                         std::ofstream(unit / "Garmin" / "geocache_visits.txt", std::ios::binary)
                             << "GC4370,2026-06-14T09:41Z,Write note,\"Log book full, left a new one\"\r\n"
                                "GC9ZZQX,2026-06-14T11:05Z,Found it,\"TFTC from the ridge\"\r\n";
                         CProgressDlg* dialog = VisitsOffer::makeDialog(&t.window, t.global);
                         if (const auto source = visitsSourceAt(unit.string()))
                             VisitsOffer::readInto(*dialog, t.global, *source);
                         QApplication::processEvents();
                         placeDialog(*dialog, &t.window);
                         dialog->show();
                         return dialog;
                     }});
    stops.push_back({QStringLiteral("list-search"),
                     [](TourContext& t) -> QWidget* {
                         search(t.window, QStringLiteral("viaduct"));
                         return &t.window;
                     },
                     [](TourContext& t) { search(t.window, QString()); }});
}

} // namespace tw
