// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"

#include "app/CTarnwickApp.h"
#include "app/DeviceSend.h"
#include "app/FieldNotesJob.h"
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "app/LiveJobs.h"
#include "app/GpsDevices.h"
#include "app/VisitsImport.h"
#include "db/FullText.h"
#include "geo/CoordEntry.h"
#include "platform/Numbers.h"
#include "db/SqlError.h"
#include "gps/CTrackLogger.h"
#include "gps/TrackExport.h"
#include "platform/ConsoleJobProgress.h"
#include "platform/ConsoleKeepAwake.h"
#include "platform/ConsoleNotifier.h"
#include "platform/ConsolePrompter.h"
#include "platform/Signals.h"
#include "platform/Text.h"

#include <cmath>
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

std::optional<MapPictureRequest> readPictureRequest(const std::vector<std::string>& words)
{
    if (words.size() < 5 || words.size() > 6)
        return std::nullopt;
    MapPictureRequest r;
    const auto lat = num::parseDouble(words[0]);
    const auto lon = num::parseDouble(words[1]);
    if (lat && lon) {
        r.latDeg = *lat;
        r.lonDeg = *lon;
    } else if (const auto at = geo::readAnyCoords(words[0] + " " + words[1])) {
        r.latDeg = at->lat;
        r.lonDeg = at->lon;
    } else {
        return std::nullopt;
    }
    if (!(std::abs(r.latDeg) <= 90.0) || !(std::abs(r.lonDeg) <= 180.0))
        return std::nullopt;
    const auto zoom = num::parseInt(words[2]);
    if (!zoom || *zoom < 0 || *zoom > 30)
        return std::nullopt;
    r.zoom = static_cast<int>(*zoom);
    const std::string& size = words[3];
    const std::size_t x = size.find_first_of("xX");
    if (x == std::string::npos)
        return std::nullopt;
    const auto w = num::parseInt(size.substr(0, x));
    const auto h = num::parseInt(size.substr(x + 1));
    constexpr long long kMinSide = 16, kMaxSide = 8192;
    if (!w || !h || *w < kMinSide || *h < kMinSide || *w > kMaxSide || *h > kMaxSide)
        return std::nullopt;
    r.width = static_cast<int>(*w);
    r.height = static_cast<int>(*h);
    r.file = words[4];
    if (r.file.empty())
        return std::nullopt;
    if (words.size() == 6)
        r.source = words[5];
    return r;
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
    actions.readVisits = readVisitsInBatch;
    actions.find = [](CGlobalData& global, const std::string& query) {
        return findCaches(global, query, stdout, stderr);
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

int runBatchMode(const Paths& paths, const std::vector<std::string>& args, BatchActions actions)
{
    installTerminationHandler();
    ConsolePrompter prompter;
    ConsoleNotifier notifier;
    ConsoleKeepAwake keepAwake;
    CGlobalData global(paths, {prompter, notifier, keepAwake});
    prompter.setTexts(global.lang);
    CTarnwickApp app(global);
    app.batch = std::move(actions);
    ConsoleStartupUi ui;
    if (!app.InitInstance(args, ui))
        return 1;
    return app.ExitInstance();
}

} // namespace tw
