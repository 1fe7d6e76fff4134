// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"

#include "app/CTarnwickApp.h"
#include "app/DeviceSend.h"
#include "app/FieldNotesJob.h"
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "app/LiveJobs.h"
#include "gps/CTrackLogger.h"
#include "gps/TrackExport.h"
#include "platform/ConsoleJobProgress.h"
#include "platform/ConsoleKeepAwake.h"
#include "platform/ConsoleNotifier.h"
#include "platform/ConsolePrompter.h"
#include "platform/Signals.h"
#include "platform/Text.h"

#include <cstdio>

namespace tw {

BatchActions defaultBatchActions()
{
    BatchActions actions;
    actions.exportFieldNotes = [](CGlobalData& global, std::time_t since) { return exportFieldNotes(global, since); };
    actions.exportGpx = [](CGlobalData& global, const std::string& file) {
        ConsoleJobProgress progress({});
        return exportGpx(global, file, &progress, nullptr).written;
    };
    actions.importGpx = [](CGlobalData& global, const std::string& file) {
        // The third counter holds only the caches already there; entries that
        // are no geocaches are counted in the completion text.
        ConsoleJobProgress progress({global.text(262), global.text(263), global.text(1170), global.text(265)});
        // SIGTERM and SIGINT end a long import after the entry being stored.
        const ImportSummary summary = importGpx(global, file, &progress, &terminationFlag());
        progress.finish(importCompletionText(global, summary));
        // What was stored stays stored; a file that ended early or entries
        // the database refused still fail the run.
        return summary.error.empty() && summary.complete && summary.failed == 0;
    };
    // The online words use the stored token and never ask: a refused token
    // or a limit ends the run with a message and a failure.
    actions.liveDownload = [](CGlobalData& global, const std::vector<std::string>& codes) {
        ConsoleJobProgress progress(liveCounterNames(global));
        const net::LiveJobResult r = liveDownloadCodes(global, codes, &progress, &terminationFlag());
        return r.ok && r.failed == 0;
    };
    actions.liveNearest = [](CGlobalData& global, double lat, double lon) {
        // The saved filter's distance limits the search.
        global.list.loadFilter();
        ConsoleJobProgress progress(liveCounterNames(global));
        const net::LiveJobResult r = liveNearest(global, lat, lon, &progress, &terminationFlag());
        return r.ok && r.failed == 0;
    };
    actions.liveRefresh = [](CGlobalData& global) {
        if (!global.list.readCaches())
            return false;
        ConsoleJobProgress progress(liveCounterNames(global));
        const net::LiveJobResult r = liveRefresh(global, listedCodes(global), false, &progress, &terminationFlag());
        return r.ok && r.failed == 0;
    };
    actions.sendToDevice = [](CGlobalData& global, const std::string& folder) {
        std::optional<gpsdevice::Device> device;
        if (!folder.empty()) {
            device = gpsdevice::DeviceAt(folder);
        } else {
            const auto found = gpsdevice::FindDevices(global.settings.gpsDeviceFolder);
            if (!found.empty())
                device = found.front();
        }
        if (!device) {
            std::fprintf(stderr, "tarnwick: %s\n",
                         text::fillIn(global.lang.textOr(1276, "No GPS device was found at %s."),
                                      {folder.empty() ? std::string("/media, /run/media, /mnt") : folder})
                             .c_str());
            return false;
        }
        ConsoleJobProgress progress({});
        return sendToDevice(global, *device, &progress, &terminationFlag()).written;
    };
    actions.exportAllTracks = [](CGlobalData& global) {
        if (!global.gpsServices.trackLogger->isOpen())
            return false;
        TrackExportOptions options;
        options.folder = global.settings.trackFile;
        options.gpx = global.settings.trackGPX != 0;
        options.kml = global.settings.trackKML != 0;
        options.plt = global.settings.trackPLT != 0;
        options.deleteAfter = global.settings.delTrack != 0;
        return exportAllTracks(*global.gpsServices.trackLogger, options);
    };
    actions.deleteAllTracks = [](CGlobalData& global) {
        if (!global.gpsServices.trackLogger->isOpen())
            return false;
        global.gpsServices.trackLogger->deleteAllTracks();
        return true;
    };
    return actions;
}

void ConsoleStartupUi::showProgress(const std::string& text)
{
    if (!text.empty())
        std::fprintf(stderr, "tarnwick: %s\n", text.c_str());
}

int runBatchMode(const Paths& paths, const std::vector<std::string>& args)
{
    installTerminationHandler();
    ConsolePrompter prompter;
    ConsoleNotifier notifier;
    ConsoleKeepAwake keepAwake;
    CGlobalData global(paths, {prompter, notifier, keepAwake});
    prompter.setTexts(global.lang);
    CTarnwickApp app(global);
    app.batch = defaultBatchActions();
    ConsoleStartupUi ui;
    if (!app.InitInstance(args, ui))
        return 1;
    return app.ExitInstance();
}

} // namespace tw
