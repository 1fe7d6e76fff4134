// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GpxExport.h"

#include "app/CGlobalData.h"
#include "db/CacheReader.h"
#include "db/SqlError.h"
#include "exchange/GpxWriter.h"
#include "platform/AtomicFile.h"
#include "platform/JobProgress.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <cstdio>
#include <unistd.h>

namespace tw {

namespace {

// An export may pass every cache of a large database: each listing goes
// once it is written, and is read again when someone opens it.
void dropListing(CGeocache& cache)
{
    std::string().swap(cache.text);
    std::string().swap(cache.longDesc);
    std::string().swap(cache.hint);
    std::vector<std::unique_ptr<CGeoLog>>().swap(cache.logs);
    cache.detailsLoaded = 0;
    cache.logsLoaded = 0;
}

constexpr int kTextDone = 252;
constexpr int kTextCannotWrite = 950;
constexpr int kTextNoDatabase = 951;
constexpr int kTextUnreadable = 952;

} // namespace

ListedWrite writeListedCaches(CGlobalData& global, GpxWriter& writer, JobProgress* progress,
                              const std::atomic<bool>* cancel, int& caches)
{
    WaypointTypeSelection types{};
    for (std::size_t i = 0; i < types.size(); ++i)
        types[i] = global.list.filter.wptTypes[i] != 0;
    WaypointLoader waypoints(global.db.cacheDb, types);
    for (std::size_t i = 0; i < global.list.caches.size() && writer.ok(); ++i) {
        if (cancel && *cancel)
            return ListedWrite::Cancelled;
        CGeocache& cache = *global.list.caches[i];
        if (progress) {
            progress->setText(1, cache.code);
            progress->setText(2, cache.name);
            progress->setPosition(static_cast<int>(i));
        }
        try {
            loadDetails(global.db.cacheDb, cache, global.db.tagCategories);
            loadLogs(global.db.cacheDb, cache);
            waypoints.load(cache);
        } catch (const SQLite::Error& e) {
            // Half a cache would pass for the whole one.
            global.db.cacheDb.showPlain(e.message);
            return ListedWrite::Unreadable;
        }
        writer.cache(cache);
        ++caches;
        dropListing(cache);
    }
    return ListedWrite::Done;
}

ExportSummary exportGpx(CGlobalData& global, const std::filesystem::path& path, JobProgress* progress,
                        const std::atomic<bool>* cancel)
{
    ExportSummary summary;
    auto finish = [&] {
        if (progress)
            progress->finish(summary.error.empty() ? global.text(kTextDone) : summary.error);
    };
    if (!global.db.cacheDb.IsAvailable()) {
        summary.error = global.lang.textOr(kTextNoDatabase, "No database available");
        finish();
        return summary;
    }
    // A database that cannot be read must not turn into an empty file in
    // place of the one there.
    summary.error = global.db.cacheDbProblem();
    if (!summary.error.empty()) {
        finish();
        return summary;
    }
    const std::string unreadable = text::fillIn(
        global.lang.textOr(kTextUnreadable, "The caches could not be read from the database, so %s was not written."),
        {path.string()});
    const std::filesystem::path temp = partFileOf(path);
    // What an export of the same file that was killed left behind.
    removeStalePartFiles(path.has_parent_path() ? path.parent_path() : ".",
                         [&](const std::string& name) { return name == path.filename().string(); });
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) {
        summary.error = global.lang.textOr(kTextCannotWrite, "The file could not be opened for writing.");
        global.prompter.message(summary.error, MessageIcon::Exclamation);
        finish();
        return summary;
    }
    global.Log("BEGIN: GPX export ", path.string());
    // Every cache of the filter: MaxRows bounds what the list shows, not
    // what is exported.
    if (!global.list.readCaches(CacheList::kEveryRow))
        summary.error = unreadable;
    if (progress) {
        progress->setRange(static_cast<int>(global.list.caches.size()));
        progress->setPosition(0);
    }
    GpxWriter writer(out);
    writer.header(std::time(nullptr));
    if (summary.error.empty()) {
        const ListedWrite end = writeListedCaches(global, writer, progress, cancel, summary.caches);
        summary.cancelled = end == ListedWrite::Cancelled;
        if (end == ListedWrite::Unreadable)
            summary.error = unreadable;
    }
    global.list.trimToMaxRows();
    writer.footer();
    const bool closed = std::fclose(out) == 0;
    if (summary.error.empty() && writer.ok() && closed && std::rename(temp.c_str(), path.c_str()) == 0) {
        summary.written = true;
    } else {
        std::remove(temp.c_str());
        if (summary.error.empty()) {
            summary.error = global.lang.textOr(kTextCannotWrite, "The file could not be opened for writing.");
            global.prompter.message(summary.error, MessageIcon::Exclamation);
        }
        summary.caches = 0;
    }
    global.Log("END: GPX export ", path.string());
    finish();
    return summary;
}

} // namespace tw
