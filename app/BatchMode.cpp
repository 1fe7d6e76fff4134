// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"

#include "app/CTarnwickApp.h"
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

#include <cstdio>

namespace tw {

BatchActions defaultBatchActions()
{
    BatchActions actions;
    actions.exportFieldNotes = [](CGlobalData& g, std::time_t since) { return exportFieldNotes(g, since); };
    actions.exportGpx = [](CGlobalData& g, const std::string& file) {
        ConsoleJobProgress progress({});
        return exportGpx(g, file, &progress, nullptr).written;
    };
    actions.importGpx = [](CGlobalData& g, const std::string& file) {
        ConsoleJobProgress progress({g.text(262), g.text(263), g.text(264), g.text(265)});
        // SIGTERM and SIGINT end a long import after the entry being stored.
        const ImportSummary summary = importGpx(g, file, &progress, &terminationFlag());
        progress.finish(importCompletionText(g, summary));
        // What was stored stays stored; a file that ended early or entries
        // the database refused still fail the run.
        return summary.error.empty() && summary.complete && summary.failed == 0;
    };
    // The online words use the stored token and never ask: a refused token
    // or a limit ends the run with a message and a failure.
    actions.liveDownload = [](CGlobalData& g, const std::vector<std::string>& codes) {
        ConsoleJobProgress progress(liveCounterNames(g));
        const net::LiveJobResult r = liveDownloadCodes(g, codes, &progress, &terminationFlag());
        return r.ok && r.failed == 0;
    };
    actions.liveNearest = [](CGlobalData& g, double lat, double lon) {
        // The saved filter's distance limits the search.
        g.list.LoadFilter();
        ConsoleJobProgress progress(liveCounterNames(g));
        const net::LiveJobResult r = liveNearest(g, lat, lon, &progress, &terminationFlag());
        return r.ok && r.failed == 0;
    };
    actions.liveRefresh = [](CGlobalData& g) {
        if (!g.list.readCaches())
            return false;
        ConsoleJobProgress progress(liveCounterNames(g));
        const net::LiveJobResult r = liveRefresh(g, listedCodes(g), false, &progress, &terminationFlag());
        return r.ok && r.failed == 0;
    };
    actions.exportAllTracks = [](CGlobalData& g) {
        if (!g.gpsServices.trackLogger->isOpen())
            return false;
        TrackExportOptions options;
        options.folder = g.settings.trackFile;
        options.gpx = g.settings.trackGPX != 0;
        options.kml = g.settings.trackKML != 0;
        options.plt = g.settings.trackPLT != 0;
        options.deleteAfter = g.settings.delTrack != 0;
        return exportAllTracks(*g.gpsServices.trackLogger, options);
    };
    actions.deleteAllTracks = [](CGlobalData& g) {
        if (!g.gpsServices.trackLogger->isOpen())
            return false;
        g.gpsServices.trackLogger->deleteAllTracks();
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
