// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GpxImport.h"

#include "app/CGlobalData.h"
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/Tags.h"
#include "exchange/CGpxImporter.h"
#include "exchange/CacheImportStore.h"
#include "exchange/GsakImporter.h"
#include "exchange/GsakSnapshot.h"
#include "exchange/ImportFiles.h"
#include "platform/JobProgress.h"
#include "platform/Text.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <new>

namespace tw {
namespace {

// What an importer of either kind counted, into the summary.
template <typename Importer>
void takeCounts(ImportSummary& summary, const Importer& importer)
{
    summary.newCaches = importer.newCaches();
    summary.waypoints = importer.waypoints();
    summary.skipped = importer.skipped();
    summary.notCaches = importer.notCaches();
    summary.updated = importer.updated();
    summary.failed = importer.failed();
    summary.storeError = importer.storeError();
}

constexpr int kTextDone = 252;
constexpr int kTextTruncated = 260;
constexpr int kTextCancelled = 261;
constexpr int kTextStoreStopped = 267;
constexpr int kTextStoreFailed = 268;
constexpr int kTextNotCaches = 1171;
constexpr int kTextAlreadyThere = 1172;
constexpr int kTextNoDatabase = 951;
constexpr int kTextOutOfMemory = 953;
constexpr int kTextForeignDatabase = 1260;
constexpr int kTextDamagedDatabase = 1261;
constexpr int kTextDatabaseDone = 1262;
constexpr int kTextNoCopy = 1263;
constexpr int kTextNotADatabase = 1264;
constexpr int kTextDatabaseBrokeOff = 1267;

std::string importOutcomeText(const CGlobalData& global, const ImportSummary& s)
{
    if (s.stopped || s.failed > 0) {
        std::string text = global.text(s.stopped ? kTextStoreStopped : kTextStoreFailed);
        text = text::replaceAll(text, "%d", std::to_string(s.failed));
        return text::replaceAll(text, "%s", s.storeError);
    }
    if (s.cancelled)
        return global.text(kTextCancelled);
    if (!s.unreadable.empty()) {
        std::string text;
        for (const std::string& sentence : s.unreadable)
            text += (text.empty() ? "" : " ") + sentence;
        return text;
    }
    if (!s.complete)
        return global.text(kTextTruncated);
    if (s.database)
        return text::fillIn(global.text(kTextDatabaseDone), {std::to_string(s.newCaches), std::to_string(s.updated),
                                                             std::to_string(s.waypoints), std::to_string(s.logs)});
    return global.text(kTextDone);
}

// The name says it is a database (the manager's is sqlite.db3).
bool databaseName(const std::filesystem::path& path)
{
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".db3" || ext == ".sqlite" || ext == ".sqlite3";
}

// The database of the desktop cache manager. The import reads a private
// copy: the manager may be running and write at any time; reading its file
// cache by cache would hold its lock for minutes, or (read in short steps)
// see a cache half-changed. The copy takes a few short read steps of its
// file, and the import is then free to index and read its own file.
void importDatabase(CGlobalData& global, const std::filesystem::path& path, JobProgress* progress,
                    const std::atomic<bool>* cancel, ImportSummary& summary)
{
    summary.database = true;
    const std::string name = path.filename().string();
    const DatabaseProbe probe = probeCacheManagerDatabase(path);
    if (probe.kind == DatabaseKind::Foreign) {
        summary.error = text::fillIn(
            global.lang.textOr(kTextForeignDatabase,
                               "%s is an SQLite database, but not a cache manager's: it has no table of caches."),
            {name});
        return;
    }
    const auto damaged = [&](const std::string& why) {
        summary.error = text::fillIn(
            global.lang.textOr(kTextDamagedDatabase, "%s cannot be read as a cache database: it is damaged (%s)."),
            {name, why});
    };
    if (probe.kind != DatabaseKind::CacheManager) {
        damaged(probe.detail);
        return;
    }
    std::filesystem::path folder = std::filesystem::path(global.db.cacheDb.fileName()).parent_path();
    if (folder.empty())
        folder = std::filesystem::temp_directory_path();
    const std::filesystem::path copy = folder / (".import-" + std::to_string(::getpid()) + "-" + name);
    SnapshotStats stats;
    if (const std::string problem = copySnapshot(path, copy, &stats); !problem.empty()) {
        if (stats.damaged)
            damaged(problem);
        else
            summary.error = text::fillIn(
                global.lang.textOr(kTextNoCopy, "%s could not be copied for its import: %s."), {name, problem});
        return;
    }
    global.Log("BEGIN: database import ", path.string());
    {
        SQLite::Database snapshot;
        CacheStore store(global.db.cacheDb, global.db.tagCategories, global.settings.impOnlyNew);
        CacheImportStore sink(store, global.db.cacheDb);
        GsakImporter importer(sink, global.settings.nickname);
        importer.watchCancelFlag(cancel);
        importer.setPipelined(true);
        GsakImporter::Outcome outcome = GsakImporter::Outcome::BrokeOff;
        try {
            if (snapshot.Open(copy.string()) == SQLITE_OK)
                outcome = importer.read(snapshot, progress);
        } catch (const std::bad_alloc&) {
            summary.error = text::fillIn(global.lang.textOr(kTextOutOfMemory, "There was not enough memory to import "
                                                                              "%s; what was read up to there has been "
                                                                              "stored."),
                                         {path.string()});
        }
        sink.finish();
        summary.complete = outcome == GsakImporter::Outcome::Complete;
        summary.cancelled = outcome == GsakImporter::Outcome::Cancelled;
        summary.stopped = outcome == GsakImporter::Outcome::Failed;
        if (outcome == GsakImporter::Outcome::BrokeOff && summary.error.empty())
            summary.unreadable.push_back(
                text::fillIn(global.lang.textOr(kTextDatabaseBrokeOff, "%s could not be read to its end (%s); what "
                                                                       "was read up to there has been stored."),
                             {name, importer.readError().empty() ? snapshot.errorText() : importer.readError()}));
        takeCounts(summary, importer);
        summary.logs = importer.logs();
    }
    removeSnapshot(copy);
    global.Log("END: database import ", path.string());
    global.db.ReadDbCounters();
}

} // namespace

void clearImportMarker(CGlobalData& global)
{
    DeleteTagsOfCategory(global.db.cacheDb, global.db.tagCategories.lastImport);
}

ImportSummary importGpx(CGlobalData& global, const std::filesystem::path& path, JobProgress* progress,
                        const std::atomic<bool>* cancel)
{
    ImportSummary summary;
    if (!global.db.cacheDb.IsAvailable()) {
        summary.error = global.lang.textOr(kTextNoDatabase, "No database available");
        return summary;
    }
    summary.error = global.db.cacheDbProblem();
    if (!summary.error.empty())
        return summary;
    if (hasSqliteHeader(path)) {
        importDatabase(global, path, progress, cancel, summary);
        return summary;
    }
    std::error_code ec;
    if (databaseName(path) && std::filesystem::is_regular_file(path, ec)) {
        summary.error = text::fillIn(
            global.lang.textOr(kTextNotADatabase, "%s is not a cache manager's database: it is no SQLite file."),
            {path.filename().string()});
        return summary;
    }
    auto documents = ImportDocuments::open(path, global.lang, &summary.error);
    if (!documents)
        return summary;

    CacheStore store(global.db.cacheDb, global.db.tagCategories, global.settings.impOnlyNew);
    CacheImportStore sink(store, global.db.cacheDb);
    CGpxImporter importer(sink, global.settings.nickname);
    importer.watchCancelFlag(cancel);
    importer.setPipelined(true);
    global.Log("BEGIN: GPX import ", path.string());
    summary.unreadable = documents->unreadable();
    summary.complete = summary.unreadable.empty();
    try {
        for (const auto& doc : documents->documents()) {
            if (progress)
                progress->setText(1, doc.name);
            // A file that is no GPX file at all is refused with what it is.
            if (std::string notGpx = documents->notGpx(doc); !notGpx.empty()) {
                summary.unreadable.push_back(std::move(notGpx));
                summary.complete = false;
                continue;
            }
            std::string problem;
            const auto source = documents->read(doc, &problem);
            const CGpxImporter::Outcome outcome = importer.parse(*source, progress);
            if (!problem.empty())
                summary.unreadable.push_back(problem);
            if (outcome == CGpxImporter::Outcome::Cancelled || outcome == CGpxImporter::Outcome::Failed) {
                summary.cancelled = outcome == CGpxImporter::Outcome::Cancelled;
                summary.stopped = outcome == CGpxImporter::Outcome::Failed;
                summary.complete = false;
                break;
            }
            if (outcome == CGpxImporter::Outcome::Truncated || !problem.empty())
                summary.complete = false;
        }
    } catch (const std::bad_alloc&) {
        summary.error = text::fillIn(
            global.lang.textOr(kTextOutOfMemory,
                               "There was not enough memory to import %s; what was read up to there has been stored."),
            {path.string()});
        summary.complete = false;
    }
    sink.finish();
    takeCounts(summary, importer);
    global.Log("END: GPX import ", path.string());
    global.db.ReadDbCounters();
    return summary;
}

std::string importCompletionText(const CGlobalData& global, const ImportSummary& s)
{
    if (!s.error.empty())
        return s.error;
    std::string text = importOutcomeText(global, s);
    // What was left out, each kind on its own: no geocache is not a cache
    // already there, and neither is an entry that could not be stored.
    const auto add = [&](int number, int count) {
        if (count > 0)
            text += " " + text::replaceAll(global.text(number), "%d", std::to_string(count));
    };
    add(kTextNotCaches, s.notCaches);
    add(kTextAlreadyThere, s.skipped);
    return text;
}

} // namespace tw
