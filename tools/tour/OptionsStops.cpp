// SPDX-License-Identifier: GPL-3.0-or-later
// The options, one picture per page.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "screens/COptionsScr.h"
#include "screens/CSettingsGPSPage.h"
#include "screens/MainWindow.h"

#include <QComboBox>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace tw {
namespace {

// A machine with a USB receiver and a Bluetooth port, in a folder of the
// sample data; made once.
PortScanRoots samplePorts(CGlobalData& global)
{
    const fs::path dev = global.paths.data / "tour-dev";
    std::error_code ec;
    if (!fs::exists(dev, ec)) {
        fs::create_directories(dev / "serial" / "by-id", ec);
        std::ofstream(dev / "ttyACM0").put('\n');
        std::ofstream(dev / "rfcomm0").put('\n');
        fs::create_symlink(dev / "ttyACM0", dev / "serial" / "by-id" / "usb-u-blox_GNSS_receiver-if00", ec);
    }
    return {dev, global.paths.data / "tour-sys"};
}

// The map sources of the installation's configuration.
void loadSampleMaps(CGlobalData& global)
{
    if (global.mapSources.empty())
        maps::loadMapConfigs(global.GetInstallDir(), global.settings.language,
                             global.paths.deviceFolder(global.settings.mapFolder), global.mapSources);
}

void addPage(std::vector<TourStop>& stops, const char* name, COptionsScr::Page page)
{
    stops.push_back({QString::fromLatin1(name), [page](TourContext& c) -> QWidget* {
                         c.global.settings.fnTemplate = "[T] Found as no. [N].\r\n[L]\r\nThanks for the cache!";
                         c.global.settings.gpsPortS = (samplePorts(c.global).dev / "serial" / "by-id" /
                                                       "usb-u-blox_GNSS_receiver-if00")
                                                          .string();
                         loadSampleMaps(c.global);
                         openOptionsScreen(c.window, c.global);
                         auto* screen = qobject_cast<COptionsScr*>(c.window.topScreen());
                         if (!screen)
                             return nullptr;
                         screen->gpsPage()->setScanRoots(samplePorts(c.global));
                         screen->showPage(page);
                         return &c.window;
                     }});
}

} // namespace

void addOptionsStops(std::vector<TourStop>& stops)
{
    addPage(stops, "options-general", COptionsScr::General);
    addPage(stops, "options-user", COptionsScr::User);
    addPage(stops, "options-gps", COptionsScr::Gps);
    addPage(stops, "options-map", COptionsScr::Map);
    addPage(stops, "options-fieldnotes", COptionsScr::FieldNotes);
    addPage(stops, "options-trackexport", COptionsScr::TrackExport);
    addPage(stops, "options-alert", COptionsScr::Alert);
}

} // namespace tw
