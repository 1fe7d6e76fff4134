// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"

#include "app/CTarnwickApp.h"
#include "app/FieldNotesJob.h"
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "app/LiveJobs.h"
#include "db/FullText.h"
#include "db/SqlError.h"
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

constexpr int kTextNoFullText = 1230;
constexpr int kTextBuilding = 1231;
constexpr int kTextNotBuilt = 1232;
constexpr int kTextNoWords = 1233;
constexpr int kTextNoMatch = 1235;
// Every cache that matches, however many.
constexpr int kEveryMatch = 100000000;

// A text for one line of a terminal: the index's marks around a match become
// brackets; control characters (C0, DEL, C1) are left out.
std::string printable(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0x02)
            out += '[';
        else if (c == 0x03)
            out += ']';
        else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                 static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            ++i;
        else if (c >= 0x20 && c != 0x7F)
            out += static_cast<char>(c);
        else if (c == '\t' || c == '\n' || c == '\r')
            out += ' ';
    }
    return out;
}

} // namespace

bool findCaches(CGlobalData& global, const std::string& query, std::FILE* out, std::FILE* err)
{
    auto say = [&](const std::string& line) { std::fprintf(err, "tarnwick: %s\n", line.c_str()); };
    SQLite::Database& db = global.db.cacheDb;
    if (!fulltext::Supported()) {
        say(global.lang.textOr(kTextNoFullText,
                               "Full-text search is not available: the SQLite library of this system has no FTS5."));
        return false;
    }
    if (!db.IsAvailable())
        return false;
    if (fulltext::MatchExpression(query).empty()) {
        say(global.lang.textOr(kTextNoWords, "the word find needs words to look for, for example: find \"magnetic plaque\""));
        return false;
    }
    if (!fulltext::Ready(db)) {
        say(global.lang.textOr(kTextBuilding, "Building the full-text index of the cache database (once)..."));
        if (!fulltext::Build(db, nullptr)) {
            say(global.lang.textOr(kTextNotBuilt, "The full-text index could not be built; nothing was searched."));
            return false;
        }
    }
    std::vector<fulltext::Hit> hits;
    try {
        hits = fulltext::Search(db, query, TextField::All, kEveryMatch);
    } catch (const SQLite::Error& e) {
        say(e.message);
        return false;
    }
    for (const auto& hit : hits)
        std::fprintf(out, "%s\t%s\t%s\n", printable(hit.code).c_str(), printable(hit.name).c_str(),
                     printable(hit.snippet).c_str());
    std::fflush(out);
    if (hits.empty())
        say(text::fillIn(global.lang.textOr(kTextNoMatch, "No cache matches: %s"), {printable(query)}));
    return !hits.empty();
}

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
    actions.find = [](CGlobalData& global, const std::string& query) {
        return findCaches(global, query, stdout, stderr);
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
