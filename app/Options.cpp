// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Options.h"

#include "app/CGlobalData.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "platform/Notifier.h"
#include "platform/Text.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace tw {

std::vector<fs::path> alertSoundFiles(const fs::path& installDir)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(installDir / "sounds", ec)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (ext == ".wav" && entry.is_regular_file(ec))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

OptionsOutcome applyOptions(CGlobalData& global, const Settings& edited)
{
    OptionsOutcome outcome;
    const Settings old = global.settings;
    if (edited.dbFile != old.dbFile) {
        if (!global.db.SwitchDatabase(edited.dbFile)) {
            outcome.problem = text::fillIn(
                global.lang.textOr(718, "The cache database %s can be neither opened nor created."), {edited.dbFile});
            return outcome;
        }
        outcome.databaseSwitched = true;
    }

    // What the program counts or learns by itself is not the screen's to set.
    const Settings current = global.settings;
    global.settings = edited;
    global.settings.foundCount = current.foundCount;
    global.settings.availVersion = current.availVersion;
    global.settings.anVersion = current.anVersion;
    global.settings.accessToken = current.accessToken;
    global.settings.dnlFull = current.dnlFull;
    global.settings.dnlLite = current.dnlLite;
    global.settings.isBasic = current.isBasic;
    global.settings.limitTimestamp = current.limitTimestamp;
    namespace SG = SettingsGroup;
    global.SaveSettings(SG::All & ~SG::Online);
    outcome.applied = true;

    if (global.applyPowerOptions)
        global.applyPowerOptions();
    global.netClient.setDownloadsOn(global.settings.dnlOnline != 0);
    global.netClient.setDownloadRoot(global.paths.deviceFolder(global.settings.mapFolder));

    // Recording stops only after what it buffered is written.
    if (old.saveTrackLog != 0 && edited.saveTrackLog == 0)
        global.gpsServices.trackLogger->flushBuffer();
    global.gpsServices.applyGpsSettings();

    const bool portChanged = edited.gpsPortS != old.gpsPortS || edited.gpsBaud != old.gpsBaud;
    const auto baud = static_cast<unsigned>(edited.gpsBaud);
    const bool wanted = edited.gpsAutoStart != 0 || global.gpsServices.gps->isRunning();
    if (portChanged && baud != 0 && wanted) {
        const bool there = global.gpsServices.gps->isRunning() &&
                           global.gpsServices.gps->portName() == edited.gpsPortS &&
                           global.gpsServices.gps->baudRate() == baud;
        if (!there) {
            global.gpsServices.gps->Stop();
            global.gpsServices.gps->Start(edited.gpsPortS, baud);
        }
        outcome.gpsRestarted = true;
    }
    global.notifier.stateChanged(Topic::Settings);
    return outcome;
}

} // namespace tw
