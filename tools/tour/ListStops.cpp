// SPDX-License-Identifier: GPL-3.0-or-later
// The first screen: the cache list.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "app/DeviceSend.h"
#include "screens/CProgressDlg.h"
#include "screens/DialogPlacement.h"
#include "screens/MainWindow.h"
#include "screens/SendDialog.h"

#include <QApplication>

#include <filesystem>
#include <fstream>

namespace tw {

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
}

} // namespace tw
