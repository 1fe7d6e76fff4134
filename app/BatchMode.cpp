// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"

#include "app/CTarnwickApp.h"
#include "app/FieldNotesJob.h"
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "app/LiveJobs.h"
#include "app/GpsDevices.h"
#include "app/VisitsImport.h"
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
namespace {

constexpr int kTextNoUnit = 1296;

bool readVisitsInBatch(CGlobalData& global, const std::string& place)
{
    std::optional<VisitsSource> source;
    if (place.empty()) {
        const auto units = devicesWithVisits(global);
        if (!units.empty())
            source = units.front();
    } else {
        source = visitsSourceAt(place);
    }
    if (!source) {
        std::string where = place;
        if (where.empty())
            for (const auto& parent : gpsdevice::mountParents())
                where += (where.empty() ? "" : ", ") + parent;
        std::fprintf(stderr, "tarnwick: %s\n",
                     text::fillIn(global.lang.textOr(kTextNoUnit, "No GPS unit with a visits file (%s) was found in "
                                                                  "%s; name its folder or the file after the word "
                                                                  "visits."),
                                  {kVisitsFilePath, where})
                         .c_str());
        return false;
    }
    global.Log("Reading visits", source->file.string());
    ConsoleJobProgress progress(visitsCounterNames(global));
    const VisitsSummary summary = importVisits(global, *source, &progress);
    // What was taken and what could not be placed, one visit a line.
    for (const auto& line : visitsListing(global, summary))
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    // Visits of caches not in the database are listed, not a failure.
    return summary.error.empty() && summary.failed == 0;
}

} // namespace

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
    actions.readVisits = readVisitsInBatch;
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
