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

OptionsOutcome applyOptions(CGlobalData& g, const Settings& edited)
{
    OptionsOutcome outcome;
    const Settings old = g.settings;
    if (edited.dbFile != old.dbFile) {
        if (!g.db.SwitchDatabase(edited.dbFile)) {
            outcome.problem = text::fillIn(
                g.lang.textOr(718, "The cache database %s can be neither opened nor created."), {edited.dbFile});
            return outcome;
        }
        outcome.databaseSwitched = true;
    }

    // What the program counts or learns by itself is not the screen's to set.
    const Settings current = g.settings;
    g.settings = edited;
    g.settings.foundCount = current.foundCount;
    g.settings.availVersion = current.availVersion;
    g.settings.anVersion = current.anVersion;
    g.settings.accessToken = current.accessToken;
    g.settings.dnlFull = current.dnlFull;
    g.settings.dnlLite = current.dnlLite;
    g.settings.isBasic = current.isBasic;
    g.settings.limitTimestamp = current.limitTimestamp;
    namespace SG = SettingsGroup;
    g.SaveSettings(SG::All & ~SG::Online);
    outcome.applied = true;

    if (g.applyPowerOptions)
        g.applyPowerOptions();
    g.netClient.setDownloadsOn(g.settings.dnlOnline != 0);
    g.netClient.setDownloadRoot(g.paths.deviceFolder(g.settings.mapFolder));

    // Recording stops only after what it buffered is written.
    if (old.saveTrackLog != 0 && edited.saveTrackLog == 0)
        g.gpsServices.trackLogger->flushBuffer();
    g.gpsServices.applyGpsSettings();

    const bool portChanged = edited.gpsPortS != old.gpsPortS || edited.gpsBaud != old.gpsBaud;
    const auto baud = static_cast<unsigned>(edited.gpsBaud);
    const bool wanted = edited.gpsAutoStart != 0 || g.gpsServices.gps->isRunning();
    if (portChanged && baud != 0 && wanted) {
        const bool there = g.gpsServices.gps->isRunning() && g.gpsServices.gps->portName() == edited.gpsPortS && g.gpsServices.gps->baudRate() == baud;
        if (!there) {
            g.gpsServices.gps->Stop();
            g.gpsServices.gps->Start(edited.gpsPortS, baud);
        }
        outcome.gpsRestarted = true;
    }
    g.notifier.stateChanged(Topic::Settings);
    return outcome;
}

} // namespace tw
